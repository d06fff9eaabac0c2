#!/usr/bin/env bash
# A million small files (generated): a folder job, a ZIP job at level 6 and a
# 7z job at level 1 against cp -a, zip -r -6 and 7z a -mx=1 on the same tree,
# as root. Every timed run writes into a fresh folder on a fresh loop-mounted
# ext4 made for the benchmark (no discard), the tools alternating, nothing
# deleted in between; medians of RUNS runs, their ratio, and each side's peak
# memory (the largest of its runs). zip and 7z store the same names as the
# job does. The outputs are then checked with diff -r, unzip -t and 7z t.
#   bench/million.sh [FILES] [RUNS]     (default 1000000 files, 3 runs)
# TARGETS picks some of "folder ZIP 7z".
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-1000000}
runs=${2:-3}
targets=${TARGETS:-folder ZIP 7z}
base=${BENCH_DIR:-/tmp/kelvane-bench}
corpus=$base/scan-$files
bin=$(pwd)/build/bin
[ "$(id -u)" = 0 ] || { echo "bench/million.sh mounts a file system: run it as root" >&2; exit 1; }

bash scripts/setup
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target kelvane >/dev/null
if [ ! -d "$corpus" ]; then
  echo "generating $files files in $corpus" >&2
  python3 bench/make_corpus.py "$corpus" --files "$files"
fi

work=$base/million-$$
fresh=$work/fresh
mkdir -p "$fresh"
# Three folder copies a run (a block and an inode a file, the folders too),
# the archives, and half again to spare.
copies=0
case " $targets " in *" folder "*) copies=$((3 * runs)) ;; esac
truncate -s $(( (files * 4 / 1024 * copies + files / 1024 * 4 * runs + 2048) * 3 / 2 ))M \
  "$work/fresh.img"
mkfs.ext4 -q -F -E nodiscard -N $(( (files + files / 40) * copies * 3 / 2 + 100000 )) \
  "$work/fresh.img"
mount -o loop "$work/fresh.img" "$fresh"
trap 'umount "$fresh"; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
find "$corpus" > /dev/null  # warm the cache of the listings

# job NAME TYPE LEVEL OUT: a job over the tree into OUT.
job() {
  cat > "$work/$1.kvnjob" <<JOB
{"Backup": {"Type": $2, "ArchiveFolder": "$4", "ArchiveName": "$1", "ArchiveCompLevel": $3,
 "SkipFilesWithoutExtension": false, "IncludeHiddenFiles": true, "IncludeLinks": true,
 "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": ["$corpus"], "ExcludeFolders": []}}
JOB
}
# timed FILE COMMAND...: appends "seconds peak-KiB" of one run to FILE.
timed() {
  local file=$1
  shift
  /usr/bin/time -a -o "$file" -f "%e %M" "$@" > /dev/null 2>&1 ||
    echo "failed: $*" >&2
}

echo "| $files files | the other tool (median, peak) | kelvane (median, peak) | ratio |"
echo "|---|---:|---:|---:|"
# zip and 7z run from / on the tree's path without its leading "/": their
# entries then have the very names a job's entries have (a job keeps the
# whole path), and packing the same names is the same work.
tree=${corpus#/}
for target in $targets; do
  for run in $(seq 1 "$runs"); do
    out=$fresh/$target-$run
    mkdir -p "$out"
    case $target in
      folder)
        timed "$work/other-$target" cp -a "$corpus" "$out/cp"
        # The job writes its copy out before the copy takes its name: it is
        # also set against cp -a and a sync, after an untimed sync of what
        # the runs before left in memory.
        sync -f "$fresh"
        timed "$work/synced-$target" bash -c "cp -a '$corpus' '$out/synced' && sync -f '$out'"
        job folder 0 0 "$out" ;;
      ZIP)
        timed "$work/other-$target" bash -c "cd / && zip -r -q -6 '$out/zip.zip' '$tree'"
        # The job syncs its archive before it takes its name: as for the folder.
        sync -f "$fresh"
        timed "$work/synced-$target" bash -c "cd / && zip -r -q -6 '$out/synced.zip' '$tree' && sync -f '$out'"
        job ZIP 1 6 "$out" ;;
      7z)
        timed "$work/other-$target" bash -c "cd / && 7z a -mx=1 -bd '$out/7z.7z' '$tree'"
        job 7z 2 1 "$out" ;;
    esac
    timed "$work/kelvane-$target" "$bin/kelvane" "$work/$target.kvnjob" -start -console
  done
  python3 - "$target" "$work/other-$target" "$work/kelvane-$target" "$work/synced-$target" <<'PY'
import os, statistics, sys
target, other, kelvane, synced = sys.argv[1:5]
tool = {"folder": "cp -a", "ZIP": "zip -r -6", "7z": "7z a -mx=1"}[target]
def read(path):
    rows = [line.split() for line in open(path) if line[:1].isdigit()]
    return [float(r[0]) for r in rows], max(int(r[1]) for r in rows) / 1024
# Each run's time follows the median: on a VM one slow run is common.
def runs(times):
    return " (" + ", ".join(f"{t:.1f}" for t in times) + ")"
(ks, km) = read(kelvane)
k = statistics.median(ks)
for name, path in ((tool, other), (tool + " + sync", synced)):
    if os.path.exists(path):
        os_, om = read(path)
        o = statistics.median(os_)
        print(f"| {target} vs {name} | {o:.1f} s{runs(os_)}, {om:.0f} MiB"
              f" | {k:.1f} s{runs(ks)}, {km:.0f} MiB | {k / o:.2f} |")
PY
done

echo
for target in $targets; do
  out=$fresh/$target-1
  case $target in
    folder) diff -r "$corpus" "$out/folder$corpus" > /dev/null &&
      echo "folder copy: diff -r finds no difference" ;;
    ZIP) unzip -tq "$out/ZIP.zip" > /dev/null && echo "ZIP.zip: unzip -t passes" ;;
    7z) 7z t "$out/7z.7z" > /dev/null && echo "7z.7z: 7z t passes" ;;
  esac
done
