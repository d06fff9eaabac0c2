#!/usr/bin/env bash
# What the check after the backup costs: a ZIP job at level 6 over the same
# tree with and without "TestFiles", and the check's share of the packing
# time; the same for 7z (one run each: 7z packs slowly) and the folder copy.
# Medians of RUNS runs. TARGETS picks some of "ZIP 7z folder".
#   bench/verify.sh [FILES] [MIB] [RUNS]   (default 20000 files, 600 MiB, 3 runs)
files=${1:-20000}
mib=${2:-600}
runs=${3:-3}
random_share=0.4
source "$(dirname "$0")/prologue.sh"
out=$base/verify-out
jobs=$base/verify-jobs
rm -rf "$out" "$jobs"
mkdir -p "$out" "$jobs"
export XDG_CONFIG_HOME=$base/config

job() {  # NAME TYPE TESTFILES
  cat > "$jobs/$1.kvnjob" <<JOB
{"Backup": {"Type": $2, "ArchiveFolder": "$out", "ArchiveName": "$1", "ArchiveCompLevel": 6,
 "TestFiles": $3, "ArchiveBitSet": false, "SkipFilesWithoutExtension": false,
 "IncludeHiddenFiles": true, "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": ["$corpus"],
 "ExcludeFolders": []}}
JOB
}
median() {  # COMMAND RUNS: the median wall time of RUNS runs, in seconds
  local times=() runs=$2
  for _ in $(seq "$runs"); do
    rm -rf "${out:?}"/*
    local start end
    start=$(date +%s.%N)
    eval "$1" > /dev/null
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc)")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

echo "| target ($files files, $mib MiB) | without check | with check | check / packing |"
echo "|---|---:|---:|---:|"
for pair in "ZIP 1 $runs" "7z 2 1" "folder 0 $runs"; do
  set -- $pair
  case " ${TARGETS:-ZIP 7z folder} " in *" $1 "*) ;; *) continue ;; esac
  job "$1-target-plain" "$2" false
  job "$1-target-checked" "$2" true
  plain=$(median "$bin/kelvane '$jobs/$1-target-plain.kvnjob' -start -console" "$3")
  checked=$(median "$bin/kelvane '$jobs/$1-target-checked.kvnjob' -start -console" "$3")
  share=$(echo "scale=2; ($checked - $plain) / $plain" | bc)
  printf '| %s | %.2f s | %.2f s | %s |\n' "$1" "$plain" "$checked" "$share"
done
