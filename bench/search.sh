#!/usr/bin/env bash
# Runs the disk-search benchmark: builds the x86_64 tree if needed,
# registers the built server in the private prefix, makes trees of 1,000,
# 10,000 and 100,000 directories (or the counts given), runs bench_search
# under Wine and Xvfb, and removes the trees. Usage: bench/search.sh [N]...
# With 100,000 directories it runs for 15 to 25 minutes here, most of it
# the 600,000 cross-process calls of columns c and d.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/server-setup.sh"
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(1000 10000 100000)
trees=$(mktemp -d "$build/bench/search-trees.XXXXXX")
trap 'rm -rf "$trees"' EXIT
args=()
for n in "${counts[@]}"; do
  python3 "$root/bench/maketree.py" "$trees/$n" "$n"
  args+=("$trees/$n" "$n")
done
xvfb-run -a wine "$build/bench/bench_search.exe" "${args[@]}"
