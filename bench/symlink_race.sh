#!/usr/bin/env bash
# A hostile user against root's backups, for real: while kelvane runs as root
# over a tree that `nobody` owns, `nobody` swaps a file for a link to
# /etc/shadow and a folder for a link to /etc as fast as it can. Counts the
# runs whose target holds anything of /etc/shadow (must be 0) and prints the
# target's mode. A race, so it measures rather than tests: not part of
# scripts/test.   bench/symlink_race.sh [RUNS PER TARGET TYPE] (default 15)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
[ "$(id -u)" -eq 0 ] || { echo "run as root" >&2; exit 1; }
bash scripts/setup
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target kelvane >/dev/null
bin=$(pwd)/build/bin/kelvane

base=$(mktemp -d /tmp/kelvane-race-XXXXXX)
trap 'kill "$attacker" 2>/dev/null || true; rm -rf "$base"' EXIT
chmod 755 "$base"
data=$base/home/ann/data
mkdir -p "$data/sub" "$base/out"
for i in $(seq 1 300); do echo "file $i" > "$data/f$i.txt"; done
echo sub > "$data/sub/s.txt"
chown -R nobody:nogroup "$base/home"
chmod 755 "$base/home"

cat > "$base/swap.sh" <<SWAP
cd "$data"
while true; do
  mv f150.txt f150.real 2>/dev/null; ln -sf /etc/shadow f150.txt; mv -f f150.real f150.txt 2>/dev/null
  mv sub sub.real 2>/dev/null; ln -sfn /etc sub; rm -f sub; mv sub.real sub 2>/dev/null
done
SWAP
setpriv --reuid=65534 --regid=65534 --clear-groups bash "$base/swap.sh" &
attacker=$!

leaks=0
for type in 0 1 2; do
  cat > "$base/job.kvnjob" <<JOB
{"Backup": {"Type": $type, "ArchiveFolder": "$base/out", "ArchiveName": "Daily",
 "SkipFilesWithoutExtension": false, "WhiteList": ["*.*"], "BlackList": [],
 "IncludeFolders": ["$data"], "ExcludeFolders": []}}
JOB
  for _ in $(seq 1 "$runs"); do
    rm -rf "$base/out"/*
    XDG_CONFIG_HOME=$base/config "$bin" "$base/job.kvnjob" -start -console >/dev/null 2>&1 || true
    case $type in
      0) found=$(cat $(find "$base/out/Daily" -type f) 2>/dev/null | grep -c 'root:' || true);;
      1) found=$(unzip -p "$base/out/Daily.zip" 2>/dev/null | grep -c 'root:' || true);;
      2) found=$(cd "$base/out" && 7z x -so Daily.7z 2>/dev/null | grep -c 'root:' || true);;
    esac
    [ "${found:-0}" -eq 0 ] || leaks=$((leaks + 1))
  done
  echo "type $type: modes of the target and the log: $(stat -c %a "$base/out"/Daily* | tr "\n" " ")"
done
echo "runs whose target held /etc/shadow: $leaks of $((3 * runs))"
[ "$leaks" -eq 0 ]
