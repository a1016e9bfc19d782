#!/usr/bin/python3
"""Vocar's counts for the budget on the benchmark tree, read as a user would.

    counts_check.py LUMENO SOURCE_DIR WORK

Makes a small benchmark tree with bench/gen_corpus.py in WORK, runs
`lumeno vocar run` on it, and checks that ボイス集計.csv (read as Excel reads
it: UTF-8 with its byte-order mark) gives every character, and every
character and file, the voiced lines its CVO list gives; that the per-file
rows add up to the character's row; and that ボイス集計.xlsx (read with
openpyxl) holds the same table. Then renders the workbook with LibreOffice
(WORK/ボイス集計.pdf and its page images).
"""
import csv
import io
import os
import re
import shutil
import subprocess
import sys

import openpyxl

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "workbooks"))
import workbook_check  # noqa: E402

HEADER = ["ボイス接頭辞", "キャラ名", "ファイル", "ボイスあり行数", "ボイスなし行数", "文字数"]
failures = []


def fail(message):
    failures.append(message)
    print("FAIL:", message)


def cvo_lists(folder):
    """{(prefix, file): count} and {prefix: total} from the CVO lists."""
    counts, totals = {}, {}
    for name in sorted(os.listdir(folder)):
        text = open(os.path.join(folder, name), "rb").read().decode("cp932")
        prefix = re.search(r"^\[(.*?)\] ", text, re.M).group(1)
        for count, file in re.findall(r"^    \[ *(\d+)\] (.+)\r$", text, re.M):
            counts[(prefix, file)] = int(count)
        totals[prefix] = int(re.search(r"^  計\[ *(\d+)\]\r$", text, re.M).group(1))
    return counts, totals


def render(xlsx, outdir):
    kept = workbook_check.print_to_pdf(xlsx, outdir, "ボイス集計")
    if not kept:
        fail("LibreOffice did not print the counts' workbook")
        return
    pages = workbook_check.pdf_pages(kept)
    subprocess.run(["pdftoppm", "-r", "60", "-png", "-l", "2", kept, os.path.join(outdir, "ボイス集計")], check=True)
    print(f"{kept}: {pages} pages")
    if pages < 1:
        fail("the counts' workbook prints no page")


def main():
    lumeno, source, work = sys.argv[1:4]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    corpus = os.path.join(work, "corpus")
    subprocess.run([sys.executable, os.path.join(source, "bench", "gen_corpus.py"), corpus, "--files", "60", "--kb", "6",
                    "--characters", "14", "--seed", "7"], check=True, stdout=subprocess.DEVNULL)
    home = os.path.join(corpus, "home")
    subprocess.run([lumeno, "vocar", "config", "--home", home, "start_number=00001", "output_scripts=0",
                    "output_voice_text=0"], check=True)
    subprocess.run([lumeno, "vocar", "run", "--home", home, "--yes", "--no-progress", os.path.join(corpus, "scenario")],
                   check=True, stdout=subprocess.DEVNULL)
    lists = os.path.join(home, "スタッフ用リスト")
    counts, totals = cvo_lists(os.path.join(lists, "キャラ別ボイス数リスト"))

    raw = open(os.path.join(lists, "ボイス集計.csv"), "rb").read()
    if not raw.startswith(b"\xef\xbb\xbf"):
        fail("the CSV has no byte-order mark")
    rows = list(csv.reader(io.StringIO(raw.decode("utf-8-sig"), newline="")))
    if rows[0] != HEADER:
        fail(f"header {rows[0]}")
    table = [r[:3] + [int(v) for v in r[3:]] for r in rows[1:]]
    own = {r[0]: r for r in table if r[2] == ""}
    per_file = {(r[0], r[2]): r for r in table if r[2] != ""}
    voiced_prefixes = [p for p in own if p]
    if sorted(voiced_prefixes) != sorted(totals):
        fail(f"characters {sorted(voiced_prefixes)} against the CVO lists' {sorted(totals)}")
    for (prefix, file), count in counts.items():
        got = per_file.get((prefix, file), [prefix, "", file, 0, 0, 0])[3]
        if got != count:
            fail(f"{prefix} {file}: {got} voiced lines, the CVO list says {count}")
    for prefix, total in totals.items():
        if own[prefix][3] != total:
            fail(f"{prefix}: {own[prefix][3]} voiced lines in all, the CVO list says {total}")
    for prefix, row in own.items():
        sums = [sum(r[k] for key, r in per_file.items() if key[0] == prefix) for k in (3, 4, 5)]
        if sums != row[3:]:
            fail(f"{prefix or row[1]}: the files add up to {sums}, the character's row says {row[3:]}")
        if not prefix and (row[3] != 0 or row[4] == 0):
            fail(f"{row[1]} has no voice prefix but {row[3]} voiced and {row[4]} other lines")
    unvoiced = sum(1 for p in own if not p)
    print(f"{len(table)} rows: {len(own)} characters ({unvoiced} without voice), {len(counts)} CVO lines compared")

    wb = openpyxl.load_workbook(os.path.join(lists, "ボイス集計.xlsx"))
    ws = wb.worksheets[0]
    cells = [["" if v is None else v for v in row] for row in ws.iter_rows(values_only=True)]
    if cells[0] != HEADER:
        fail(f"the workbook's header {cells[0]}")
    if cells[1:] != table:
        fail("the workbook's table is not the CSV's")
    if ws.freeze_panes != "A2" or ws.auto_filter.ref != f"A1:F{len(table) + 1}":
        fail(f"the workbook's header row: frozen at {ws.freeze_panes}, filter {ws.auto_filter.ref}")
    render(os.path.join(lists, "ボイス集計.xlsx"), work)
    print("ok" if not failures else f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
