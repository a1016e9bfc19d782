#!/usr/bin/python3
"""Reads Vocar's script workbooks back as a user's spreadsheet program would.

    workbook_check.py check HOME [SHEET_ROWS]
        Every workbook of HOME/声優用台本 against the ".zd" scripts beside it:
        the cells of A to C are the scripts' rows, the page breaks stand at
        their page boundaries, the page keeps a tenth of its width spare in
        the workbook's own font (its Normal style, the scripts' font) and
        the columns fit with a font of wider digits in its place, every
        voice row has its 収録 box, and with the script's framing flag each
        own line is framed with its speech (its rows, then whole direction
        lines, a frame a page), the contents sheet's counts, voice names and
        page counts agree, and the sheet names are valid and unique.
    workbook_check.py render FONTS OUTDIR XLSX...
        Prints each XLSX (standing beside its scripts' folder) with
        LibreOffice where only one set of Japanese fonts is installed, FONTS
        "ipa" or "noto", and no font is an alias of another, as on a user's
        machine without MS Gothic; writes OUTDIR/<name>-FONTS.pdf and its
        page images, and checks that it prints the contents' page and the
        scripts' pages, each page with its own footer and every voice row's
        name beside its speaker and text (pdftotext -bbox).
    workbook_check.py sheets XLSX
        Prints every sheet: its name, then its cells (A to E) a row a line.
    workbook_check.py frames XLSX SHEET
        Prints a script sheet's rows, a line each: the frame on the row ("-"
        none, "^" its top, "|" inside, "v" its bottom, "o" top and bottom),
        "x" for a 収録 box or ".", then the cells of A and C.
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
SCRIPT_FONT = ("MS Gothic", 10.5)
A4_WIDTH = 8.27  # inches
# The widest digits a program may measure the columns in, in place of the
# scripts' font (half an em): Noto Sans CJK and DejaVu Sans have 0.636 em.
WIDEST_DIGIT_EM = 0.64

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


def voice_row(raw):
    return raw != "" and not raw.startswith("\t")


def continued(rows, end):
    """The first row at or after END that does not continue the row before it."""
    while end < len(rows) and rows[end][0].startswith("\t\t"):
        end += 1
    return end


def speech_frames(rows, framed, inside):
    """For each row: None, or (top, bottom) when the row is in a frame.

    Each voice row is framed with its continuation rows, then with as many
    whole direction lines (a direction row and its continuation rows, empty
    rows before it passed over) as the workbook frames: INSIDE(row) says
    whether it frames a row. The rows of a speech on one page make one frame,
    from its first row with text to its last."""
    marks = [None] * len(rows)
    if not framed:
        return marks
    k = 0
    while k < len(rows):
        if not voice_row(rows[k][0]):
            k += 1
            continue
        end = continued(rows, k + 1)
        while True:
            nxt = end
            while nxt < len(rows) and rows[nxt][0] == "":
                nxt += 1
            if nxt == len(rows) or not rows[nxt][0].startswith("\t \t") or not inside(nxt):
                break
            end = continued(rows, nxt + 1)
        r = k
        while r < end:
            page_end = min(end, FIRST_PAGE_ROWS + (page_of_row(r) - 1) * PAGE_ROWS)
            text = [t for t in range(r, page_end) if rows[t][0] != ""]
            if text:
                for t in range(text[0], text[-1] + 1):
                    marks[t] = (t == text[0], t == text[-1])
            r = page_end
        k = end
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


def check_page_width(where, ws, digit_points):
    """The columns at the print scale leave a tenth of the page's width
    between the margins spare with digits of DIGIT_POINTS, and fit with the
    widest digits."""
    widths = [ws.column_dimensions[c].width for c in "ABCDE"]
    scale = int(ws.page_setup.scale or 100) / 100
    room = (A4_WIDTH - ws.page_margins.left - ws.page_margins.right) * 72
    columns = sum(widths) * digit_points * scale
    if room - columns < A4_WIDTH * 72 / 10:
        fail(where, f"the columns take {columns:.0f} of the {room:.0f} points between the margins: "
                    f"less than a tenth of the page spare")
    widest = sum(widths) * WIDEST_DIGIT_EM * SCRIPT_FONT[1] * scale
    if widest > room:
        fail(where, f"with digits of {WIDEST_DIGIT_EM} em the columns take {widest:.0f} of {room:.0f} points")
    if not ws.print_options.horizontalCentered:
        fail(where, "the columns are not centred on the page")


def sheet_parts(rows):
    """(first row, rows) of each sheet a script of ROWS rows takes."""
    first_sheet = FIRST_PAGE_ROWS + (SHEET_ROWS - FIRST_PAGE_ROWS) // PAGE_ROWS * PAGE_ROWS
    parts, first = [], 0
    while True:
        count = min(rows - first, first_sheet if first == 0 else SHEET_ROWS // PAGE_ROWS * PAGE_ROWS)
        parts.append((first, count))
        first += count
        if first >= rows:
            return parts


def framed_rows(sheets):
    """The rows of a script whose column A has a frame's left side, over
    its sheets [(worksheet, first row, rows)]."""
    inside = set()
    for ws, first, count in sheets:
        for row in ws.iter_rows(min_row=1, max_row=max(count, 1), max_col=1):
            b = row[0].border
            if b is not None and b.left.style:
                inside.add(first + row[0].row - 1)
    return inside


def check_script_sheet(where, ws, script, first_row, count, marks, relative, digit_points):
    prefix, name, framed, rows = script
    check_page_width(where, ws, digit_points)
    part = rows[first_row:first_row + count]
    if ws.max_row > count and any(c.value is not None for row in ws.iter_rows(min_row=count + 1) for c in row):
        fail(where, f"cells below the script's {count} rows")
    grid = {}
    for row in ws.iter_rows(min_row=1, max_row=max(count, 1), max_col=5):
        for c in row:
            grid[(c.row, c.column)] = c

    def sides(r, col):  # 1-based row of this sheet
        c = grid.get((r, col))
        b = c.border if c is not None else None
        return (bool(b and b.left.style), bool(b and b.right.style), bool(b and b.top.style), bool(b and b.bottom.style))

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
            if c is not None and c.value is not None and (c.font.name, c.font.sz) != SCRIPT_FONT:
                fail(where, f"row {r} column {'ABCDE'[col - 1]}: font {c.font.name} {c.font.sz}")
            if col == 4 and voice_row(raw):
                want = (True, True, True, True)  # the box for 収録
            elif mark is None:
                want = (False, False, False, False)
            else:
                want = (col == 1, col == 5, mark[0], mark[1])
            if sides(r, col) != want:
                fail(where, f"row {r} column {'ABCDE'[col - 1]}: borders (left, right, top, bottom) {sides(r, col)}, "
                            f"expected {want}")
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


def check_workbook(path, folder):
    where = os.path.relpath(path)
    wb = openpyxl.load_workbook(path)
    # The workbook's own font, in whose digits the column widths count.
    normal = wb._named_styles["Normal"].font
    if (normal.name, normal.sz) != SCRIPT_FONT:
        fail(where, f"the Normal style's font is {normal.name} {normal.sz}, not the scripts' {SCRIPT_FONT}")
    digit_points = (normal.sz or SCRIPT_FONT[1]) / 2  # MS Gothic's digits are half an em
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
        parts = sheet_parts(len(rows_))
        if sheet_index + len(parts) > len(names):
            fail(where, f"no sheet for {relative!r}")
            break
        sheets = [(wb[names[sheet_index + k]], first, count) for k, (first, count) in enumerate(parts)]
        want_target = "'" + names[sheet_index].replace("'", "''") + "'!A1"
        if target != want_target:
            fail(where, f"contents link of {relative!r} is {target!r}, expected {want_target!r}")
        base = os.path.splitext(relative.split("\\")[-1])[0]
        check_sheet_name(f"{where} [{names[sheet_index]}]", names[sheet_index], base)
        inside = framed_rows(sheets)
        marks = speech_frames(rows_, script[2], lambda t: t in inside)
        for ws, first, count in sheets:
            check_script_sheet(f"{where} [{ws.title}]", ws, script, first, count, marks, relative, digit_points)
        sheet_index += len(parts)
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
    # The pick-up scripts' folder is not one character's scripts.
    folders = sorted(f for f in os.listdir(root) if os.path.isdir(os.path.join(root, f)) and f != "[追加収録]")
    if [os.path.splitext(b)[0] for b in books] != folders:
        fail(root, f"workbooks {books} for the script folders {folders}")
    sheets = 0
    for book in books:
        sheets += check_workbook(os.path.join(root, book), os.path.join(root, os.path.splitext(book)[0]))
    for f in failures:
        print(f)
    print(f"{len(books)} workbooks, {sheets} sheets, {len(failures)} failures")
    return 1 if failures else 0


# The Japanese font sets a render may take, by their families.
FONT_SETS = {
    "ipa": ["IPAGothic", "IPAPGothic", "IPAMincho", "IPAPMincho", "IPAexGothic", "IPAexMincho"],
    "noto": [f"Noto {kind} CJK {region}" for kind in ("Sans", "Sans Mono", "Serif")
             for region in ("JP", "KR", "SC", "TC", "HK")],
}


def font_config(work, fonts):
    """A fontconfig file in WORK. FONTS None: the system's configuration with
    MS Gothic an alias of IPAGothic. FONTS a key of FONT_SETS: the system's
    fonts, of the Japanese ones only that set, and no alias of any kind."""
    conf = os.path.join(work, "fonts.conf")
    head = '<?xml version="1.0"?><!DOCTYPE fontconfig SYSTEM "fonts.dtd"><fontconfig>'
    with open(conf, "w") as f:
        if fonts is None:
            f.write(head + '<include ignore_missing="yes">/etc/fonts/fonts.conf</include>'
                    '<alias binding="same"><family>MS Gothic</family><prefer><family>IPAGothic</family></prefer></alias>'
                    '</fontconfig>')
        else:
            accept = "".join(f'<pattern><patelt name="family"><string>{family}</string></patelt></pattern>'
                             for family in FONT_SETS[fonts])
            f.write(head + '<dir>/usr/share/fonts</dir><dir>/usr/local/share/fonts</dir>'
                    f'<cachedir>{work}/fontconfig</cachedir><selectfont>'
                    '<rejectfont><pattern><patelt name="lang"><string>ja</string></patelt></pattern></rejectfont>'
                    f'<acceptfont>{accept}</acceptfont></selectfont></fontconfig>')
    return conf


def japanese_families(env):
    listed = subprocess.run(["fc-list", ":lang=ja", "family"], env=env, capture_output=True, text=True).stdout
    return sorted({line.split(",")[0] for line in listed.splitlines() if line})


def print_workbooks(books, outdir, fonts=None):
    """Prints BOOKS [(xlsx, name)] with LibreOffice, in one run, to
    OUTDIR/NAME.pdf; the paths, or None (the reason printed)."""
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if not soffice:
        print("soffice (libreoffice-calc-nogui) is missing")
        return None
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, FONTCONFIG_FILE=font_config(work, fonts), HOME=work)
        if fonts is not None:
            families = japanese_families(env)
            if not families or not set(families) <= set(FONT_SETS[fonts]):
                print(f"the Japanese fonts for {fonts!r} are {families} (scripts/linux-deps.sh installs them)")
                return None
        sources = []
        for k, (xlsx, _) in enumerate(books):
            sources.append(os.path.join(work, f"book{k}.xlsx"))
            shutil.copy(xlsx, sources[-1])
        subprocess.run([soffice, f"-env:UserInstallation=file://{work}/profile", "--headless", "--convert-to", "pdf",
                        "--outdir", work] + sources, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=600, check=False)
        kept = []
        for k, (_, name) in enumerate(books):
            pdf = os.path.join(work, f"book{k}.pdf")
            if not os.path.exists(pdf):
                print(f"LibreOffice wrote no PDF of {name}")
                return None
            kept.append(os.path.join(outdir, name + ".pdf"))
            shutil.copy(pdf, kept[-1])
    return kept


def print_to_pdf(xlsx, outdir, name, fonts=None):
    """Prints XLSX with LibreOffice to OUTDIR/NAME.pdf; its path, or None."""
    kept = print_workbooks([(xlsx, name)], outdir, fonts)
    return kept[0] if kept else None


def pdf_pages(pdf):
    info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, check=True).stdout
    return int(re.search(r"^Pages:\s+(\d+)", info, re.M).group(1))


def pdf_words(pdf):
    """The words of each page: [(x_min, y_min, x_max, y_max, text)], with the
    page's height."""
    import html
    out = subprocess.run(["pdftotext", "-bbox", pdf, "-"], capture_output=True, text=True, check=True).stdout
    pages = []
    for page in re.finditer(r'<page width="([\d.]+)" height="([\d.]+)">(.*?)</page>', out, re.S):
        words = [(float(a), float(b), float(c), float(d), html.unescape(t)) for a, b, c, d, t in re.findall(
            r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(.*?)</word>', page.group(3))]
        pages.append((float(page.group(2)), words))
    return pages


def squeezed(text):
    """TEXT as compared with what pdftotext gives: NFKC, without blanks and
    control characters."""
    import unicodedata
    return "".join(c for c in unicodedata.normalize("NFKC", text) if c.isprintable() and not c.isspace())


def check_printed_page(where, height, words, rows, page, pages):
    """A printed script page: its footer, and every voice row's name with its
    speaker and text on one line to its right."""
    footer = " ".join(w[4] for w in sorted(words, key=lambda w: w[0]) if w[1] > height - 80)
    if footer != f"{page} / {pages}":
        fail(where, f"footer {footer!r}, expected '{page} / {pages}'")
    voices = 0
    for raw, (voice, speaker, text) in rows:
        if not voice_row(raw):
            continue
        voices += 1
        found = [w for w in words if w[4] == voice]
        if len(found) != 1:
            fail(where, f"voice name {voice!r} printed {len(found)} times")
            continue
        x0, y0, x1, y1, _ = found[0]
        middle = (y0 + y1) / 2
        beside = sorted((w for w in words if w[0] >= x1 and abs((w[1] + w[3]) / 2 - middle) < 4), key=lambda w: w[0])
        line = squeezed("".join(w[4] for w in beside))
        want = squeezed(speaker + text)[:12]
        if not line.startswith(want):
            fail(where, f"beside {voice!r} stands {line[:24]!r}, not its speaker and text {want!r}")
    return voices


def render(fonts, outdir, books):
    """Prints BOOKS with FONTS and checks their pages; see the module's text."""
    os.makedirs(outdir, exist_ok=True)
    names = [os.path.splitext(os.path.basename(xlsx))[0] + "-" + fonts for xlsx in books]
    kept = print_workbooks(list(zip(books, names)), outdir, fonts)
    if not kept:
        return 1
    for xlsx, name, pdf in zip(books, names, kept):
        for old in os.listdir(outdir):
            if old.startswith(name + "-") and old.endswith(".png"):
                os.remove(os.path.join(outdir, old))
        subprocess.run(["pdftoppm", "-r", "60", "-png", pdf, os.path.join(outdir, name)], check=True)
        # The scripts in the contents' order, beside the workbook.
        folder = os.path.splitext(xlsx)[0]
        contents = openpyxl.load_workbook(xlsx, read_only=True)["目次"]
        relatives = [cell_text(r[0]) for r in contents.iter_rows(min_row=2, max_col=1, values_only=True)
                     if r[0] is not None and r[0] != "合計"]
        printed = pdf_words(pdf)
        contents_pages = 1
        want = contents_pages + sum(page_of_row(len(read_script(zd_path(folder, rel))[3]) - 1) for rel in relatives)
        where = os.path.relpath(pdf)
        print(f"{where}: {len(printed)} pages, expected {want} (contents {contents_pages} + the scripts')")
        if len(printed) != want:
            fail(where, f"{len(printed)} pages, expected {want}")
            continue
        at, voices = contents_pages, 0
        for rel in relatives:
            rows = read_script(zd_path(folder, rel))[3]
            pages = page_of_row(len(rows) - 1) if rows else 1
            for page in range(1, pages + 1):
                on_page = [row for k, row in enumerate(rows) if page_of_row(k) == page]
                height, words = printed[at]
                voices += check_printed_page(f"{where} page {at + 1} ({rel} {page})", height, words, on_page, page, pages)
                at += 1
        print(f"{where}: {voices} voice rows beside their text")
    for f in failures:
        print(f)
    return 1 if failures else 0


def zd_path(folder, relative):
    return os.path.join(folder, os.path.splitext(os.path.join(*relative.split("\\")))[0] + ".zd")


def sheets(xlsx):
    wb = openpyxl.load_workbook(xlsx)
    for ws in wb.worksheets:
        print(f"== {ws.title}")
        for row in ws.iter_rows(max_col=5, values_only=True):
            print("\t".join("" if v is None else str(cell_text(v)) for v in row))
    return 0


def frames(xlsx, sheet):
    ws = openpyxl.load_workbook(xlsx)[sheet]
    for row in ws.iter_rows(max_col=5):
        a, d = row[0].border, row[3].border
        inside, top, bottom = bool(a.left.style), bool(a.top.style), bool(a.bottom.style)
        mark = "-" if not inside else "o" if top and bottom else "^" if top else "v" if bottom else "|"
        box = "x" if d.left.style and d.right.style and d.top.style and d.bottom.style else "."
        print(f"{mark}{box}\t{cell_text(row[0].value)}\t{cell_text(row[2].value)}")
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
    if command == "render" and len(sys.argv) >= 5 and sys.argv[2] in FONT_SETS:
        return render(sys.argv[2], sys.argv[3], sys.argv[4:])
    if command == "frames" and len(sys.argv) == 4:
        return frames(sys.argv[2], sys.argv[3])
    if command == "sheets" and len(sys.argv) == 3:
        return sheets(sys.argv[2])
    if command == "same" and len(sys.argv) == 4:
        return same(sys.argv[2], sys.argv[3])
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())
