# Shared start of the benchmark scripts (sourced): builds kelvane and makes the
# generated tree $corpus of $files files and $mib MiB below $base.
set -euo pipefail
cd "$(dirname "$0")/.."
base=${BENCH_DIR:-/tmp/kelvane-bench}
# Set random_share before sourcing for another share of random files than half.
share=${random_share:-0.5}
corpus=$base/copy-$files-$mib
[ "$share" = 0.5 ] || corpus=$corpus-r$share
bin=$(pwd)/build/bin

bash scripts/setup
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target kelvane >/dev/null
if [ ! -d "$corpus" ]; then
  echo "generating $files files ($mib MiB) in $corpus" >&2
  python3 bench/make_corpus.py "$corpus" --files "$files" --mib "$mib" --random "$share"
fi
cat "$corpus"/*/* > /dev/null 2>&1 || true  # warm the cache

# The wall time of COMMAND... in seconds, its output dropped.
seconds() {  # COMMAND...: its wall time in seconds
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1
  end=$(date +%s.%N)
  python3 -c "print(f'{$end - $start:.3f}')"
}

# fresh_ext4 DIR MIB INODES: a new ext4 file system of MIB MiB with INODES
# inodes (no discard) mounted at DIR/fresh for this script alone, gone when it
# ends. Every timed run writes into a folder of its own there and nothing is
# deleted between runs: on a disk mounted with discard, a deletion makes the
# next creates wait for the journal, whichever tool runs next.
fresh_ext4() {
  [ "$(id -u)" = 0 ] || { echo "$0 mounts a file system: run it as root" >&2; exit 1; }
  mkdir -p "$1/fresh"
  truncate -s "$2M" "$1/fresh.img"
  mkfs.ext4 -q -F -E nodiscard -N "$3" "$1/fresh.img"
  mount -o loop "$1/fresh.img" "$1/fresh"
  trap "umount '$1/fresh'; rm -rf '$1'" EXIT
}
