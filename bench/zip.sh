#!/usr/bin/env bash
# A ZIP job against zip -r and 7z a -tzip on the same generated tree (mixed
# text and random data), warm cache, levels 1, 6 and 9, as root: every timed
# run writes into a fresh folder on a fresh loop-mounted ext4, the three tools
# alternating; medians, ratios to zip -r, sizes, and our archive read by
# unzip -t, 7z t, Python's zipfile and bsdtar.
#   bench/zip.sh [FILES] [MIB] [RUNS]     (default 20000 files, 600 MiB, 3 runs)
# LEVELS picks some of "1 6 9".
files=${1:-20000}
mib=${2:-600}
runs=${3:-3}
source "$(dirname "$0")/prologue.sh"
work=$base/zip-$$
# Three archives of at most the tree's size for each run of each level.
fresh_ext4 "$work" $(( (mib + files / 256) * 3 * 3 * runs * 5 / 4 + 1024 )) 100000
export XDG_CONFIG_HOME=$base/config
parent=$(dirname "$corpus")
tree=$(basename "$corpus")

for level in ${LEVELS:-1 6 9}; do
  times=$work/times-$level
  for run in $(seq 1 "$runs"); do
    out=$work/fresh/$level-$run
    mkdir -p "$out"
    cat > "$work/job.kvnjob" <<JOB
{"Backup": {"Type": 1, "ArchiveFolder": "$out", "ArchiveName": "kelvane", "ArchiveCompLevel": $level,
 "SkipFilesWithoutExtension": false, "IncludeHiddenFiles": true,
 "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": ["$corpus"], "ExcludeFolders": []}}
JOB
    echo "zip $(seconds bash -c "cd '$parent' && zip -r -q -$level '$out/zip.zip' '$tree'")" >> "$times"
    echo "7z $(seconds 7z a -tzip "-mx=$level" -bd "$out/7z.zip" "$corpus")" >> "$times"
    echo "kelvane $(seconds "$bin/kelvane" "$work/job.kvnjob" -start -console)" >> "$times"
  done
  out=$work/fresh/$level-1
  python3 - "$level" "$times" "$out" <<'PY'
import os, statistics, sys
level, times, out = sys.argv[1], sys.argv[2], sys.argv[3]
runs = {}
for line in open(times):
    tool, seconds = line.split()
    runs.setdefault(tool, []).append(float(seconds))
names = {"zip": f"zip -r -{level}", "7z": f"7z a -tzip -mx={level}", "kelvane": f"kelvane ZIP job, level {level}"}
base = statistics.median(runs["zip"])
size = os.path.getsize(os.path.join(out, "zip.zip"))
print(f"| level {level} | median | time / zip -r | bytes | size / zip -r |")
print("|---|---:|---:|---:|---:|")
for tool in ("zip", "7z", "kelvane"):
    median = statistics.median(runs[tool])
    bytes_ = os.path.getsize(os.path.join(out, tool + ".zip"))
    print(f"| {names[tool]} | {median:.2f} s | {median / base:.2f} | {bytes_} | {bytes_ / size:.4f} |")
PY
  archive=$out/kelvane.zip
  unzip -tq "$archive" > /dev/null && 7z t "$archive" > /dev/null &&
    python3 -c "import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)" \
      "$archive" && bsdtar -xOf "$archive" > /dev/null &&
    echo "kelvane.zip: unzip -t, 7z t, Python's zipfile and bsdtar read every entry" ||
    echo "kelvane.zip: a reader refused it"
  echo
done
