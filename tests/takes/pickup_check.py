#!/usr/bin/python3
"""Pick-up scripts of what is still owed, read back and printed.

    pickup_check.py LUMENO SOURCE_DIR WORK_DIR

A scenario of three characters is run with the take book on; the book is
marked with every status (OK, NG with a note, 保留, none) with openpyxl, a
marked line and the second line of a marked speech are edited, and Vocar
runs again. Then, in 声優用台本\\[追加収録]:
- a character who owes nothing has no file; the others have a ".zd" and a
  workbook, and [全キャラ].xlsx has a sheet for each of them;
- the ".zd" holds exactly the owed voices, in run order, each after a row
  naming its file (once a file) and after its cue, the nearest earlier line
  of dialogue of its file, without a voice name;
- the workbooks hold the ".zd" rows, row for row, the cues in grey, each
  voice's reason in 備考;
- one pick-up workbook printed with LibreOffice without any font alias
  (only Noto CJK) prints the ".zd" pages plus its contents, every voice name
  beside its text.
"""
import os
import shutil
import subprocess
import sys

import openpyxl

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "workbooks"))
import workbook_check as wbc  # noqa: E402
from take_book_check import run  # noqa: E402

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def write(path, lines):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    open(path, "wb").write("\r\n".join(lines + [""]).encode("cp932"))


SCENE_A = [
    "\\bg(room)",
    "ケン「おはよう」",
    "エリ「おはよう、ケン」",
    "ユウ「やあ」",
    "エリ「今日は長い話を",
    "聞いてほしいの」",
    "ケン「どうぞ」",
    "エリ「ありがとう」",
    "",
    "ユウ「じゃあね」",
    "エリ「またね」",
]
SCENE_B = [
    "（夜）",
    "エリ「ただいま」",
    "ケン「おかえり」",
    "エリ「疲れた」",
]


def main():
    lumeno, source, work = sys.argv[1], sys.argv[2], sys.argv[3]
    shutil.rmtree(work, ignore_errors=True)
    home = os.path.join(work, "home")
    scenario = os.path.join(work, "scn")
    os.makedirs(home)
    open(os.path.join(home, "キャラ定義.txt"), "wb").write("ERI,エリ\r\nYUU,ユウ\r\nKEN,ケン\r\n".encode("cp932"))
    write(os.path.join(scenario, "a.txt"), SCENE_A)
    write(os.path.join(scenario, "b.txt"), SCENE_B)
    subprocess.run([lumeno, "vocar", "config", "--home", home, "track_takes=1"], check=True, capture_output=True)
    run(lumeno, home, scenario)

    # The director's marks: ERI every status, YUU all OK, KEN one OK.
    book = os.path.join(home, "収録台帳.xlsx")
    wb = openpyxl.load_workbook(book)
    status = {}
    for ws in wb.worksheets[1:]:
        header = [c.value for c in ws[1]]
        if "状態" not in header:
            continue
        col = {h: i + 1 for i, h in enumerate(header)}
        for r in range(2, ws.max_row + 1):
            voice = ws.cell(r, col["ボイス名"]).value
            mark, note = {"ERI_A1_0001": ("OK", None), "ERI_A1_0002": ("OK", None), "ERI_A1_0003": ("NG", "もっと明るく"),
                          "ERI_A1_0004": ("保留", None), "ERI_A1_0005": ("OK", None),
                          "YUU_A1_0001": ("OK", None), "YUU_A1_0002": ("OK", None),
                          "KEN_A1_0001": ("OK", None)}.get(voice, (None, None))
            ws.cell(r, col["状態"], mark)
            ws.cell(r, col["備考"], note)
            status[voice] = mark
    wb.save(book)
    # Edits: ERI_A1_0001's line, the second line of ERI_A1_0002's speech.
    SCENE_A[2] = "エリ「おはよう、ケンくん」"
    SCENE_A[5] = "聞いてほしいんだ」"
    write(os.path.join(scenario, "a.txt"), SCENE_A)
    run(lumeno, home, scenario)

    folder = os.path.join(home, "声優用台本", "[追加収録]")
    files = sorted(os.listdir(folder))
    check(files == ["[ERI]エリ.xlsx", "[ERI]エリ.zd", "[KEN]ケン.xlsx", "[KEN]ケン.zd", "[全キャラ].xlsx"], f"files {files}")
    expected = {
        "ERI": [("ERI_A1_0001", "a.txt", "本文変更（収録時：「おはよう、ケン」）", "ケン", "「おはよう」"),
                ("ERI_A1_0002", "a.txt", "本文変更（収録時：「今日は長い話を／聞いてほしいの」）", "ユウ", "「やあ」"),
                ("ERI_A1_0003", "a.txt", "NG：もっと明るく", "ケン", "「どうぞ」"),
                ("ERI_A1_0004", "a.txt", "保留", "ユウ", "「じゃあね」"),
                ("ERI_A1_0006", "b.txt", "新規", "ケン", "「おかえり」")],
        "KEN": [("KEN_A1_0002", "a.txt", "新規", "エリ", "「今日は長い話を"),
                ("KEN_A1_0003", "b.txt", "新規", "エリ", "「ただいま」")],
    }
    names = {"ERI": "エリ", "KEN": "ケン"}
    for prefix, owed in expected.items():
        zd = os.path.join(folder, f"[{prefix}]{names[prefix]}.zd")
        got_prefix, got_name, frame, rows = wbc.read_script(zd)
        check((got_prefix, got_name) == (prefix, names[prefix]), f"{zd}: header {got_prefix} {got_name}")
        texts = [raw for raw, _ in rows if raw]
        voices = [(k, raw) for k, raw in enumerate(texts) if wbc.voice_row(raw)]
        check([raw.split("\t")[0] for _, raw in voices] == [o[0] for o in owed], f"{zd}: voices {voices}")
        headings = [raw for raw in texts if raw.startswith("\t \t■")]
        check(headings == ["\t \t■scn\\a.txt", "\t \t■scn\\b.txt"], f"{zd}: file rows {headings}")
        for (k, raw), (voice, file, reason, cue_speaker, cue_text) in zip(voices, owed):
            cue = texts[k - 1].split("\t")
            check(cue[0] == "" and cue[1] == cue_speaker and cue[2].startswith(cue_text), f"{voice}: cue {texts[k - 1]!r}")
        # The speech over two lines goes on after its voice row.
        if prefix == "ERI":
            k = voices[1][0]
            check(texts[k + 1] == "\t \t聞いてほしいんだ」", f"ERI_A1_0002: the speech's second line {texts[k + 1]!r}")
        # The workbook: row for row the ".zd", the cues grey, the reasons in 備考.
        xlsx = os.path.join(folder, f"[{prefix}]{names[prefix]}.xlsx")
        pwb = openpyxl.load_workbook(xlsx)
        check(pwb.sheetnames == ["目次", names[prefix]], f"{xlsx}: sheets {pwb.sheetnames}")
        ws = pwb[names[prefix]]
        reasons = {}
        for r, (raw, cells) in enumerate(rows, start=1):
            got = [wbc.cell_text(ws.cell(r, c).value) for c in (1, 2, 3)]
            check(got == [c or "" for c in cells], f"{xlsx} row {r}: {got} for {cells}")
            if raw.startswith("\t") and cells[1] not in ("", " "):
                color = ws.cell(r, 2).font.color
                check(color is not None and str(color.rgb).upper().endswith("808080"), f"{xlsx} row {r}: cue not grey")
            if cells[0]:
                reasons[cells[0]] = ws.cell(r, 5).value
        for voice, file, reason, *_ in owed:
            check(reasons.get(voice) == reason, f"{xlsx}: {voice} 備考 {reasons.get(voice)!r}, expected {reason!r}")
        header = ws.oddHeader.center.text or ""
        check(header.startswith("追加収録 "), f"{xlsx}: page header {header!r}")
    all_book = openpyxl.load_workbook(os.path.join(folder, "[全キャラ].xlsx"))
    check(all_book.sheetnames == ["目次", "エリ", "ケン"], f"[全キャラ].xlsx: sheets {all_book.sheetnames}")

    # Printed without any alias, only Noto CJK installed.
    out = os.path.join(work, "pages")
    os.makedirs(out, exist_ok=True)
    xlsx = os.path.join(folder, "[ERI]エリ.xlsx")
    pdfs = wbc.print_workbooks([(xlsx, "pickup-ERI-noto")], out, "noto")
    check(pdfs is not None, "the pick-up workbook did not print")
    if pdfs:
        rows = wbc.read_script(os.path.join(folder, "[ERI]エリ.zd"))[3]
        pages = wbc.page_of_row(len(rows) - 1)
        printed = wbc.pdf_words(pdfs[0])
        check(len(printed) == pages + 1, f"printed {len(printed)} pages, expected {pages} and the contents")
        subprocess.run(["pdftoppm", "-r", "60", "-png", pdfs[0], os.path.join(out, "pickup-ERI-noto")], check=True)
        for page in range(1, min(pages, len(printed) - 1) + 1):
            on_page = [row for k, row in enumerate(rows) if wbc.page_of_row(k) == page]
            height, words = printed[page]
            wbc.check_printed_page(f"pick-up page {page}", height, words, on_page, page, pages)
    # The audit's pick-ups, with a recording of every voice marked OK, are
    # what the run wrote: the ".zd" byte for byte, the workbooks part for part.
    recordings = os.path.join(work, "recordings")
    os.makedirs(recordings)
    for voice, mark in status.items():
        if mark == "OK":
            open(os.path.join(recordings, voice.lower() + ".ogg"), "wb").close()
    audit_dir = os.path.join(work, "audit-pickups")
    result = subprocess.run([lumeno, "vocar", "audit", "--home", home, "--voices", recordings, "--pickups", audit_dir, scenario],
                            capture_output=True, text=True)
    check(result.returncode == 1, f"audit exit status {result.returncode}: {result.stderr}")
    check(sorted(os.listdir(audit_dir)) == files, f"audit pick-ups {sorted(os.listdir(audit_dir))}")
    for name in files:
        if name.endswith(".zd"):
            check(open(os.path.join(audit_dir, name), "rb").read() == open(os.path.join(folder, name), "rb").read(),
                  f"audit pick-up {name} differs from the run's")
    check(wbc.same(folder, audit_dir) == 0, "the audit's pick-up workbooks differ from the run's")
    # Without the recordings of OK voices, the audit owes them too.
    shutil.rmtree(recordings)
    os.makedirs(recordings)
    shutil.rmtree(audit_dir)
    subprocess.run([lumeno, "vocar", "audit", "--home", home, "--voices", recordings, "--pickups", audit_dir, scenario],
                   capture_output=True, text=True)
    yuu = os.path.join(audit_dir, "[YUU]ユウ.zd")
    check(os.path.exists(yuu), "the audit's pick-ups lack ユウ's OK voices without recordings")
    if os.path.exists(yuu):
        wb_yuu = openpyxl.load_workbook(os.path.join(audit_dir, "[YUU]ユウ.xlsx"))["ユウ"]
        reasons = [wb_yuu.cell(r, 5).value for r in range(1, wb_yuu.max_row + 1) if wb_yuu.cell(r, 1).value]
        check(reasons == ["OK（録音なし）", "OK（録音なし）"], f"ユウ's reasons {reasons}")

    failures.extend(wbc.failures)
    if failures:
        print("\n".join(failures))
        sys.exit(1)
    print(f"pick-ups: {sum(len(o) for o in expected.values())} owed voices, printed {pages} page(s) and the contents")


if __name__ == "__main__":
    main()
