#!/usr/bin/python3
"""The take book with real programs in the loop, on the real scenario.

    take_book_check.py LUMENO SOURCE_DIR WORK_DIR

1. Vocar runs over a copy of tests/corpus/real with the take book on.
2. A director marks the book with openpyxl (statuses, takes, a date, notes,
   a column of the studio's own, a sheet of notes), and LibreOffice opens
   and saves it again as an office user would (its own shared strings,
   styles and dates).
3. Marks are typed into a script workbook with openpyxl.
4. The scenario is edited (a line of a marked speech rewritten, the second
   line of another, a voice deleted, one added) and Vocar runs again.
5. The book is read back: every mark stands on its voice's row or on 欠番,
   the edited OK voices are 要再収録 with the text they were recorded with,
   the date is still a date, the studio's column and the typed marks are
   kept, and the counts of 集計 add up to the rows.
"""
import datetime
import os
import shutil
import subprocess
import sys
import tempfile

import openpyxl

BOOK = "収録台帳.xlsx"
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(lumeno, home, scenario):
    result = subprocess.run([lumeno, "vocar", "run", "--home", home, "--yes", "--no-progress", scenario],
                            capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"vocar run failed ({result.returncode}): {result.stderr}{result.stdout}")
    return result.stdout


def rows_by_voice(path):
    wb = openpyxl.load_workbook(path)
    rows = {}
    for ws in wb.worksheets:
        if ws.title == "集計":
            continue
        values = list(ws.iter_rows(values_only=True))
        header = list(values[0])
        for r in values[1:]:
            record = dict(zip(header, r))
            if record.get("ボイス名"):
                rows[record["ボイス名"]] = (ws.title, record)
    return wb, rows


def resave_with_libreoffice(path, work):
    out = os.path.join(work, "resaved")
    os.makedirs(out, exist_ok=True)
    profile = "file://" + os.path.join(work, "lo-profile")
    subprocess.run(["soffice", f"-env:UserInstallation={profile}", "--headless", "--calc", "--convert-to",
                    "xlsx:Calc MS Excel 2007 XML", "--outdir", out, path],
                   check=True, capture_output=True, timeout=300)
    shutil.copyfile(os.path.join(out, os.path.basename(path)), path)


def edit_line(path, old, new):
    data = open(path, "rb").read().decode("cp932")
    if old not in data:
        sys.exit(f"{path}: {old!r} not found")
    open(path, "wb").write(data.replace(old, new, 1).encode("cp932"))


def main():
    lumeno, source, work = sys.argv[1], sys.argv[2], sys.argv[3]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    home = os.path.join(work, "home")
    scenario = os.path.join(work, "scenario")
    shutil.copytree(os.path.join(source, "tests", "corpus", "real", "home"), home)
    shutil.copytree(os.path.join(source, "tests", "corpus", "real", "scenario"), scenario)
    subprocess.run([lumeno, "vocar", "config", "--home", home, "track_takes=1"], check=True, capture_output=True)

    out = run(lumeno, home, scenario)
    check("収録済 0 / 2453（0.0%）" in out, f"first run: {out}")
    book = os.path.join(home, BOOK)

    # The director's marks.
    wb = openpyxl.load_workbook(book)
    ws = wb["ステラ"]
    header = [c.value for c in ws[1]]
    col = {h: i + 1 for i, h in enumerate(header)}
    ws.cell(1, len(header) + 1, "担当")
    marks = {}
    for r in range(2, 12):
        voice = ws.cell(r, col["ボイス名"]).value
        status = ["OK", "OK", "NG", "保留", "OK", "", "OK", "NG", "OK", "OK"][r - 2]
        ws.cell(r, col["状態"], status or None)
        ws.cell(r, col["テイク"], r)
        ws.cell(r, col["収録日"], datetime.datetime(2026, 12, 1))
        ws.cell(r, col["備考"], f"メモ{r}")
        ws.cell(r, len(header) + 1, "田中")
        marks[voice] = (status, r, f"メモ{r}", ws.cell(r, col["本文"]).value, ws.cell(r, col["ファイル"]).value,
                        ws.cell(r, col["行"]).value)
    notes = wb.create_sheet("打ち合わせ")
    notes["A1"] = "来週の収録"
    wb.save(book)
    resave_with_libreoffice(book, work)

    # Marks typed into ステラ's script workbook.
    scripts = os.path.join(home, "声優用台本")
    stella = [f for f in os.listdir(scripts) if f.endswith(".xlsx") and "ステラ" in f][0]
    swb = openpyxl.load_workbook(os.path.join(scripts, stella))
    typed = None
    for sws in swb.worksheets[1:]:
        for r in range(1, sws.max_row + 1):
            voice = sws.cell(r, 1).value
            if voice and voice not in marks:
                sws.cell(r, 4, "OK")
                sws.cell(r, 5, "台本で記入")
                typed = voice
                break
        if typed:
            break
    swb.save(os.path.join(scripts, stella))
    check(typed is not None, "no voice row found in ステラ's script workbook")

    # The edits: the first OK voice's line rewritten, the second OK voice's
    # last line changed (a speech over several lines where there is one), the
    # NG voice's line deleted, a new line.
    ok_voices = [v for v, m in marks.items() if m[0] == "OK"]
    first, second = ok_voices[0], ok_voices[1]
    f1, line1 = marks[first][4], marks[first][5]
    path1 = os.path.join(work, f1.replace("\\", os.sep))
    data = open(path1, "rb").read().decode("cp932").split("\r\n")
    data[line1 - 1] = data[line1 - 1].replace("」", "……ね」", 1) if "」" in data[line1 - 1] else data[line1 - 1] + "ね"
    ng = [v for v, m in marks.items() if m[0] == "NG"][0]
    f3, line3 = marks[ng][4], marks[ng][5]
    second_text = marks[second][3]
    f2, line2 = marks[second][4], marks[second][5]
    extra_lines = second_text.count("\n")
    open(path1, "wb").write("\r\n".join(data).encode("cp932"))
    path2 = os.path.join(work, f2.replace("\\", os.sep))
    data = open(path2, "rb").read().decode("cp932").split("\r\n")
    last = line2 - 1 + extra_lines
    data[last] = data[last] + "（追記）"
    open(path2, "wb").write("\r\n".join(data).encode("cp932"))
    path3 = os.path.join(work, f3.replace("\\", os.sep))
    data = open(path3, "rb").read().decode("cp932").split("\r\n")
    del data[line3 - 1]
    data.append("ステラ「新しいセリフ。」")
    open(path3, "wb").write("\r\n".join(data).encode("cp932"))

    out = run(lumeno, home, scenario)
    check("台本への記入を収録台帳に取り込みました: 1 件" in out or "台本への記入を収録台帳に取り込みました: 2 件" in out,
          f"the typed marks are not counted: {out}")
    check("シート「打ち合わせ」" in out, f"the notes sheet is not named as left behind: {out}")
    check(os.path.exists(os.path.join(home, "収録台帳.bak.xlsx")), "no backup of the book")
    # What Vocar writes itself (the filter, the drop-down list) is not "left behind".
    check("オートフィルター" not in out and "入力規則" not in out, f"Vocar's own features named as lost: {out}")

    wb, rows = rows_by_voice(book)
    for voice, (status, take, note, text, file, line) in marks.items():
        if voice not in rows:
            failures.append(f"{voice}: lost")
            continue
        sheet, record = rows[voice]
        if voice == ng:
            check(sheet == "欠番", f"{voice}: deleted but on {sheet}")
            check(isinstance(record.get("除外日"), datetime.datetime), f"{voice}: no date it left")
        else:
            check(sheet == "ステラ", f"{voice}: on {sheet}")
        check(record["テイク"] == take, f"{voice}: take {record['テイク']!r}")
        check(record["備考"] == note, f"{voice}: notes {record['備考']!r}")
        check(record["担当"] == "田中", f"{voice}: the studio's column {record.get('担当')!r}")
        check(isinstance(record["収録日"], datetime.datetime), f"{voice}: date {record['収録日']!r}")
        if voice in (first, second):
            check(record["状態"] == "要再収録", f"{voice}: edited after OK but {record['状態']!r}")
            check(record["収録時の本文"] == text, f"{voice}: recorded text {record['収録時の本文']!r}")
            check(record["今回の変更"] == "本文変更", f"{voice}: change {record['今回の変更']!r}")
        elif voice != ng:
            check((record["状態"] or "") == status, f"{voice}: status {record['状態']!r} for {status!r}")
        if record["状態"] == "OK":
            check(record["収録時の本文"] == record["本文"], f"{voice}: OK on a text other than recorded")
    if typed:
        sheet, record = rows[typed]
        check(record["状態"] == "OK" and record["備考"] == "台本で記入", f"{typed}: typed marks {record}")
    # 集計 adds up to the rows in use.
    summary = list(wb["集計"].iter_rows(values_only=True))
    total = summary[-1]
    in_use = sum(1 for s, r in rows.values() if s != "欠番")
    check(total[0] == "合計" and total[1] == in_use, f"集計 total {total} for {in_use} rows")
    check(total[1] == sum(total[2:8]), f"集計 total does not add up: {total}")
    check(sum(r[1] for r in summary[1:-1]) == total[1], "集計 rows do not add up to the total")
    new = [r for s, r in rows.values() if r["本文"] == "「新しいセリフ。」"]
    check(len(new) == 1 and new[0]["今回の変更"] == "新規", f"new line: {new}")

    # The script workbooks show the book's marks; the director then changes
    # a status in the book alone, and the next run adds nothing of the
    # scripts' (now outdated) marks to it.
    swb = openpyxl.load_workbook(os.path.join(scripts, stella))
    shown = {}
    for sws in swb.worksheets[1:]:
        for r in range(1, sws.max_row + 1):
            voice = sws.cell(r, 1).value
            if voice in rows and rows[voice][0] != "欠番":
                shown[voice] = (sws.cell(r, 4).value, sws.cell(r, 5).value)
                check(sws.column_dimensions["G"].hidden, "the shown marks' columns are not hidden")
    for voice, (sheet, record) in rows.items():
        if voice in shown:
            check(shown[voice] == (record["状態"], record["備考"]), f"{voice}: the script shows {shown[voice]}")
    changed = [v for v, (s, r) in rows.items() if s == "ステラ" and r["状態"] == "保留"][0]
    wb = openpyxl.load_workbook(book)
    ws = wb["ステラ"]
    for r in range(2, ws.max_row + 1):
        if ws.cell(r, 1).value == changed:
            ws.cell(r, 5, "NG")
    wb.save(book)
    run(lumeno, home, scenario)
    wb, rows = rows_by_voice(book)
    check(rows[changed][1]["状態"] == "NG", f"{changed}: the book's own change lost: {rows[changed][1]}")
    check("台本の収録欄" not in (rows[changed][1]["備考"] or ""), f"{changed}: the script's outdated mark carried")

    if failures:
        print("\n".join(failures))
        sys.exit(1)
    print(f"take book: {len(rows)} rows, marks kept through openpyxl and LibreOffice")


if __name__ == "__main__":
    main()
