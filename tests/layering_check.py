#!/usr/bin/env python3
"""Checks the house rules of src/ that the compiler cannot see.

  layering_check.py SRC_FOLDER

- Every include points down: a file includes only from its own folder or from
  a folder of a lower layer (the order below; folders of one layer never
  include each other).
- Only the window side (ui/toolkit/, ui/windows/ and the app on top of them)
  includes wxWidgets or GTK; ui/layout/ is the windows' arithmetic without them.
- Every folder is one library: its CMakeLists.txt makes exactly one.
Prints each breach and exits 1 if there is one.
"""
import pathlib
import re
import sys

LAYERS = [
    ["platform"],
    ["util"],
    ["json", "cli"],
    ["job"],
    ["log", "language", "profile", "operation", "archive/entry", "manifest"],
    ["scan", "archive/zip", "archive/sevenzip"],
    ["run"],
    ["restore"],
    ["retention"],
    ["storage", "notify"],
    ["ui/layout"],
    ["ui/toolkit"],
    ["ui/windows"],
    ["app"],
]
WINDOW_SIDE = {"ui/toolkit", "ui/windows", "app"}
RANK = {folder: rank for rank, layer in enumerate(LAYERS) for folder in layer}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def folder_of(relative):
    parts = relative.split("/")[:-1]
    return "/".join(parts[:2]) if parts[:1] in (["archive"], ["ui"]) else "/".join(parts[:1])


def main():
    src = pathlib.Path(sys.argv[1])
    breaches = []
    for path in sorted(src.rglob("*")):
        relative = path.relative_to(src).as_posix()
        if path.name == "CMakeLists.txt" and path.parent != src:
            libraries = len(re.findall(r"\badd_library\s*\(", path.read_text()))
            if libraries != 1:
                breaches.append(f"{relative}: {libraries} libraries, not one")
        if path.suffix not in (".h", ".cpp"):
            continue
        own = folder_of(relative)
        if own not in RANK:
            breaches.append(f"{relative}: folder {own}/ has no place in the layers")
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            quote, target = match.groups()
            if quote == "<":
                if target.startswith(("wx/", "gtk/")) and own not in WINDOW_SIDE:
                    breaches.append(f"{relative}:{number}: engine code includes <{target}>")
                continue
            other = folder_of(target)
            if other == own:
                continue
            if other not in RANK or RANK[other] >= RANK[own]:
                breaches.append(f"{relative}:{number}: {own}/ includes {target}, not below it")
    for breach in breaches:
        print(breach)
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
