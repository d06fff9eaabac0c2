#!/usr/bin/env bash
# What the manifest (a SHA-256 of every file, the manifest entry and the copy
# beside the archive) costs a ZIP job: this build against a build without
# manifests, on the same generated tree, warm cache, alternating, each run
# into a fresh output folder, nothing deleted between timed runs.
#   bench/manifest_cost.sh OLDER_KELVANE [FILES] [MIB] [RUNS]
# OLDER_KELVANE is the kelvane executable of a build before manifests, made
# with:  git worktree add /tmp/before acf715a &&
#        cmake -S /tmp/before -B /tmp/before/build -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
#        cmake --build /tmp/before/build -j2 --target kelvane
older=${1:?the kelvane executable of a build without manifests}
files=${2:-20000}
mib=${3:-600}
runs=${4:-3}
source "$(dirname "$0")/prologue.sh"
work=$base/manifest-cost-$$
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$base/config

with=()
without=()
for run in $(seq 1 "$runs"); do
  for build in with without; do
    cat > "$work/job.kvnjob" <<JOB
{"Backup": {"Type": 1, "ArchiveFolder": "$work/$build-$run", "ArchiveName": "zip",
 "ArchiveCompLevel": 6, "SkipFilesWithoutExtension": false, "IncludeHiddenFiles": true,
 "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": ["$corpus"], "ExcludeFolders": []}}
JOB
    if [ "$build" = with ]; then
      with+=("$(seconds "$bin/kelvane" "$work/job.kvnjob" -start -console)")
    else
      without+=("$(seconds "$older" "$work/job.kvnjob" -start -console)")
    fi
  done
done
python3 - "${without[*]}" "${with[*]}" <<'PY'
import statistics, sys
without, with_ = ([float(t) for t in arg.split()] for arg in sys.argv[1:3])
a, b = statistics.median(without), statistics.median(with_)
print("| ZIP job, level 6 | median |")
print("|---|---:|")
print(f"| without manifest | {a:.2f} s |")
print(f"| with manifest | {b:.2f} s |")
print(f"| ratio | {b / a:.3f} |")
PY
unzip -tq "$work/with-1/zip.zip" > /dev/null && echo "zip.zip: unzip -t passes"
