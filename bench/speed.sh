#!/usr/bin/env bash
# Every speed ratio in one run on one tree: Kelvane's ZIP (levels 1, 6, 9, and
# 6 with a password), 7z and folder jobs and its scan, each against the tool a
# user would otherwise use (zip -r, zip -r -P, 7z a -tzip, 7z a -t7z, cp -a,
# find), with medians, archive sizes and peak memory; then one large file to
# show that a single file uses every core.
#   bench/speed.sh [FILES] [MIB] [RUNS] [RUNS_7Z] [BIG_MIB]
#   (default 20000 files, 600 MiB, 40 % of the files random; 3 runs, 7z -t7z 1
#   run; a 2048 MiB file; BIG_MIB 0 leaves the large file out)
files=${1:-20000}
mib=${2:-600}
runs=${3:-3}
runs7z=${4:-1}
big_mib=${5:-2048}
random_share=0.4
source "$(dirname "$0")/prologue.sh"
cmake --build build -j2 --target scan_bench encode_password >/dev/null
out=$base/speed-out
rm -rf "$out"
mkdir -p "$out/rss"
parent=$(dirname "$corpus")
tree=$(basename "$corpus")
export XDG_CONFIG_HOME=$base/config

# job NAME TYPE LEVEL [PASSWORD]: a job over the tree into $out.
job() {
  local password=""
  [ -n "${4:-}" ] && password=$("$bin/encode_password" "$4")
  cat > "$out/$1.kvnjob" <<JOB
{"Backup": {"Type": $2, "ArchiveFolder": "$out", "ArchiveName": "$1", "ArchiveCompLevel": $3,
 "ArchivePassword": "$password", "SkipFilesWithoutExtension": false, "IncludeHiddenFiles": true,
 "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": ["$corpus"], "ExcludeFolders": []}}
JOB
}

# timed NAME COMMAND: the command as hyperfine runs it, its peak memory
# recorded in $out/rss/NAME.
timed() { echo "/usr/bin/time -a -o $out/rss/$1 -f %M bash -c $(printf %q "$2")"; }
peak() { sort -n "$out/rss/$1" | tail -n 1; }
size() { stat -c %s "$1"; }

rows=()
# compare TITLE RUNS OURS-NAME OURS-CMD OURS-OUTPUT PEER-NAME PEER-CMD PEER-OUTPUT: each
# output (an archive or folder, removed before each run) is compared in size
# when it is a file.
compare() {
  local title=$1 n=$2 ours=$3 ourscmd=$4 oursfile=$5 peer=$6 peercmd=$7 peerfile=$8
  hyperfine -S bash --runs "$n" --export-json "$out/$ours.json" \
    --prepare "rm -rf ${oursfile:-/nonexistent}" --prepare "rm -rf ${peerfile:-/nonexistent}" \
    -n "$ours" "$(timed "$ours" "$ourscmd")" -n "$peer" "$(timed "$peer" "$peercmd")" >&2
  local times
  times=$(python3 - "$out/$ours.json" <<'PY'
import json, statistics, sys
r = json.load(open(sys.argv[1]))["results"]
print(" ".join("%.3f" % statistics.median(x["times"]) for x in r))
PY
)
  read -r mine theirs <<< "$times"
  local sizes="-"
  if [ -f "$oursfile" ]; then
    sizes=$(python3 -c "print('%d / %d = %.4f' % ($(size "$oursfile"), $(size "$peerfile"), $(size "$oursfile") / $(size "$peerfile")))")
  fi
  rows+=("| $title | $mine s | $theirs s | $(python3 -c "print('%.2f' % ($mine / $theirs))") | $sizes | $(peak "$ours") / $(peak "$peer") |")
}

for level in 1 6 9; do
  job "zip$level" 1 "$level"
  compare "ZIP level $level vs zip -r -$level" "$runs" "kelvane-zip$level" "$bin/kelvane $out/zip$level.kvnjob -start -console" "$out/zip$level.zip" \
    "zip-r-$level" "cd $parent && zip -r -q -$level $out/peer$level.zip $tree" "$out/peer$level.zip"
done
job "zipPw6" 1 6 geheim
compare "ZIP level 6 with a password vs zip -r -6 -P" "$runs" "kelvane-zip-pw6" "$bin/kelvane $out/zipPw6.kvnjob -start -console" "$out/zipPw6.zip" \
  "zip-r-P-6" "cd $parent && zip -r -q -6 -P geheim $out/peerPw6.zip $tree" "$out/peerPw6.zip"
compare "ZIP level 1 vs 7z a -tzip -mx=1" "$runs" "kelvane-zip1-again" "$bin/kelvane $out/zip1.kvnjob -start -console" "$out/zip1.zip" \
  "7z-tzip-1" "7z a -tzip -mx=1 -bd $out/7z-tzip1.zip $corpus > /dev/null" "$out/7z-tzip1.zip"
job "sz5" 2 5
compare "7z level 5 vs 7z a -t7z -mx=5" "$runs7z" "kelvane-7z5" "$bin/kelvane $out/sz5.kvnjob -start -console" "$out/sz5.7z" \
  "7z-t7z-5" "7z a -t7z -mx=5 -bd $out/peer5.7z $corpus > /dev/null" "$out/peer5.7z"
job "copy" 0 0
compare "folder job vs cp -a" "$runs" "kelvane-copy" "$bin/kelvane $out/copy.kvnjob -start -console" "$out/copy" \
  "cp-a" "cp -a $corpus $out/cp" "$out/cp"
compare "scan vs find -printf '%s %T@'" "$((runs * 3))" \
  "kelvane-scan" "$bin/scan_bench $corpus" "" \
  "find-printf" "find $corpus -type f -printf '%s %T@\\n' > /dev/null" ""

echo
echo "Tree: $corpus ($files files, $mib MiB, ${random_share} of the files random); $(nproc) cores."
echo
echo "| comparison | Kelvane (median) | peer (median) | ratio | bytes: Kelvane / peer | peak RSS KiB: Kelvane / peer |"
echo "|---|---:|---:|---:|---:|---:|"
printf '%s\n' "${rows[@]}"
echo
for archive in "$out"/zip*.zip; do
  unzip -tq -P geheim "$archive" > /dev/null && 7z t -pgeheim "$archive" > /dev/null \
    && echo "$(basename "$archive"): unzip -t and 7z t pass" || echo "$(basename "$archive"): FAILS"
done
7z t "$out/sz5.7z" > /dev/null && echo "sz5.7z: 7z t passes" || echo "sz5.7z: FAILS"
diff -r "$corpus" "$out/copy$corpus" > /dev/null && echo "folder copy identical to the source" \
  || echo "folder copy DIFFERS"

if [ "$big_mib" -gt 0 ]; then
  # One large file of text that deflate shrinks by about a quarter.
  big=$base/big-$big_mib
  if [ ! -f "$big/big.txt" ]; then
    mkdir -p "$big"
    head -c "$((big_mib * 1048576 * 3 / 4))" /dev/urandom | base64 -w 100 > "$big/big.txt"
  fi
  cat "$big/big.txt" > /dev/null
  cat > "$out/big.kvnjob" <<JOB
{"Backup": {"Type": 1, "ArchiveFolder": "$out", "ArchiveName": "big", "ArchiveCompLevel": 6,
 "SkipFilesWithoutExtension": false, "WhiteList": ["*.*"], "BlackList": [],
 "IncludeFolders": ["$big"], "ExcludeFolders": []}}
JOB
  rm -f "$out/big.zip"
  /usr/bin/time -o "$out/big.time" -f "%e %U %S %M" "$bin/kelvane" "$out/big.kvnjob" -start -console > /dev/null
  read -r wall user sys rss < "$out/big.time"
  echo
  echo "One file of $(size "$big/big.txt") bytes, level 6: $wall s, CPU time / wall time" \
    "$(python3 -c "print('%.2f' % (($user + $sys) / $wall))"), peak RSS $rss KiB"
  unzip -tq "$out/big.zip" > /dev/null && echo "big.zip: unzip -t passes"
fi
