#!/usr/bin/env bash
# A ZIP job against zip -r and 7z a -tzip on the same generated tree (mixed
# text and random data), warm cache, levels 1, 6 and 9; times and sizes.
#   bench/zip.sh [FILES] [MIB] [RUNS]     (default 20000 files, 400 MiB, 3 runs)
files=${1:-20000}
mib=${2:-400}
runs=${3:-3}
source "$(dirname "$0")/prologue.sh"
out=$base/zip-out
mkdir -p "$out"

for level in 1 6 9; do
  cat > "$base/zip$level.kvnjob" <<JOB
{"Backup": {"Type": 1, "ArchiveFolder": "$out", "ArchiveName": "kelvane$level", "ArchiveCompLevel": $level,
 "SkipFilesWithoutExtension": false, "IncludeHiddenFiles": true,
 "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": ["$corpus"], "ExcludeFolders": []}}
JOB
  XDG_CONFIG_HOME=$base/config hyperfine --runs "$runs" \
    --prepare "rm -f $out/zip$level.zip $out/7z$level.zip $out/kelvane$level.zip" \
    --export-json "$base/zip$level.json" \
    -n "zip -r -$level" "cd $corpus/.. && zip -r -q -$level $out/zip$level.zip $(basename "$corpus")" \
    -n "7z a -tzip -mx=$level" "7z a -tzip -mx=$level -bd $out/7z$level.zip $corpus > /dev/null" \
    -n "kelvane ZIP job, level $level" "$bin/kelvane $base/zip$level.kvnjob -start -console"
  echo "== level $level"
  python3 bench/summarize.py "$base/zip$level.json" "zip -r -$level"
  # Once more outside the timing, to compare the archives' sizes.
  (cd "$corpus/.." && zip -r -q -$level "$out/zip$level.zip" "$(basename "$corpus")")
  7z a -tzip -mx=$level -bd "$out/7z$level.zip" "$corpus" > /dev/null
  echo "| archive | bytes | ratio to zip -r |"
  echo "|---|---:|---:|"
  zipsize=$(stat -c %s "$out/zip$level.zip")
  for f in zip 7z kelvane; do
    size=$(stat -c %s "$out/$f$level.zip")
    echo "| $f$level.zip | $size | $(python3 -c "print('%.4f' % ($size / $zipsize))") |"
  done
  unzip -tq "$out/kelvane$level.zip"
done
