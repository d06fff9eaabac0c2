#!/usr/bin/env bash
# A folder job against cp -a on the same generated tree, warm cache, as root.
#   bench/folder_copy.sh [FILES] [MIB] [RUNS]     (default 20000 files, 200 MiB, 3 runs)
# Every timed run writes into a fresh output folder and nothing is deleted
# between timed runs: on a disk mounted with `discard`, a deletion makes the
# next creates wait for the journal, whichever tool runs next. Measured on a
# fresh loop-mounted ext4 made for the benchmark (no discard) and on the disk
# that holds the bench folder, the tools alternating; medians and ratios.
# The job writes its copy out to the disk before the copy takes its name, so
# it is also set against cp -a followed by sync -f of the copy's file system,
# timed after an untimed sync of what the runs before left in memory.
files=${1:-20000}
mib=${2:-200}
runs=${3:-3}
source "$(dirname "$0")/prologue.sh"
work=$base/folder-copy-$$
mount_point=$work/fresh
# Room for every run of the three, each file taking at least one 4 KiB
# block, with half again to spare, and an inode for each file.
fresh_ext4 "$work" $(( (mib + files * 4 / 1024) * 3 * runs * 3 / 2 + 1024 )) \
  $(( files * 3 * runs * 2 + 10000 ))
mkdir -p "$work/disk"

export XDG_CONFIG_HOME=$base/config
echo "| $files files, $mib MiB | output on | cp -a (median) | cp -a + sync (median) | kelvane (median) | ratio to cp -a | to cp -a + sync |"
echo "|---|---|---:|---:|---:|---:|---:|"
for place in ${PLACES:-fresh disk}; do
  out=$work/$place
  [ "$place" = fresh ] && out=$mount_point
  cp_times=()
  synced_times=()
  kelvane_times=()
  for run in $(seq 1 "$runs"); do
    cat > "$work/job.kvnjob" <<JOB
{"Backup": {"Type": 0, "ArchiveFolder": "$out/kelvane-$run", "ArchiveName": "copy",
 "SkipFilesWithoutExtension": false, "IncludeHiddenFiles": true, "IncludeLinks": true,
 "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": ["$corpus"], "ExcludeFolders": []}}
JOB
    cp_times+=("$(seconds cp -a "$corpus" "$out/cp-$run")")
    sync -f "$out"
    synced_times+=("$(seconds bash -c "cp -a '$corpus' '$out/synced-$run' && sync -f '$out'")")
    kelvane_times+=("$(seconds "$bin/kelvane" "$work/job.kvnjob" -start -console)")
  done
  python3 - "$place" "${cp_times[*]}" "${synced_times[*]}" "${kelvane_times[*]}" <<'PY'
import statistics, sys
place = sys.argv[1]
c, s, k = (statistics.median(float(t) for t in arg.split()) for arg in sys.argv[2:5])
where = "a fresh loop-mounted ext4" if place == "fresh" else "the bench folder's disk"
print(f"| | {where} | {c:.2f} s | {s:.2f} s | {k:.2f} s | {k / c:.2f} | {k / s:.2f} |")
PY
  diff -r "$corpus" "$out/kelvane-1/copy$corpus" > /dev/null || echo "the copy in $out/kelvane-1 differs from the source"
done
