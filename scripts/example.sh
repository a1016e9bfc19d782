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
python3 - "$root/example/scenario" "$run/work" <<'PY'
import os, sys
src, out = sys.argv[1], sys.argv[2]

def packed(data):
    # What a pack entry holds: line ends made CR LF (a lead byte keeps the
    # byte after it), then the trailer CR LF.
    res, i, n = bytearray(), 0, len(data)
    while i < n:
        c = data[i]
        if c == 13:
            res += b"\r\n"; i += 2 if i + 1 < n and data[i + 1] == 10 else 1
        elif c == 10:
            res += b"\r\n"; i += 1
        elif (0x81 <= c <= 0x9F or 0xE0 <= c <= 0xFC) and i + 1 < n:
            res += data[i:i + 2]; i += 2
        else:
            res.append(c); i += 1
    res += b"\r\n"
    return bytes(res.lstrip(b"\r\n"))

bad = 0
count = 0
for folder, _, files in os.walk(src):
    for name in files:
        rel = os.path.relpath(os.path.join(folder, name), src)
        parent = os.path.dirname(rel)
        pack_folder = os.path.basename(parent) if parent else os.path.basename(out)
        back = os.path.join(out, parent, pack_folder, name)
        count += 1
        with open(os.path.join(folder, name), "rb") as f:
            want = packed(f.read())
        try:
            with open(back, "rb") as f:
                got = f.read()
        except OSError:
            print("  missing:", back); bad += 1; continue
        status = "ok" if got == want else "DIFFERS"
        bad += status != "ok"
        print(f"  {status:7} {rel} -> {os.path.relpath(back, out)}")
print(f"{count - bad} of {count} files came back" + (" byte for byte" if not bad else ""))
sys.exit(1 if bad else 0)
PY
