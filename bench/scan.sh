#!/usr/bin/env bash
# Scan speed against find(1) on a generated tree of small files, warm cache.
# find -type f reads only the folder listings; a backup must also stat every
# file (size, times), which find -printf does too.
#   bench/scan.sh [FILES]     (default 120000; 1000000 shows the memory at scale)
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-120000}
corpus=${BENCH_DIR:-/tmp/kelvane-bench}/scan-$files
bin=build/bin

bash scripts/setup
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target scan_bench >/dev/null
if [ ! -d "$corpus" ]; then
  echo "generating $files files in $corpus" >&2
  python3 bench/make_corpus.py "$corpus" --files "$files"
fi
# Several include folders: every top-level subtree, as a job over several sources.
parts=$(find "$corpus" -mindepth 1 -maxdepth 1 -type d | sort | tr '\n' ' ')

/usr/bin/time -f "peak RSS of the scan: %M KiB" "$bin/scan_bench" "$corpus"
hyperfine --warmup 2 --runs 10 --export-json /tmp/kelvane-scan-bench.json \
  -n "find -type f" "find $corpus -type f > /dev/null" \
  -n "find -type f -printf size,mtime" "find $corpus -type f -printf '%s %T@\\n' > /dev/null" \
  -n "kelvane scan, 1 folder" "$bin/scan_bench $corpus" \
  -n "find -type f, subtrees" "find $parts -type f > /dev/null" \
  -n "kelvane scan, subtrees as include folders" "$bin/scan_bench $parts"
python3 bench/summarize.py /tmp/kelvane-scan-bench.json "find -type f"
