#!/usr/bin/env bash
# A run over 1,000,000 small files (generated), folder and ZIP targets, with
# each run's time and peak memory, against cp -a and zip -r on the same tree.
#   bench/million.sh [FILES]     (default 1000000)
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-1000000}
base=${BENCH_DIR:-/tmp/kelvane-bench}
corpus=$base/scan-$files
out=$base/million-out
bin=build/bin

bash scripts/setup
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target kelvane >/dev/null
if [ ! -d "$corpus" ]; then
  echo "generating $files files in $corpus" >&2
  python3 bench/make_corpus.py "$corpus" --files "$files"
fi
rm -rf "$out"
mkdir -p "$out"
export XDG_CONFIG_HOME=$base/config
for type in 0 1; do
  cat > "$out/job$type.kvnjob" <<JOB
{"Backup": {"Type": $type, "ArchiveFolder": "$out", "ArchiveName": "million$type", "ArchiveCompLevel": 6,
 "SkipFilesWithoutExtension": false, "IncludeHiddenFiles": true,
 "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": ["$corpus"], "ExcludeFolders": []}}
JOB
done
find "$corpus" -type f > /dev/null  # warm the cache of the listings

measure() {  # LABEL COMMAND...
  local label=$1
  shift
  /usr/bin/time -o "$out/time.txt" -f "%e %M" "$@" > /dev/null 2>&1 || true
  read -r wall rss < "$out/time.txt"
  echo "| $label | $wall s | $rss KiB |"
}
echo "| run over $files files | wall time | peak RSS |"
echo "|---|---:|---:|"
measure "kelvane folder job" "$bin/kelvane" "$out/job0.kvnjob" -start -console
measure "cp -a" cp -a "$corpus" "$out/cp"
measure "kelvane ZIP job, level 6" "$bin/kelvane" "$out/job1.kvnjob" -start -console
measure "zip -r -6" bash -c "cd $(dirname "$corpus") && zip -r -q -6 $out/zip.zip $(basename "$corpus")"
echo
echo "files in the folder copy: $(find "$out/million0" -type f | wc -l)"
echo "entries in the ZIP archive: $(unzip -Z1 "$out/million1.zip" | wc -l)"
unzip -tq "$out/million1.zip" > /dev/null && echo "million1.zip: unzip -t passes"
