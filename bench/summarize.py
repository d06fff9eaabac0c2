#!/usr/bin/env python3
"""Prints the medians of a hyperfine JSON export and their ratio to a baseline.

  summarize.py RESULTS.json BASELINE-NAME
"""
import json
import statistics
import sys


def main():
    results = json.load(open(sys.argv[1]))["results"]
    baseline = next(r for r in results if r["command"] == sys.argv[2])
    base = statistics.median(baseline["times"])
    print("| command | median | ratio to %s |" % sys.argv[2])
    print("|---|---:|---:|")
    for r in results:
        median = statistics.median(r["times"])
        print("| %s | %.1f ms | %.2f |" % (r["command"], median * 1000, median / base))


if __name__ == "__main__":
    main()
