#!/usr/bin/env bash
# The main job on the bundled example: number the example scenario's dialogue
# with Vocar (its tool folder is a copy of example/home, which holds the
# character definitions), then pack the scenario with Bindo into a copy,
# divide the packs back with Splix, and check that every file came back
# (with CR LF line ends, without leading empty lines, with the packer's extra
# CR LF at its end). Nothing is written into example/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/linux-deps.sh --build
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release >/dev/null
lumeno=build/shell/console/lumeno

run=build/example-run
rm -rf "$run"
mkdir -p "$run/home"
cp -r example/scenario "$run/work"

echo "== lumeno vocar run example/scenario"
cp -r example/home "$run/vocar-home"
"$lumeno" vocar run --home "$run/vocar-home" --yes --no-progress example/scenario
voice_text="$run/vocar-home/ボイス命令埋込済テキスト"
echo "voice-embedded text, in $voice_text:"
(cd "$voice_text" && find . -type f | sort | sed 's/^/  /')
echo "scenario/prologue.txt with its voice commands:"
python3 -c 'import sys; sys.stdout.write(open(sys.argv[1], "rb").read().decode("cp932").replace("\r\n", "\n"))' \
  "$voice_text/scenario/prologue.txt" | sed 's/^/  | /'
echo

echo "== lumeno bindo run $run/work"
"$lumeno" bindo run --home "$run/home" --no-progress "$run/work"
echo "pack files:"
(cd "$run/work" && find . -type f | sort | sed 's/^/  /')

echo "== lumeno splix run $run/work"
"$lumeno" splix run --home "$run/home" --no-progress "$run/work"
echo "divided files:"
(cd "$run/work" && find . -type f | sort | sed 's/^/  /')

echo "== round trip"
python3 scripts/check_roundtrip.py "$root/example/scenario" "$run/work"
