#!/usr/bin/python3
"""Reads Vocar's script workbooks back as a user's spreadsheet program would.

    workbook_check.py check HOME [SHEET_ROWS]
        Every workbook of HOME/声優用台本 against the ".zd" scripts beside it:
        the cells of A to C are the scripts' rows, the page breaks stand at
        their page boundaries, own dialogue is framed exactly when the script
        says so, the contents sheet's counts, voice names and page counts
        agree, and the sheet names are valid and unique.
    workbook_check.py render XLSX SCRIPT_PAGES OUTDIR
        Renders XLSX with LibreOffice to OUTDIR/<name>.pdf, writes its page
        images there, and checks the page count: the contents sheet's pages
        plus SCRIPT_PAGES.
    workbook_check.py sheets XLSX
        Prints every sheet: its name, then its cells (A to E) a row a line.
    workbook_check.py same FOLDER_A FOLDER_B
        The workbooks of two folders hold the same parts, byte for byte,
        but for the creation time (docProps/core.xml).

openpyxl reads cell text as stored; the format's escapes ("_xHHHH_") are
undone here as Excel undoes them.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

import openpyxl
from openpyxl.utils.escape import unescape

SCRIPTS = "声優用台本"
FIRST_PAGE_ROWS = 44
PAGE_ROWS = 45
SHEET_ROWS = FIRST_PAGE_ROWS + PAGE_ROWS * 1023
BAD_SHEET_CHARS = set('[]:*?/\\')

failures = []


def fail(where, message):
    failures.append(f"{where}: {message}")


def page_of_row(row):  # 0-based
    return 1 if row < FIRST_PAGE_ROWS else 2 + (row - FIRST_PAGE_ROWS) // PAGE_ROWS


def read_script(path):
    """(prefix, display name, framed, rows): rows as [A, B, C] of the body,
    trailing empty rows left out; each row also carries its raw text."""
    data = open(path, "rb").read().decode("cp932")
    prefix, name, frame, body = data.split("\r\n", 3)
    rows = re.split(r"\r\n|\r|\n", body)
    while rows and rows[-1] == "":
        rows.pop()
    cells = []
    for raw in rows:
        parts = raw.split("\t", 2)
        parts += [""] * (3 - len(parts))
        cells.append((raw, parts))
    return prefix, name, frame == "1", cells


def own_blocks(rows, framed):
    """For each row: None, or (top, bottom) when the row is in a framed block."""
    marks = [None] * len(rows)
    if not framed:
        return marks
    k = 0
    while k < len(rows):
        raw = rows[k][0]
        if raw and not raw.startswith("\t"):
            end = k + 1
            while end < len(rows) and rows[end][0].startswith("\t\t"):
                end += 1
            for r in range(k, end):
                marks[r] = (r == k, r == end - 1)
            k = end
        else:
            k += 1
    return marks


def fold(name):
    out = []
    for ch in name:
        c = ord(ch)
        if 0xFF01 <= c <= 0xFF5E:
            c -= 0xFF01 - 0x21
        out.append(chr(c).lower())
    return "".join(out)


def cell_text(value):
    if value is None:
        return ""
    return unescape(value) if isinstance(value, str) else value


def check_sheet_name(where, name, base):
    if not 1 <= len(name) <= 31:
        fail(where, f"sheet name {name!r} is {len(name)} characters long")
    if any(c in BAD_SHEET_CHARS or ord(c) < 0x20 for c in name):
        fail(where, f"sheet name {name!r} holds a character Excel refuses")
    if name.startswith("'") or name.endswith("'"):
        fail(where, f"sheet name {name!r} begins or ends with an apostrophe")
    stem = re.sub(r"\(\d+\)$", "", name)
    clean = "".join("_" if c in BAD_SHEET_CHARS or ord(c) < 0x20 else c for c in base) or "_"
    if clean.startswith("'"):
        clean = "_" + clean[1:]
    # A last apostrophe of the shortened name is made "_" too.
    made = clean.startswith(stem) or (stem.endswith("_") and clean[len(stem) - 1:len(stem)] == "'" and clean.startswith(stem[:-1]))
    if not made:
        fail(where, f"sheet name {name!r} is not made from the file name {base!r}")


def check_script_sheet(where, ws, script, first_row, relative):
    prefix, name, framed, rows = script
    marks = own_blocks(rows, framed)
    first_sheet = FIRST_PAGE_ROWS + (SHEET_ROWS - FIRST_PAGE_ROWS) // PAGE_ROWS * PAGE_ROWS
    count = min(len(rows) - first_row, first_sheet if first_row == 0 else SHEET_ROWS // PAGE_ROWS * PAGE_ROWS)
    part = rows[first_row:first_row + count]
    if ws.max_row > count and any(c.value is not None for row in ws.iter_rows(min_row=count + 1) for c in row):
        fail(where, f"cells below the script's {count} rows")
    grid = {}
    for row in ws.iter_rows(min_row=1, max_row=max(count, 1), max_col=5):
        for c in row:
            grid[(c.row, c.column)] = c
    for k, (raw, cells) in enumerate(part):
        r = k + 1
        got = [cell_text(grid[(r, col)].value) if (r, col) in grid else "" for col in range(1, 6)]
        if got[:3] != cells:
            fail(where, f"row {r}: {got[:3]!r} where the script has {cells!r}")
        if got[3] or got[4]:
            fail(where, f"row {r}: columns D and E are not empty")
        mark = marks[first_row + k]
        for col in range(1, 6):
            c = grid.get((r, col))
            b = c.border if c is not None else None
            sides = (bool(b and b.left.style), bool(b and b.right.style), bool(b and b.top.style), bool(b and b.bottom.style))
            want = (False, False, False, False) if mark is None else (col == 1, col == 5, mark[0], mark[1])
            if sides != want:
                fail(where, f"row {r} column {'ABCDE'[col - 1]}: borders (left, right, top, bottom) {sides}, expected {want}")
                break
    # Page breaks where the script's pages begin.
    first_page = page_of_row(first_row)
    want_breaks = [r - first_row for r in range(first_row + 1, first_row + count) if page_of_row(r) != page_of_row(r - 1)]
    got_breaks = [b.id for b in ws.row_breaks.brk]
    if got_breaks != want_breaks:
        fail(where, f"page breaks after rows {got_breaks}, expected {want_breaks}")
    if ws.page_setup.paperSize not in (9, "9") or ws.page_setup.orientation != "portrait":
        fail(where, "not A4 portrait")
    if ws.sheet_properties.pageSetUpPr is not None and ws.sheet_properties.pageSetUpPr.fitToPage:
        fail(where, "fit-to-page scaling would drop the manual breaks")
    if str(ws.page_setup.scale) != "88":
        fail(where, f"print scale {ws.page_setup.scale}")
    pages = page_of_row(len(rows) - 1) if rows else 1
    footer = ws.oddFooter.center.text or ""
    if footer != f"&P / {pages}":
        fail(where, f"footer {footer!r}, expected '&P / {pages}'")
    # Numbered from the script's own first page (1 when the number is left out).
    first_number = int(ws.page_setup.firstPageNumber or 1)
    if not ws.page_setup.useFirstPageNumber or first_number != first_page:
        fail(where, f"first page number {first_number}, expected {first_page}")
    header = (ws.oddHeader.left.text or "") + "|" + (ws.oddHeader.center.text or "")
    who = name if prefix == name else f"{name}（{prefix}）"
    if not header.startswith(who.replace("&", "&&") + "|"):
        fail(where, f"header {header!r} does not name {who!r}")
    center = ws.oddHeader.center.text or ""
    file_text = relative.replace("&", "&&")
    if center != file_text and not (center.startswith("…") and file_text.endswith(center[1:]) and len(header) > 100):
        fail(where, f"header's middle {center!r} does not name the file {relative!r}")
    right = ws.oddHeader.right.text or ""
    if not (right.startswith("収録") and "備考" in right):
        fail(where, f"header's right part {right!r} lacks the column labels")
    return count


def check_workbook(path, folder):
    where = os.path.relpath(path)
    wb = openpyxl.load_workbook(path)
    names = wb.sheetnames
    if names[0] != "目次":
        fail(where, f"first sheet {names[0]!r}")
    folded = [fold(n) for n in names]
    if len(set(folded)) != len(folded):
        fail(where, f"sheet names not unique: {names}")
    contents = wb["目次"]
    rows = list(contents.iter_rows(min_row=2, values_only=False))
    entries = [r for r in rows if r[0].value is not None and r[0].value != "合計"]
    zd_files = sorted(os.path.relpath(os.path.join(d, f), folder)
                      for d, _, fs in os.walk(folder) for f in fs if f.endswith(".zd"))
    listed = []
    sheet_index = 1
    total_lines = total_pages = 0
    for entry in entries:
        relative = cell_text(entry[0].value)
        zd = os.path.join(*relative.split("\\"))
        zd = os.path.splitext(zd)[0] + ".zd"
        listed.append(zd)
        if not os.path.exists(os.path.join(folder, zd)):
            fail(where, f"contents names {relative!r}, which has no script")
            continue
        script = read_script(os.path.join(folder, zd))
        rows_ = script[3]
        own = [cells for raw, cells in rows_ if raw and not raw.startswith("\t")]
        pages = page_of_row(len(rows_) - 1) if rows_ else 1
        got = [cell_text(c.value) for c in entry[1:5]]
        want = [len(own), own[0][0] if own else "", own[-1][0] if own else "", pages]
        if got != want:
            fail(where, f"contents of {relative!r}: {got}, expected {want}")
        total_lines += len(own)
        total_pages += pages
        link = entry[0].hyperlink
        target = link.location if link is not None else None
        first = 0
        while True:
            if sheet_index >= len(names):
                fail(where, f"no sheet for {relative!r}")
                break
            ws = wb[names[sheet_index]]
            if first == 0:
                want_target = "'" + names[sheet_index].replace("'", "''") + "'!A1"
                if target != want_target:
                    fail(where, f"contents link of {relative!r} is {target!r}, expected {want_target!r}")
                base = os.path.splitext(relative.split("\\")[-1])[0]
                check_sheet_name(f"{where} [{names[sheet_index]}]", names[sheet_index], base)
            first += check_script_sheet(f"{where} [{names[sheet_index]}]", ws, script, first, relative)
            sheet_index += 1
            if first >= len(rows_):
                break
    if sheet_index != len(names):
        fail(where, f"sheets beyond the contents: {names[sheet_index:]}")
    if sorted(listed) != zd_files:
        fail(where, f"contents lists {sorted(listed)}, the scripts are {zd_files}")
    totals = [r for r in rows if r[0].value == "合計"]
    if not totals or [cell_text(c.value) for c in totals[0][1:5:3]] != [total_lines, total_pages]:
        fail(where, f"totals {[[c.value for c in t] for t in totals]}, expected {total_lines} lines, {total_pages} pages")
    return len(names)


def check(home):
    root = os.path.join(home, SCRIPTS)
    books = sorted(f for f in os.listdir(root) if f.endswith(".xlsx"))
    folders = sorted(f for f in os.listdir(root) if os.path.isdir(os.path.join(root, f)))
    if [os.path.splitext(b)[0] for b in books] != folders:
        fail(root, f"workbooks {books} for the script folders {folders}")
    sheets = 0
    for book in books:
        sheets += check_workbook(os.path.join(root, book), os.path.join(root, os.path.splitext(book)[0]))
    for f in failures:
        print(f)
    print(f"{len(books)} workbooks, {sheets} sheets, {len(failures)} failures")
    return 1 if failures else 0


def print_to_pdf(xlsx, outdir, name):
    """Prints XLSX with LibreOffice to OUTDIR/NAME.pdf; its path, or None."""
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if not soffice:
        print("soffice (libreoffice-calc-nogui) is missing")
        return None
    with tempfile.TemporaryDirectory() as work:
        # LibreOffice has no MS Gothic: a fixed-pitch Japanese font stands in
        # for it, as it would on a user's machine.
        conf = os.path.join(work, "fonts.conf")
        with open(conf, "w") as f:
            f.write('<?xml version="1.0"?><!DOCTYPE fontconfig SYSTEM "fonts.dtd"><fontconfig>'
                    '<include ignore_missing="yes">/etc/fonts/fonts.conf</include>'
                    '<alias binding="same"><family>MS Gothic</family><prefer><family>IPAGothic</family></prefer></alias>'
                    '</fontconfig>')
        env = dict(os.environ, FONTCONFIG_FILE=conf, HOME=work)
        source = os.path.join(work, "book.xlsx")
        shutil.copy(xlsx, source)
        subprocess.run([soffice, f"-env:UserInstallation=file://{work}/profile", "--headless", "--convert-to", "pdf",
                        "--outdir", work, source], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=300, check=False)
        pdf = os.path.join(work, "book.pdf")
        if not os.path.exists(pdf):
            print("LibreOffice wrote no PDF")
            return None
        kept = os.path.join(outdir, name + ".pdf")
        shutil.copy(pdf, kept)
    return kept


def pdf_pages(pdf):
    info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, check=True).stdout
    return int(re.search(r"^Pages:\s+(\d+)", info, re.M).group(1))


def render(xlsx, script_pages, outdir):
    os.makedirs(outdir, exist_ok=True)
    name = os.path.splitext(os.path.basename(xlsx))[0]
    kept = print_to_pdf(xlsx, outdir, name)
    if not kept:
        return 1
    pages = pdf_pages(kept)
    for old in os.listdir(outdir):
        if old.startswith(name + "-") and old.endswith(".png"):
            os.remove(os.path.join(outdir, old))
    subprocess.run(["pdftoppm", "-r", "60", "-png", kept, os.path.join(outdir, name)], check=True)
    contents_pages = 1
    want = contents_pages + int(script_pages)
    print(f"{kept}: {pages} pages, expected {want} (contents {contents_pages} + scripts {script_pages})")
    return 0 if pages == want else 1


def sheets(xlsx):
    wb = openpyxl.load_workbook(xlsx)
    for ws in wb.worksheets:
        print(f"== {ws.title}")
        for row in ws.iter_rows(max_col=5, values_only=True):
            print("\t".join("" if v is None else str(cell_text(v)) for v in row))
    return 0


def same(folder_a, folder_b):
    import zipfile
    books_a = sorted(f for f in os.listdir(folder_a) if f.endswith(".xlsx"))
    books_b = sorted(f for f in os.listdir(folder_b) if f.endswith(".xlsx"))
    if books_a != books_b or not books_a:
        print(f"workbooks {books_a} and {books_b}")
        return 1
    status = 0
    for book in books_a:
        with zipfile.ZipFile(os.path.join(folder_a, book)) as a, zipfile.ZipFile(os.path.join(folder_b, book)) as b:
            parts = sorted(set(a.namelist()) | set(b.namelist()))
            for part in parts:
                if part == "docProps/core.xml":
                    continue
                if part not in a.namelist() or part not in b.namelist() or a.read(part) != b.read(part):
                    print(f"{book}: {part} differs")
                    status = 1
    print(f"{len(books_a)} workbooks compared")
    return status


def main():
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command == "check" and len(sys.argv) in (3, 4):
        global SHEET_ROWS
        if len(sys.argv) == 4:
            SHEET_ROWS = int(sys.argv[3])
        return check(sys.argv[2])
    if command == "render" and len(sys.argv) == 5:
        return render(sys.argv[2], sys.argv[3], sys.argv[4])
    if command == "sheets" and len(sys.argv) == 3:
        return sheets(sys.argv[2])
    if command == "same" and len(sys.argv) == 4:
        return same(sys.argv[2], sys.argv[3])
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())
