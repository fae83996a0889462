#!/usr/bin/env bash
# ExpandCopyFile (under Wine) against Debian's native msexpand and cp on the
# same 64 MiB file, compressed (SZDD) and plain: MB/s of output for each,
# best of 3 runs, and the ratios ours / native. msexpand makes one system
# call per byte (about 0.4 MB/s, near 3 minutes here), so it runs once.
# Usage: bench/filecopy.sh   (after scripts/build.sh x86_64; runs in the
# tests' prefix, build/x86_64/testprefix)
# The SZDD file takes mscompress about 100 s; it is kept in
# build/x86_64/bench/data and made again only when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
"$root/scripts/make-prefix.sh" test x86_64
vur_prefix=test
source "$root/scripts/wine-env.sh"
build="$root/build/x86_64"
bench_exe="$build/bench/filecopy_bench.exe"
data="$build/bench/data"
runs=3
size=$((64 * 1024 * 1024))

[ -f "$bench_exe" ] || { echo "filecopy.sh: build first: scripts/build.sh x86_64" >&2; exit 1; }
mkdir -p "$data"
if [ ! -f "$data/big.bin" ] || [ ! -f "$data/big.bin_" ]; then
  echo "making $size bytes of test data and its SZDD form (mscompress, about 100 s)..."
  rm -f "$data/big.bin" "$data/big.bin_"
  python3 "$root/tests/sysops/fixtures/makedata.py" "$data/big.bin" "$size" mixed
  mscompress "$data/big.bin"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Best wall time of a shell command over N runs, in seconds: best_of N CMD.
best_of() {
  local best="" t0 t1 t
  for _ in $(seq "$1"); do
    t0=$(date +%s.%N); eval "$2"; t1=$(date +%s.%N)
    t=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  echo "$best"
}

# Our copy, timed inside the Windows program (Wine's start-up is left out).
ours() {
  local out
  out=$(wine "$bench_exe" "$(winepath -w "$1")" "$(winepath -w "$work/ours.out")" $runs | tr -d '\r')
  cmp -s "$work/ours.out" "$data/big.bin" || { echo "filecopy.sh: our copy of $1 differs" >&2; exit 1; }
  echo "$out" | sed -n 's/^result seconds=\([0-9.]*\) .*/\1/p'
}

ours_lz=$(ours "$data/big.bin_")
ours_plain=$(ours "$data/big.bin")
native_lz=$(best_of 1 "msexpand < '$data/big.bin_' > '$work/native.out'")
cmp -s "$work/native.out" "$data/big.bin" || { echo "filecopy.sh: msexpand output differs" >&2; exit 1; }
native_plain=$(best_of $runs "cp '$data/big.bin' '$work/native.out'")
wineserver -k 2>/dev/null || true

mbs() { awk -v n="$size" -v s="$1" 'BEGIN { printf "%.1f", n / 1000000 / s }'; }
ratio() { awk -v ours="$1" -v native="$2" 'BEGIN { printf "%.2f", native / ours }'; }
echo "ExpandCopyFile benchmark: $size bytes out ($(stat -c %s "$data/big.bin_") bytes SZDD), best of $runs (msexpand: 1 run)"
printf '%-34s %10s %10s\n' "" "seconds" "MB/s"
printf '%-34s %10.3f %10s\n' "ExpandCopyFile, SZDD (Wine lz32)" "$ours_lz" "$(mbs "$ours_lz")"
printf '%-34s %10.3f %10s\n' "msexpand, SZDD (native)" "$native_lz" "$(mbs "$native_lz")"
printf '%-34s %10.3f %10s\n' "ExpandCopyFile, plain (Wine lz32)" "$ours_plain" "$(mbs "$ours_plain")"
printf '%-34s %10.3f %10s\n' "cp, plain (native)" "$native_plain" "$(mbs "$native_plain")"
echo "ratio ours / native (MB/s): SZDD $(ratio "$ours_lz" "$native_lz"), plain $(ratio "$ours_plain" "$native_plain")"
