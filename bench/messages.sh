#!/usr/bin/env bash
# Runs the host-message benchmark: builds the x86_64 tree if needed,
# registers the built server in the tests' prefix (build/x86_64/testprefix)
# and runs bench_messages under Wine and Xvfb. Usage: bench/messages.sh [LINES]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
"$root/scripts/build.sh" x86_64 >/dev/null
"$root/scripts/make-prefix.sh" test x86_64
vur_prefix=test
source "$root/scripts/wine-env.sh"
build="$root/build/x86_64"
wine "$build/server/installer.exe" /RegServer
wineserver -w    # that Wine session has no display: the benchmark's needs one
xvfb-run -a wine "$build/bench/bench_messages.exe" "$@"
