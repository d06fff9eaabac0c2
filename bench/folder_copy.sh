#!/usr/bin/env bash
# A folder job against cp -a and rsync -a on the same generated tree, warm cache.
#   bench/folder_copy.sh [FILES] [MIB]     (default 20000 files, 400 MiB)
files=${1:-20000}
mib=${2:-400}
source "$(dirname "$0")/prologue.sh"
out=$base/copy-out
mkdir -p "$out"
cat > "$base/copy.kvnjob" <<JOB
{"Backup": {"Type": 0, "ArchiveFolder": "$out", "ArchiveName": "kelvane",
 "SkipFilesWithoutExtension": false, "IncludeHiddenFiles": true,
 "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": ["$corpus"], "ExcludeFolders": []}}
JOB

XDG_CONFIG_HOME=$base/config hyperfine --warmup 1 --runs 5 \
  --prepare "rm -rf $out/kelvane $out/cp $out/rsync" \
  --export-json "$base/copy.json" \
  -n "cp -a" "cp -a $corpus $out/cp" \
  -n "rsync -a" "rsync -a $corpus/ $out/rsync/" \
  -n "kelvane folder job" "$bin/kelvane $base/copy.kvnjob -start -console"
python3 bench/summarize.py "$base/copy.json" "cp -a"
diff -r "$corpus" "$out/kelvane$corpus" >/dev/null && echo "kelvane copy identical to the source"
