#!/usr/bin/env python3
"""Fails on a result of the engine's [[nodiscard]] calls that src/ drops.

  unused_result_check.py BUILD_FOLDER

GCC does not warn about an ignored result of a virtual call (the file system's
seam is one), clang does: every file of src/ in the build's
compile_commands.json is checked with clang, syntax only. Without clang there
is nothing to check with, and the check passes saying so.
"""
import concurrent.futures
import json
import pathlib
import shlex
import shutil
import subprocess
import sys


def check(entry, clang):
    args = shlex.split(entry["command"])
    command = [clang]
    skip = False
    for arg in args[1:]:
        if skip:
            skip = False
        elif arg == "-o":
            skip = True
        elif arg not in ("-c", "-Werror") and not arg.startswith("-fanalyzer"):
            command.append(arg)
    command += ["-fsyntax-only", "-Wno-everything", "-Werror=unused-result"]
    result = subprocess.run(command, cwd=entry["directory"], capture_output=True, text=True)
    return [line for line in result.stderr.splitlines() if "unused-result" in line]


def main():
    clang = shutil.which("clang++-14") or shutil.which("clang++")
    if not clang:
        print("no clang: nothing checked")
        return 0
    build = pathlib.Path(sys.argv[1])
    source = str(pathlib.Path(__file__).resolve().parent.parent / "src") + "/"
    entries = [e for e in json.loads((build / "compile_commands.json").read_text())
               if e["file"].startswith(source)]
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        found = [line for lines in pool.map(lambda e: check(e, clang), entries) for line in lines]
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
