#!/usr/bin/env bash
# Runs the host-message benchmark: builds the x86_64 tree if needed,
# registers the built server in the tests' prefix (build/x86_64/testprefix)
# and runs bench_messages under Wine and Xvfb. Usage: bench/messages.sh [LINES]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/server-setup.sh"
xvfb-run -a wine "$build/bench/bench_messages.exe" "$@"
