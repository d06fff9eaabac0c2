#!/usr/bin/env bash
# Restoring a backup against the tools a user would otherwise unpack it with,
# warm cache, as root: a ZIP job's archive (level 6) against `unzip -q`, a 7z
# job's (level 1) against `7z x`, a folder job's copy against `cp -a`.
#   bench/restore.sh [FILES] [MIB] [RUNS]     (default 20000 files, 600 MiB, 3 runs)
# Every timed run writes into a fresh folder on a fresh loop-mounted ext4
# made for the benchmark (no discard), the tools alternating, nothing deleted
# in between; medians and ratios. TARGETS picks some of "ZIP 7z folder".
files=${1:-20000}
mib=${2:-600}
runs=${3:-3}
source "$(dirname "$0")/prologue.sh"
work=$base/restore-$$
mount_point=$work/fresh
targets=${TARGETS:-ZIP 7z folder}
count=$(echo $targets | wc -w)
# Room for every run of both tools for every target, each file taking at
# least one 4 KiB block, with half again to spare, and an inode for each.
fresh_ext4 "$work" $(( (mib + files * 4 / 1024) * 2 * runs * count * 3 / 2 + 1024 )) \
  $(( files * 2 * runs * count * 2 + 10000 ))
mkdir -p "$work/backups"
export XDG_CONFIG_HOME=$base/config

echo "| $files files, $mib MiB | the other tool (median) | kelvane -restore (median) | ratio |"
echo "|---|---:|---:|---:|"
for target in $targets; do
  case $target in
    ZIP) type=1 level=6 ;;
    7z) type=2 level=1 ;;
    folder) type=0 level=0 ;;
  esac
  cat > "$work/$target.kvnjob" <<JOB
{"Backup": {"Type": $type, "ArchiveFolder": "$work/backups", "ArchiveName": "$target",
 "ArchiveCompLevel": $level, "ArchiveBitSet": false, "SkipFilesWithoutExtension": false,
 "IncludeHiddenFiles": true, "IncludeLinks": true, "WhiteList": ["*.*"], "BlackList": [],
 "IncludeFolders": ["$corpus"], "ExcludeFolders": []}}
JOB
  "$bin/kelvane" "$work/$target.kvnjob" -start -console > /dev/null 2>&1
  other_times=()
  kelvane_times=()
  for run in $(seq 1 "$runs"); do
    into=$mount_point/$target-other-$run
    case $target in
      ZIP) other_times+=("$(seconds unzip -q "$work/backups/ZIP.zip" -d "$into")") ;;
      7z) other_times+=("$(seconds 7z x -y "-o$into" "$work/backups/7z.7z")") ;;
      folder) other_times+=("$(seconds cp -a "$work/backups/folder" "$into")") ;;
    esac
    kelvane_times+=("$(seconds "$bin/kelvane" "$work/$target.kvnjob" -restore \
      -to "$mount_point/$target-kelvane-$run")")
  done
  python3 - "$target" "${other_times[*]}" "${kelvane_times[*]}" <<'PY'
import statistics, sys
target, other, kelvane = sys.argv[1], [float(t) for t in sys.argv[2].split()], [float(t) for t in sys.argv[3].split()]
tool = {"ZIP": "unzip -q", "7z": "7z x", "folder": "cp -a"}[target]
o, k = statistics.median(other), statistics.median(kelvane)
print(f"| {target} vs {tool} | {o:.2f} s | {k:.2f} s | {k / o:.2f} |")
PY
  diff -r "$corpus" "$mount_point/$target-kelvane-1$corpus" > /dev/null ||
    echo "the restore in $mount_point/$target-kelvane-1 differs from the source"
done
