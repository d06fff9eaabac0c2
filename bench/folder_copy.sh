#!/usr/bin/env bash
# A folder job against cp -a on the same generated tree, warm cache, as root.
#   bench/folder_copy.sh [FILES] [MIB] [RUNS]     (default 20000 files, 200 MiB, 3 runs)
# Every timed run writes into a fresh output folder and nothing is deleted
# between timed runs: on a disk mounted with `discard`, a deletion makes the
# next creates wait for the journal, whichever tool runs next. Measured on a
# fresh loop-mounted ext4 made for the benchmark (no discard) and on the disk
# that holds the bench folder, the two tools alternating; medians and ratios.
files=${1:-20000}
mib=${2:-200}
runs=${3:-3}
source "$(dirname "$0")/prologue.sh"
work=$base/folder-copy-$$
mount_point=$work/fresh
# Room for every run of both tools, each file taking at least one 4 KiB
# block, with half again to spare, and an inode for each file.
fresh_ext4 "$work" $(( (mib + files * 4 / 1024) * 2 * runs * 3 / 2 + 1024 )) \
  $(( files * 2 * runs * 2 + 10000 ))
mkdir -p "$work/disk"

export XDG_CONFIG_HOME=$base/config
echo "| $files files, $mib MiB | output on | cp -a (median) | kelvane (median) | ratio |"
echo "|---|---|---:|---:|---:|"
for place in ${PLACES:-fresh disk}; do
  out=$work/$place
  [ "$place" = fresh ] && out=$mount_point
  cp_times=()
  kelvane_times=()
  for run in $(seq 1 "$runs"); do
    cat > "$work/job.kvnjob" <<JOB
{"Backup": {"Type": 0, "ArchiveFolder": "$out/kelvane-$run", "ArchiveName": "copy",
 "SkipFilesWithoutExtension": false, "IncludeHiddenFiles": true, "IncludeLinks": true,
 "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": ["$corpus"], "ExcludeFolders": []}}
JOB
    cp_times+=("$(seconds cp -a "$corpus" "$out/cp-$run")")
    kelvane_times+=("$(seconds "$bin/kelvane" "$work/job.kvnjob" -start -console)")
  done
  python3 - "$place" "${cp_times[*]}" "${kelvane_times[*]}" <<'PY'
import statistics, sys
place, cp, kelvane = sys.argv[1], [float(t) for t in sys.argv[2].split()], [float(t) for t in sys.argv[3].split()]
where = "a fresh loop-mounted ext4" if place == "fresh" else "the bench folder's disk"
c, k = statistics.median(cp), statistics.median(kelvane)
print(f"| | {where} | {c:.2f} s | {k:.2f} s | {k / c:.2f} |")
PY
  diff -r "$corpus" "$out/kelvane-1/copy$corpus" > /dev/null || echo "the copy in $out/kelvane-1 differs from the source"
done
