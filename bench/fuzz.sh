#!/usr/bin/env bash
# Long fuzz pass: N inputs (install scripts mutated structurally and
# byte-wise) from SEED (default: the time), through
# tests/fuzz's harness. An input that crashes or hangs ends the harness's
# process; the pass goes on at the next input. Prints inputs per second and
# the counts of crashes, hangs, heap damage and stray writes; the findings
# are kept in build/x86_64/fuzz/fuzz-findings/, the whole output in
# build/x86_64/fuzz/fuzz.log. Usage: bench/fuzz.sh N [SEED]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
n=${1:?usage: bench/fuzz.sh N [SEED]}
seed=${2:-$(date +%s)}
"$root/scripts/build.sh" x86_64 >/dev/null
"$root/scripts/make-prefix.sh"
source "$root/scripts/wine-env.sh"
out="$root/build/x86_64/fuzz"
mkdir -p "$out"
cd "$out"
: >fuzz.log
next=0 inputs=0 crashes=0 hangs=0 heap=0 stray=0 seconds=0
while [ "$next" -lt "$n" ]; do
  VUR_FUZZ_SEED=$seed VUR_FUZZ_FIRST=$next VUR_FUZZ_COUNT=$((n - next)) \
    xvfb-run -a wine "$root/build/x86_64/tests/fuzz/fuzz_tests.exe" >run.log 2>&1 || true
  cat run.log >>fuzz.log
  grep '^fuzz: [a-z]' run.log | tr -d '\r' || true
  summary=$(grep '^fuzz summary:' run.log | tail -1 | tr -d '\r' || true)
  declare -A s=()
  for pair in ${summary#fuzz summary: }; do s[${pair%%=*}]=${pair#*=}; done
  if [ -z "$summary" ] || [ "${s[next]}" -le "$next" ]; then
    echo "fuzz: the harness stopped without going on (see $out/fuzz.log)" >&2
    exit 1
  fi
  next=${s[next]}
  for k in inputs crashes hangs heap stray; do eval "$k=\$(( $k + ${s[$k]} ))"; done
  seconds=$(awk "BEGIN { print $seconds + ${s[seconds]} }")
done
rate=$(awk "BEGIN { printf \"%.1f\", $inputs / ($seconds > 0 ? $seconds : 1) }")
echo "fuzz: seed $seed: $inputs inputs" \
  "in $seconds s: $rate inputs/s; $crashes crashes, $hangs hangs, $heap heap damage, $stray stray writes"
