#!/usr/bin/env bash
# What the check after the backup costs: a ZIP job at level 6 over the same
# tree with and without "TestFiles", and the check's share of the packing
# time; the same for 7z (one run each: 7z packs slowly) and the folder copy.
# Medians of RUNS runs, as root: every timed run writes into a folder of its
# own on a fresh loop-mounted ext4 and nothing is deleted between runs.
# TARGETS picks some of "ZIP 7z folder".
#   bench/verify.sh [FILES] [MIB] [RUNS]   (default 20000 files, 600 MiB, 3 runs)
files=${1:-20000}
mib=${2:-600}
runs=${3:-3}
random_share=0.4
source "$(dirname "$0")/prologue.sh"
work=$base/verify-$$
# Each target's runs, with and without the check, at most the tree's size each.
fresh_ext4 "$work" $(( (mib + files * 4 / 1024) * 2 * (2 * runs + 1) * 5 / 4 + 1024 )) \
  $(( files * 2 * (runs + 1) * 2 + 10000 ))
export XDG_CONFIG_HOME=$base/config

median() {  # NAME TYPE TESTFILES RUNS: the median wall time of RUNS jobs, in seconds
  local times=()
  for run in $(seq "$4"); do
    local out=$work/fresh/$1-$run
    mkdir -p "$out"
    cat > "$work/job.kvnjob" <<JOB
{"Backup": {"Type": $2, "ArchiveFolder": "$out", "ArchiveName": "$1", "ArchiveCompLevel": 6,
 "TestFiles": $3, "ArchiveBitSet": false, "SkipFilesWithoutExtension": false,
 "IncludeHiddenFiles": true, "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": ["$corpus"],
 "ExcludeFolders": []}}
JOB
    local start end
    start=$(date +%s.%N)
    "$bin/kelvane" "$work/job.kvnjob" -start -console > /dev/null 2>&1
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc)")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( ($4 + 1) / 2 ))p"
}

echo "| target ($files files, $mib MiB) | without check | with check | check / packing |"
echo "|---|---:|---:|---:|"
for pair in "ZIP 1 $runs" "7z 2 1" "folder 0 $runs"; do
  set -- $pair
  case " ${TARGETS:-ZIP 7z folder} " in *" $1 "*) ;; *) continue ;; esac
  plain=$(median "$1-plain" "$2" false "$3")
  checked=$(median "$1-checked" "$2" true "$3")
  share=$(echo "scale=2; ($checked - $plain) / $plain" | bc)
  printf '| %s | %.2f s | %.2f s | %s |\n' "$1" "$plain" "$checked" "$share"
done
