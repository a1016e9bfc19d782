#!/usr/bin/python3
"""Vocar's counts for the budget on the benchmark tree, read as a user would.

    counts_check.py LUMENO SOURCE_DIR WORK

Makes a small benchmark tree with bench/gen_corpus.py in WORK, runs
`lumeno vocar run` on it, and checks that ボイス集計.csv (read as Excel reads
it: UTF-8 with its byte-order mark) gives every character, and every
character and file, the voiced lines its CVO list gives; that the per-file
rows add up to the character's row; and that ボイス集計.xlsx (read with
openpyxl) holds the same tables: the characters' rows, then a sheet a
character with its rows per file. Then renders the workbook with LibreOffice
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

    # The workbook: the characters' own rows on the first sheet, then a sheet
    # a character in the CSV's order with its rows per file (hidden when it
    # has none), each under a frozen, filtered header row.
    wb = openpyxl.load_workbook(os.path.join(lists, "ボイス集計.xlsx"))
    characters = [r for r in table if r[2] == ""]
    if len(wb.worksheets) != 1 + len(characters):
        fail(f"{len(wb.worksheets)} sheets for {len(characters)} characters")
    own_header = [h for h in HEADER if h != "ファイル"]
    sheets = [(wb.worksheets[0], own_header, [r[:2] + r[3:] for r in characters])]
    for k, character in enumerate(characters):
        rows_of = [[r[2]] + r[3:] for r in table if r[2] != "" and r[:2] == character[:2]]
        if k + 1 < len(wb.worksheets):
            ws = wb.worksheets[k + 1]
            if ws.title != character[1]:
                fail(f"sheet {ws.title} for {character[1]}")
            if (ws.sheet_state == "hidden") != (not rows_of):
                fail(f"{ws.title}: {ws.sheet_state} with {len(rows_of)} rows")
            sheets.append((ws, HEADER[2:], rows_of))
    for ws, header, want in sheets:
        cells = [["" if v is None else v for v in row] for row in ws.iter_rows(values_only=True)]
        if cells[:1] != [header]:
            fail(f"{ws.title}: header {cells[:1]}")
        if cells[1:] != want:
            fail(f"{ws.title}: the rows are not the CSV's")
        last = chr(ord("A") + len(header) - 1)
        if ws.freeze_panes != "A2" or ws.auto_filter.ref != f"A1:{last}{len(want) + 1}":
            fail(f"{ws.title}: header row frozen at {ws.freeze_panes}, filter {ws.auto_filter.ref}")
    render(os.path.join(lists, "ボイス集計.xlsx"), work)
    print("ok" if not failures else f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
