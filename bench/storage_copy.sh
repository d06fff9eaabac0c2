#!/usr/bin/env bash
# What a storage location adds to a run, against copying the archive by hand:
# a ZIP job (level 1) run with one location, less the same run without, set
# against `cp` + `sync` of its archive for a folder location (Kelvane also
# reads the copy back from the disk) and against `rclone copyto` of it to the
# same SFTP server for a remote (Kelvane also asks the server's MD5).
#   bench/storage_copy.sh [FILES] [MIB] [RUNS]   (default 200 files, 600 MiB, 3 runs)
# The archive, the folder location and the server's folder are on a fresh
# loop-mounted ext4 (no discard); nothing is deleted between timed runs.
files=${1:-200}
mib=${2:-600}
runs=${3:-3}
random_share=1.0
source "$(dirname "$0")/prologue.sh"
[ "$(id -u)" = 0 ] || { echo "bench/storage_copy.sh mounts a file system: run it as root" >&2; exit 1; }

work=$base/storage-$$
fresh=$work/fresh
mkdir -p "$fresh"
truncate -s $(( mib * runs * 6 + 2048 ))M "$work/fresh.img"
mkfs.ext4 -q -F -E nodiscard "$work/fresh.img"
mount -o loop "$work/fresh.img" "$fresh"
mkdir -p "$fresh/served"
rclone serve sftp "$fresh/served" --addr 127.0.0.1:22991 --user u --pass p 2>/dev/null &
server=$!
trap 'kill $server; umount "$fresh"; rm -rf "$work"' EXIT
export RCLONE_CONFIG=$work/rclone.conf XDG_CONFIG_HOME=$base/config
printf '[b]\ntype = sftp\nhost = 127.0.0.1\nport = 22991\nuser = u\npass = %s\n' \
  "$(rclone obscure p)" > "$RCLONE_CONFIG"
sleep 1  # the server's start

job() {  # NAME LOCATION...: a job file whose archive goes to $fresh/NAME
  local locations
  locations=$(printf '"%s",' "${@:2}")
  mkdir -p "$fresh/$1"
  cat > "$work/$1.kvnjob" <<JOB
{"Backup": {"Type": 1, "ArchiveFolder": "$fresh/$1", "ArchiveName": "B", "ArchiveCompLevel": 1,
 "SkipFilesWithoutExtension": false, "IncludeHiddenFiles": true, "WhiteList": ["*.*"],
 "BlackList": [], "IncludeFolders": ["$corpus"], "ExcludeFolders": [],
 "StorageLocations": [${locations%,}]}}
JOB
  echo "$work/$1.kvnjob"
}

declare -A t
for run in $(seq 1 "$runs"); do
  mkdir -p "$fresh/to-$run" "$fresh/cp-$run"
  t[plain]+=" $(seconds "$bin/kelvane" "$(job plain-$run)" -start -console)"
  t[folder]+=" $(seconds "$bin/kelvane" "$(job folder-$run "$fresh/to-$run")" -start -console)"
  t[remote]+=" $(seconds "$bin/kelvane" "$(job remote-$run "b:r$run")" -start -console)"
  t[cp]+=" $(seconds sh -c "cp '$fresh/plain-$run/B.zip' '$fresh/cp-$run/' && sync")"
  t[rclone]+=" $(seconds rclone copyto "$fresh/plain-$run/B.zip" "b:rc$run/B.zip")"
done
python3 - "${t[plain]}" "${t[folder]}" "${t[remote]}" "${t[cp]}" "${t[rclone]}" <<'PY'
import statistics, sys
plain, folder, remote, cp, rclone = (statistics.median(float(x) for x in a.split()) for a in sys.argv[1:])
print(f"| {len(sys.argv[1].split())} runs, medians | the copy in the run | by hand | ratio |")
print("|---|---:|---:|---:|")
print(f"| folder location vs cp + sync | {folder - plain:.2f} s | {cp:.2f} s | {(folder - plain) / cp:.2f} |")
print(f"| SFTP location vs rclone copyto | {remote - plain:.2f} s | {rclone:.2f} s | {(remote - plain) / rclone:.2f} |")
print(f"(the run without a location: {plain:.2f} s)")
PY
cmp -s "$fresh/folder-1/B.zip" "$fresh/to-1/B.zip" || echo "the folder location's copy differs"
