#!/usr/bin/env python3
"""Generates a reproducible source tree for benchmarks.

  make_corpus.py DIR --files N [--mib M] [--branches B]

Files are spread over nested folders (B subfolders per level, about 50 files a
folder). With --mib the files share M MiB in total, compressible text and random
bytes (--random is the share of files that are random, 0.5 unless given),
so archive benchmarks see realistic data; without it they
are a few bytes each (a scan benchmark measures the walk, not the data).
"""
import argparse
import os
import random


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dir")
    parser.add_argument("--files", type=int, required=True)
    parser.add_argument("--mib", type=float, default=0)
    parser.add_argument("--branches", type=int, default=6)
    parser.add_argument("--seed", type=int, default=42)
    parser.add_argument("--random", type=float, default=0.5)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
             for _ in range(2000)]
    per_file = int(args.mib * 1048576 / args.files) if args.mib else 0
    folders = [""]
    made = 0
    index = 0
    while made < args.files:
        folder = folders[index % len(folders)]
        index += 1
        if len(folders) < args.files // 50 + 1:
            for b in range(args.branches):
                folders.append(os.path.join(folder, "dir%02d" % b) if folder else "dir%02d" % b)
        path = os.path.join(args.dir, folder)
        os.makedirs(path, exist_ok=True)
        for _ in range(min(50, args.files - made)):
            ext = rng.choice([".txt", ".log", ".dat", ".c", ".md", ".bin"])
            name = os.path.join(path, "file%06d%s" % (made, ext))
            with open(name, "wb") as out:
                if per_file == 0:
                    out.write(b"%d\n" % made)
                else:
                    size = rng.randint(per_file // 2, per_file * 3 // 2)
                    if rng.random() >= args.random:
                        text = bytearray()
                        while len(text) < size:
                            text += rng.choice(words) + (b"\n" if rng.random() < 0.1 else b" ")
                        out.write(bytes(text[:size]))
                    else:
                        out.write(os.urandom(size))
            made += 1


if __name__ == "__main__":
    main()
