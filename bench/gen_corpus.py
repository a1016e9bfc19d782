#!/usr/bin/env python3
"""Generates a large synthetic scenario tree in Shift_JIS for the benchmarks.

    bench/gen_corpus.py OUT [--files N] [--kb K] [--characters C] [--seed S]

OUT/scenario/  N files in nested folders (about K KB each): dialogue of C
               characters (a cast of two to six a scene), narration,
               comments (// and /* */) and commands
OUT/home/      a tool folder with キャラ定義.txt (C characters) and 除外リスト.txt
"""
import argparse
import os
import random

KANA = "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをん"
KANJI = "春夏秋冬朝昼夜空海山川風雨雪花桜月星光影声心夢道街駅校門教室図書館屋上廊下窓扉"
PUNCT = ["、", "。", "……", "！", "？", "――"]
MARKS = [("「", "」"), ("『", "』"), ("（", "）")]
COMMANDS = ["\\bg({})", "\\bgm[{}]", "\\se({})", "\\wait({})", "\\fade(in, {})", "\\[chara {} show]", "\\shake"]


def phrase(rng, n):
    out = []
    for _ in range(n):
        out.append(rng.choice(KANA) if rng.random() < 0.7 else rng.choice(KANJI))
        if rng.random() < 0.12:
            out.append(rng.choice(PUNCT))
    return "".join(out)


def character_names(count, rng):
    names = []
    seen = set()
    while len(names) < count:
        name = "".join(rng.choice("アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン") for _ in range(rng.randint(2, 4)))
        if name not in seen:
            seen.add(name)
            names.append(name)
    return names


def line(rng, names):
    r = rng.random()
    if r < 0.55:
        who = rng.choice(names)
        o, c = rng.choice(MARKS) if rng.random() < 0.3 else MARKS[0]
        return f"{who}{o}{phrase(rng, rng.randint(4, 30))}{c}"
    if r < 0.75:
        return "　" + phrase(rng, rng.randint(10, 50)) if rng.random() < 0.5 else phrase(rng, rng.randint(10, 50))
    if r < 0.83:
        return "// " + phrase(rng, rng.randint(3, 15))
    if r < 0.86:
        return "/* " + phrase(rng, 8) + "\r\n" + phrase(rng, 8) + " */"
    if r < 0.96:
        cmd = rng.choice(COMMANDS)
        return cmd.format(rng.choice(["school", "100", "door", "rain", "500"])) if "{}" in cmd else cmd
    return ""


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--files", type=int, default=3000)
    ap.add_argument("--kb", type=int, default=12)
    ap.add_argument("--characters", type=int, default=40)
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    rng = random.Random(args.seed)
    names = character_names(args.characters, rng)

    home = os.path.join(args.out, "home")
    os.makedirs(home, exist_ok=True)
    with open(os.path.join(home, "キャラ定義.txt"), "wb") as f:
        f.write("// 接頭辞,名前,別名\r\n".encode("cp932"))
        for i, name in enumerate(names):
            prefix = f"C{i:02d}" if i % 10 != 9 else ""
            f.write(f"{prefix},{name}\r\n".encode("cp932"))
    with open(os.path.join(home, "除外リスト.txt"), "wb") as f:
        f.write(f"{names[-1]}\r\n".encode("cp932"))

    scenario = os.path.join(args.out, "scenario")
    total = 0
    for i in range(args.files):
        part = i // 500
        chapter = (i // 50) % 10
        folder = os.path.join(scenario, f"第{part + 1}部", f"chapter{chapter:02d}")
        os.makedirs(folder, exist_ok=True)
        # A scene has a cast of a few of the characters.
        cast = rng.sample(names, min(len(names), rng.randint(2, 6)))
        target = args.kb * 1024
        lines = []
        size = 0
        while size < target:
            text = line(rng, cast)
            lines.append(text)
            size += len(text) * 2 + 2
        eol = "\r\n" if rng.random() < 0.8 else rng.choice(["\n", "\r"])
        data = eol.join(lines).encode("cp932") + eol.encode()
        with open(os.path.join(folder, f"scene{i:05d}.txt"), "wb") as f:
            f.write(data)
        total += len(data)
    print(f"{args.files} files, {total / 1e6:.1f} MB in {scenario}")


if __name__ == "__main__":
    main()
