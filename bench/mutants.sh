#!/usr/bin/env bash
# Mutation spot check: how many deliberate faults the test suite catches.
# For each fault of bench/mutants.txt (or only the IDs given), edits the
# source in place, builds the x86_64 tree incrementally, and runs the test
# programs under Wine and Xvfb in the tests' prefix, the mutated
# subsystem's own program first and then the cheap ones first, stopping at
# the first that fails. The file is always put back, also on Ctrl-C; the
# tree is rebuilt from the clean sources at the end. Needs a built tree and
# its test prefix (scripts/build.sh x86_64; scripts/make-prefix.sh test).
# Usage: bench/mutants.sh [ID...]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build/x86_64
logs=$build/mutants
programs=(script_tests host_tests sysops_tests tools_tests vurlint_examples search_tests
          browser_tests server_tests e2e_tests fuzz_tests)
mkdir -p "$logs"

saved=$(mktemp) target=
restore() {
  [ -n "$target" ] && cat "$saved" > "$target"
  target=
}
trap 'restore; rm -f "$saved" "$saved.new" "$saved.count"' EXIT
trap 'exit 130' INT TERM

# apply PATH ORIGINAL REPLACEMENT: rewrites the one line whose trimmed text
# is ORIGINAL; sets matches to how many lines matched and fails unless
# exactly one did.
apply() {
  ORIG=$2 REPL=$3 awk '
    { t = $0; sub(/^[ \t]+/, "", t); sub(/[ \t]+$/, "", t) }
    t == ENVIRON["ORIG"] {
      n++; match($0, /^[ \t]*/)
      $0 = ENVIRON["REPL"] == "(deleted)" ? "" : substr($0, 1, RLENGTH) ENVIRON["REPL"]
    }
    { print }
    END { print n + 0 > "/dev/stderr"; exit n == 1 ? 0 : 1 }' "$1" > "$saved.new" 2> "$saved.count"
  local status=$?
  matches=$(cat "$saved.count")
  [ $status -eq 0 ] || return 1
  cp "$1" "$saved"
  target=$1
  cat "$saved.new" > "$1"
}

# run_tests LOG PROGRAM...: prints the first program that fails.
run_tests() {
  local log=$1; shift
  (
    vur_prefix=test vur_arch=x86_64
    source scripts/wine-env.sh
    xvfb-run -a bash -c 'log=$1 build=$2; shift 2
      for t; do
        ctest --test-dir "$build" --stop-on-failure --output-on-failure -R "^$t\$" >> "$log" 2>&1 || { echo "$t"; exit 1; }
      done' _ "$log" "$build" "$@"
    status=$?
    wineserver -k 2>/dev/null
    exit $status
  )
}

total=0 caught=0 missed=0 buildfailed=0 refused=0 missedids=()
t_all=$SECONDS
while IFS= read -r line; do
  case "$line" in ''|'#'*) continue ;; esac
  id=${line%% | *}; rest=${line#* | }
  path=${rest%% | *}; rest=${rest#* | }
  orig=${rest%% | *}; repl=${rest#* | }
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$id"; then continue; fi
  t0=$SECONDS
  if ! apply "$path" "$orig" "$repl"; then
    printf '%-4s REFUSED       the text matches %s lines of %s\n' "$id" "$matches" "$path"
    refused=$((refused + 1))
    continue
  fi
  total=$((total + 1))
  log=$logs/$id.log
  if ! cmake --build "$build" > "$log" 2>&1; then
    result=BUILD-FAILED first=-
    buildfailed=$((buildfailed + 1))
  else
    own=${path%%/*}_tests
    order=("$own")
    for p in "${programs[@]}"; do [ "$p" = "$own" ] || order+=("$p"); done
    [[ " ${programs[*]} " == *" $own "* ]] || order=("${programs[@]}")
    if first=$(run_tests "$log" "${order[@]}"); then
      result=MISSED first=-
      missed=$((missed + 1)) missedids+=("$id")
    else
      result=CAUGHT
      grep -q '\*\*\*Timeout' "$log" && result='CAUGHT(timeout)'
      caught=$((caught + 1))
    fi
  fi
  restore
  printf '%-4s %-15s %-17s %5d s  %s\n' "$id" "$result" "$first" $((SECONDS - t0)) "$path"
done < bench/mutants.txt

echo "caught $caught of $total ($missed missed, $buildfailed did not build, $refused refused) in $((SECONDS - t_all)) s"
[ ${#missedids[@]} -eq 0 ] || echo "missed: ${missedids[*]}"
cmake --build "$build" > "$logs/rebuild.log" 2>&1 || echo "the rebuild of the clean sources failed: $logs/rebuild.log"
