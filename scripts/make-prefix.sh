#!/usr/bin/env bash
# Creates the private Wine prefix inside the build tree, once per tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-env.sh"
stamp="$WINEPREFIX/.vur-prefix-ready"
if [ -f "$stamp" ]; then
  exit 0
fi
mkdir -p "$WINEPREFIX"
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
# Xvfb has no window manager: Wine would wait 2 s for one at every message
# box or tray icon that closes. Unmanaged windows close at once.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
test -f "$WINEPREFIX/system.reg"
touch "$stamp"
echo "make-prefix: created $WINEPREFIX"
