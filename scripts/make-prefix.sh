#!/usr/bin/env bash
# Creates the private Wine prefix inside the build tree, once per tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-env.sh"
if [ -f "$WINEPREFIX/system.reg" ]; then
  exit 0
fi
mkdir -p "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true
wineserver -w
# The install folder value that file actions need.
test -f "$WINEPREFIX/system.reg"
echo "make-prefix: created $WINEPREFIX"
