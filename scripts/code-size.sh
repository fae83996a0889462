#!/usr/bin/env bash
# Prints the non-blank, non-comment lines of the product code, the tools and
# the C++ test code (with, apart, the fixture programs that the tests build
# and run), and the tests' share of product plus tools. Comment lines are
# those that begin with // or /* or * once blanks are left out; test data
# (scripts, cases, expected transcripts, tables) is not code and is not
# counted.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
  find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' -o -name '*.rc' -o -name '*.idl' \) -print0 |
    xargs -0 -r cat | grep -Ev '^\s*$|^\s*(//|/\*|\*)' | wc -l
}
product=$(count host script sysops browser server resources)
tools=$(count tools)
tests=$(count tests)
fixtures=$(count $(find tests -type d -name 'fixture*'))
printf 'product code (host script sysops browser server resources): %6d lines\n' "$product"
printf 'tools:                                                      %6d lines\n' "$tools"
printf 'C++ test code (tests):                                      %6d lines\n' "$tests"
printf '  of which fixture programs (tests/*/fixture*):             %6d lines\n' "$fixtures"
awk -v t="$tests" -v f="$fixtures" -v p="$product" -v o="$tools" 'BEGIN {
  printf "tests / (product + tools): %.1f%% (%.1f%% without the fixture programs)\n",
    100 * t / (p + o), 100 * (t - f) / (p + o) }'
