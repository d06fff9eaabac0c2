#!/usr/bin/env bash
# The same ZIP job in the run window and in the terminal: does the window
# slow the work down? Runs on Xvfb with openbox (tests/support/desktop_session.sh).
#   bench/run_window.sh [FILES] [MIB] [RUNS]     (default 5000 files, 200 MiB, 5 runs)
#
# "run" is the time from the start of the program until the archive is in
# place (its modification time): the scan, the packing and the rename. The
# window adds its fixed 200 ms before the start to that; the second after the
# end, before it closes itself, is in "process" only.
files=${1:-5000}
mib=${2:-200}
runs=${3:-5}
source "$(dirname "$0")/prologue.sh"
out=$base/window-out
mkdir -p "$out"
cat > "$base/window.kvnjob" <<JOB
{"Backup": {"Type": 1, "ArchiveFolder": "$out", "ArchiveName": "window", "ArchiveCompLevel": 6,
 "SkipFilesWithoutExtension": false, "IncludeHiddenFiles": true,
 "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": ["$corpus"], "ExcludeFolders": []}}
JOB

cat > "$base/time_runs.sh" <<'TIMER'
#!/usr/bin/env bash
# time_runs.sh KELVANE JOB ARCHIVE RUNS: alternates window and console runs,
# prints one line per run: mode, run seconds, process seconds.
set -euo pipefail
kelvane=$1 job=$2 archive=$3 runs=$4
for ((i = 0; i < runs; i++)); do
  for mode in console window; do
    rm -f "$archive"
    flag=""; [ "$mode" = console ] && flag=-console
    start=$(date +%s.%N)
    "$kelvane" "$job" -start $flag 2> /dev/null
    end=$(date +%s.%N)
    placed=$(stat -c %.9Y "$archive")
    python3 -c "print('$mode', round($placed - $start, 3), round($end - $start, 3))"
  done
done
TIMER
XDG_CONFIG_HOME=$base/config tests/support/desktop_session.sh \
  bash "$base/time_runs.sh" "$bin/kelvane" "$base/window.kvnjob" "$out/window.zip" "$runs" \
  > "$base/window-times.txt"
unzip -tq "$out/window.zip"
python3 - "$base/window-times.txt" <<'REPORT'
import statistics, sys
runs = {"console": [], "window": []}
for line in open(sys.argv[1]):
    mode, run, process = line.split()
    runs[mode].append((float(run), float(process)))
med = {m: (statistics.median(r for r, _ in v), statistics.median(p for _, p in v)) for m, v in runs.items()}
print("| mode | runs | run median s | process median s |")
print("|---|---:|---:|---:|")
for m in ("console", "window"):
    print(f"| {m} | {len(runs[m])} | {med[m][0]:.3f} | {med[m][1]:.3f} |")
print(f"run ratio window / console: {med['window'][0] / med['console'][0]:.3f}")
print(f"process ratio window / console: {med['window'][1] / med['console'][1]:.3f}")
REPORT
