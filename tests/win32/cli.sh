#!/usr/bin/env bash
# The command-line program for Windows under Wine, end to end, with Japanese
# file and folder names: tests/win32/cli.sh BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
. "$here/wine_env.sh"
wine_start "$build" || exit 1
trap wine_stop EXIT

exe="$build/shell/console/lumeno.exe"
work="$build/win32-test-work/cli"
rm -rf "$work"
mkdir -p "$work/ホーム"
cp -r "$root/example/scenario" "$work/シナリオ"
cd "$work"

. "$here/../checks.sh"
# lumeno ARGS...: runs the program; status in $rc, streams in out.txt, err.txt.
lumeno() {
  "$WINE" "$exe" "$@" >out.txt 2>err.txt
  rc=$?
}
cp932() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

lumeno --version
check "--version" test "$rc:$(cat out.txt)" = "0:lumeno 0.405"

# Pack the example scenario (folders 第1章, 第2章, 第1章/おまけ) from a home
# folder with a Japanese name.
lumeno bindo run --home ホーム --no-progress シナリオ
check "bindo run exits 0" test "$rc" = 0
check "bindo run prints the completion message on stdout (UTF-8)" \
  grep -qx '5 個のファイルを変換しました。' out.txt
check "the elapsed time follows" grep -q '^処理時間  [0-9]* 秒\.$' out.txt
check "nothing on stderr" test ! -s err.txt
check "one pack file per folder, named after it" test -f シナリオ/シナリオ.txt -a -f シナリオ/第1章/第1章.txt \
  -a -f シナリオ/第1章/おまけ/おまけ.txt -a -f シナリオ/第2章/第2章.txt
check "the settings file is in the home folder" test "$(stat -c %s ホーム/Bindo.dat)" = 328
check "the sources were deleted" test ! -e シナリオ/prologue.txt -a ! -e シナリオ/第1章/ch1_01.txt

# Divide them back: every file returns under its own name.
lumeno splix run --home ホーム --no-progress シナリオ
check "splix run exits 0" test "$rc" = 0
check "splix counts the four pack files" grep -qx '4 個のファイルを変換しました。' out.txt
check "every file came back byte for byte (CR LF line ends, packer's trailer)" python3 "$root/scripts/check_roundtrip.py" "$root/example/scenario" シナリオ --quiet

# Outputs at the limit of a Windows path, 259 characters (MAX_PATH holds the
# terminating zero too): a pack in a deep folder tree whose piece's path is
# that long. Every output is written to a scratch file in its folder first,
# whose name must never be longer than the output's own. Wine takes longer
# paths, so its trace of the file calls shows that none is longer.
# at_path_limit FOLDER CHARACTER: makes FOLDER/<names of CHARACTER>/pk.txt,
# whose piece pk/<name> has a path of 259 characters; prints that path.
at_path_limit() {
  python3 - "$1" "$2" <<'PY'
import os, sys
root, ch = os.path.abspath(sys.argv[1]), sys.argv[2]
win = lambda p: len("Z:" + p)
folder = root
while win(folder) < 190:
    folder = os.path.join(folder, ch * min(40, 190 - win(folder)))
os.makedirs(folder, exist_ok=True)
name = ch * (259 - win(folder) - len("/pk/") - len(".txt")) + ".txt"
with open(os.path.join(folder, "pk.txt"), "wb") as f:
    f.write(("////≪≪■■" + name + "\r\n限界の長さ\r\n").encode("cp932"))
print(os.path.join(folder, "pk", name))
PY
}
# The paths the program opened or renamed below FOLDER (in Wine's trace),
# one a line by its length, the longest last; a path the trace cut short
# counts as too long.
traced_lengths() {
  python3 - "$1" "$2" <<'PY'
import re, sys
folder = "Z:" + sys.argv[2].replace("/", "\\")
lengths = []
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    if ":CreateFileW L\"" not in line and ":MoveFileWithProgressW (L\"" not in line:
        continue
    for body, cut in re.findall(r'L"((?:[^"\\]|\\.)*)"(\.\.\.)?', line):
        path = re.sub(r'\\([0-9a-f]{4}|.)', lambda m: "\\" if m.group(1) == "\\" else "?", body)
        if path.startswith(folder):
            lengths.append(9999 if cut else len(path))
print("\n".join(str(n) for n in sorted(lengths)))
PY
}
piece=$(at_path_limit 限界/深い "階")
lumeno splix run --home ホーム --no-progress 限界
check "splix writes a piece whose path is at the Windows limit, in a Japanese folder tree" \
  test "$rc" = 0 -a ! -s err.txt -a "$(cat "$piece" 2>/dev/null)" = "$(cp932 $'限界の長さ\r')"
check "the piece's path is 259 characters" test "$(printf 'Z:%s' "$piece" | wc -m)" = 259
check "no scratch file is left beside the piece" test "$(ls -A "$(dirname "$piece")" | wc -l)" = 1
piece=$(at_path_limit limit/deep "d")
WINEDEBUG=trace+file "$WINE" "$exe" splix run --home ホーム --no-progress limit >out.txt 2>trace.txt
rc=$?
check "splix writes a piece whose path is at the Windows limit, in an ASCII folder tree" \
  test "$rc" = 0 -a "$(cat "$piece" 2>/dev/null)" = "$(cp932 $'限界の長さ\r')"
traced_lengths trace.txt "$work/limit" >lengths.txt
check "its write opened and renamed only paths of at most 259 characters" \
  test -s lengths.txt -a "$(tail -n 1 lengths.txt)" -le 259 -a "$(grep -cx 259 lengths.txt)" -ge 1
check "no scratch file is left beside it" test "$(ls -A "$(dirname "$piece")" | wc -l)" = 1

# Settings in the terminal's encoding, stored as CP932; the language file
# named must exist for the name to stay in force.
mkdir -p ホーム/languages && cp932 'ファイル(&F)' > ホーム/languages/日本語.lng
lumeno bindo config --home ホーム language_name=日本語.lng delete_source=0
check "config stores a Japanese value" test "$rc" = 0
check "the value is CP932 in the settings file" test "$(head -c 10 ホーム/Bindo.dat | od -An -tx1 | tr -d ' \n')" = \
  "$(cp932 '日本語.lng' | od -An -tx1 | tr -d ' \n')"
lumeno bindo config --home ホーム language_name
check "config shows it back in UTF-8" test "$(cat out.txt)" = "日本語.lng"
lumeno bindo config --home ホーム delete_source=2
check "a bad value is a usage error" test "$rc" = 2

# Usage errors and names CP932 cannot write.
lumeno bindo run --home ホーム ない.txt
check "a missing path is a usage error naming it" test "$rc" = 2 -a -n "$(grep 'ない.txt' err.txt)"
mkdir -p 한글 && printf 'x' > 한글/a.txt
lumeno bindo run --home ホーム --no-progress 한글
check "a dropped name CP932 cannot write is refused with a message" test "$rc" -ne 0 -a -s err.txt -a ! -e 한글/한글.txt
mkdir -p mixed && printf 'x' > mixed/한.txt && printf 'y' > mixed/b.txt
lumeno bindo run --home ホーム --no-progress mixed
check "a name found in a folder that CP932 cannot write stops the run with a message" \
  test "$rc" = 1 -a -s err.txt -a ! -e mixed/mixed.txt -a -e mixed/b.txt

# On a console the text goes through the console's wide API.
mkdir -p 一 && printf 'x\r\n' > 一/二.txt
script -qec "\"$WINE\" \"$exe\" bindo run --home ホーム 一" /dev/null >console.txt 2>&1
check "on a console Japanese prints correctly" grep -q '1 個のファイルを変換しました。' console.txt
check "the console run packed its folder" test -f 一/一.txt

# Vocar's workbooks: the sheets are those the Linux program writes from the
# same scripts, byte for byte (the creation time apart), every CP932
# character among them (the NEC and IBM extensions, the user-defined area)
# and bytes that are no character. The temporary folder has a Japanese name,
# which the workbook library opens by its short form.
linux_lumeno="$root/build/shell/console/lumeno"
mkdir -p 台本/章 声優ホーム/win 声優ホーム/linux 一時フォルダ
cp -r "$root/example/scenario/." 台本/
for home in 声優ホーム/win 声優ホーム/linux; do cp "$root/example/home/キャラ定義.txt" "$home/"; done
python3 - 台本/章/全文字.txt <<'PY'
import sys
chars = []
for lead in list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD)):
    for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD)):
        code = bytes([lead, trail])
        try:
            code.decode("cp932")
        except UnicodeDecodeError:
            continue
        chars.append(code)
chars += [bytes([c]) for c in range(0xA1, 0xE0)]
lines = []
for k in range(0, len(chars), 20):
    text = b"".join(chars[k:k + 20])
    lines.append(("エリ「".encode("cp932") + text + "」".encode("cp932")) if k % 40 == 0 else text)
lines.append(b"\x80\xa0\xfd\xfe\xff \x85\x40 \x81\x7f x\x81")
open(sys.argv[1], "wb").write(b"\r\n".join(lines))
PY
tmp_win=$(winpath "$work/一時フォルダ")
"$WINE" cmd /c "set TMP=$tmp_win&& set TEMP=$tmp_win&& $(winpath "$exe") vocar run --home 声優ホーム\\win --yes --no-progress 台本" >out.txt 2>err.txt
rc=$?
check "vocar run exits 0 with a Japanese temporary folder" test "$rc" = 0
check "vocar: nothing on stderr" test ! -s err.txt
check "vocar writes a workbook a character and the all-character one" test -f "声優ホーム/win/声優用台本/[ERI]エリ.xlsx" \
  -a -f "声優ホーム/win/声優用台本/[全キャラ一括台本].xlsx"
check "no scratch file is left" test -z "$(ls -A 一時フォルダ)"
if [ -x "$linux_lumeno" ]; then
  "$linux_lumeno" vocar run --home 声優ホーム/linux --yes --no-progress 台本 >/dev/null 2>&1
  check "the scripts are those of the Linux program" diff -r 声優ホーム/win/声優用台本 声優ホーム/linux/声優用台本 -x '*.xlsx'
  check "the workbooks hold the sheets of the Linux program's" \
    /usr/bin/python3 "$root/tests/workbooks/workbook_check.py" same 声優ホーム/win/声優用台本 声優ホーム/linux/声優用台本
else
  failed=$((failed + 1)); echo "[FAIL] the Linux lumeno ($linux_lumeno) is needed to compare the workbooks: build it first"
fi

# Vocar's checks: `check` and `audit` read the tool folder and write nothing
# there, and report what the Linux program reports (the audit's file in CP932).
mkdir -p 点検ホーム 録音/ERI
cp "$root/example/home/キャラ定義.txt" 点検ホーム/
: > 録音/ERI/ERI_A1_0001.OGG
: > 録音/YUTO_A1_0099.wav
cp -r "$root/example/scenario" 点検シナリオ
printf '%s\r\n' 'ミキ「だれ？」' 'エリ「閉じない' | iconv -f UTF-8 -t CP932 >点検シナリオ/追加.txt
lumeno vocar check --home 点検ホーム 点検シナリオ
cp out.txt check-win.txt
check "vocar check exits 1 when it finds something" test "$rc" = 1
check "vocar check names the unknown speaker in UTF-8" grep -qx '点検シナリオ\\追加.txt(1): 定義にない話者: ミキ' out.txt
lumeno vocar audit --home 点検ホーム --voices 録音 --output 監査.txt 点検シナリオ
check "vocar audit exits 1 when a voice is missing" test "$rc" = 1
check "vocar audit prints its summary" grep -qx 'ボイス 20 件 / 録音あり 1 / 録音なし 19 / 余分な録音 1 / 重複 0' out.txt
check "the audit's report file is CP932" grep -q "$(cp932 '■録音のないボイス (19)')" 監査.txt
check "vocar check and audit write nothing in the tool folder" test "$(ls 点検ホーム)" = キャラ定義.txt
if [ -x "$linux_lumeno" ]; then
  "$linux_lumeno" vocar check --home 点検ホーム 点検シナリオ >check-linux.txt 2>&1
  check "vocar check reports what the Linux program reports" cmp check-win.txt check-linux.txt
  "$linux_lumeno" vocar audit --home 点検ホーム --voices 録音 --output 監査-linux.txt 点検シナリオ >/dev/null 2>&1
  check "vocar audit's report is the Linux program's, byte for byte" cmp 監査.txt 監査-linux.txt
  check "the counts for the budget are those of the Linux program" diff 声優ホーム/win/スタッフ用リスト/ボイス集計.csv 声優ホーム/linux/スタッフ用リスト/ボイス集計.csv
  check "the counts' workbook holds the Linux program's sheets, part for part" \
    /usr/bin/python3 "$root/tests/workbooks/workbook_check.py" same 声優ホーム/win/スタッフ用リスト 声優ホーム/linux/スタッフ用リスト
fi

echo "lumeno.exe: $passed passed, $failed failed"
[ "$failed" = 0 ]
