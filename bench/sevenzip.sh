#!/usr/bin/env bash
# A 7z job against 7z a -t7z on the same generated tree, warm cache, levels 1
# and 5; times and sizes.
#   bench/sevenzip.sh [FILES] [MIB] [RUNS]     (default 20000 files, 400 MiB, 3 runs)
files=${1:-20000}
mib=${2:-400}
runs=${3:-3}
source "$(dirname "$0")/prologue.sh"
out=$base/7z-out
mkdir -p "$out"
for level in 1 5; do
  cat > "$base/7z$level.kvnjob" <<JOB
{"Backup": {"Type": 2, "ArchiveFolder": "$out", "ArchiveName": "kelvane$level", "ArchiveCompLevel": $level,
 "SkipFilesWithoutExtension": false, "IncludeHiddenFiles": true,
 "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": ["$corpus"], "ExcludeFolders": []}}
JOB
  XDG_CONFIG_HOME=$base/config hyperfine --runs "$runs" \
    --prepare "rm -f $out/7z$level.7z $out/kelvane$level.7z" \
    --export-json "$base/7z$level.json" \
    -n "7z a -t7z -mx=$level" "7z a -t7z -mx=$level -bd $out/7z$level.7z $corpus > /dev/null" \
    -n "kelvane 7z job, level $level" "$bin/kelvane $base/7z$level.kvnjob -start -console"
  echo "== level $level"
  python3 bench/summarize.py "$base/7z$level.json" "7z a -t7z -mx=$level"
  7z a -t7z -mx=$level -bd "$out/7z$level.7z" "$corpus" > /dev/null
  peer=$(stat -c %s "$out/7z$level.7z")
  ours=$(stat -c %s "$out/kelvane$level.7z")
  echo "sizes: 7z a $peer bytes, kelvane $ours bytes, ratio $(python3 -c "print('%.4f' % ($ours / $peer))")"
  7z t "$out/kelvane$level.7z" | grep -E "Everything is Ok|Error"
done
