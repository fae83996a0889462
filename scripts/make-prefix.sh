#!/usr/bin/env bash
# Creates a private Wine prefix inside the build tree, once per prefix:
# scripts/make-prefix.sh [wine|test] [x86_64|i686] makes
# build/<arch>/wineprefix (the default: build/x86_64/wineprefix) or
# build/<arch>/testprefix (see scripts/wine-env.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
vur_prefix=${1:-wine}
vur_arch=${2:-x86_64}
source "$root/scripts/wine-env.sh"
stamp="$WINEPREFIX/.vur-prefix-ready"

# A search of the fixed disks must stay inside the prefix. A new prefix
# maps Z: to / as a fixed drive, and links C:'s shell folders (Desktop,
# Documents...) to the user's home: Z: becomes a network drive (programs
# still run from their Z: paths; the search passes over it), and the
# links become plain folders. Also done for a prefix made before this.
shape_drives() {
  local changed=0 link view
  # In both registry views: a 32-bit program (the shipping server) reads the
  # drive types through its own, and there Z: would stay a fixed drive that
  # its search walks, all of /.
  for view in 64 32; do
    if ! wine reg query 'HKLM\Software\Wine\Drives' /v z: /reg:$view 2>/dev/null | grep -q network; then
      wine reg add 'HKLM\Software\Wine\Drives' /v z: /d network /f /reg:$view >/dev/null 2>&1
      changed=1
    fi
  done
  while IFS= read -r -d '' link; do
    case "$(readlink -f "$link")" in
      "$WINEPREFIX"/*) ;;
      *) rm "$link" && mkdir "$link" ;;
    esac
  done < <(find "$WINEPREFIX/drive_c/users" -type l -print0 2>/dev/null)
  # The drive types are read when the prefix's wineserver starts.
  [ $changed = 0 ] || wineserver -w
}

# A prefix made before Wine's 32-bit loader was installed is updated once
# the loader is there, so that its 32-bit side of Windows is filled in.
loaders=$([ -x /usr/lib/wine/wine ] && echo "wine64 wine32" || echo "wine64")
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$loaders" ]; then
  shape_drives
  exit 0
fi
mkdir -p "$WINEPREFIX"
if [ -f "$WINEPREFIX/system.reg" ]; then
  wineboot -u >/dev/null 2>&1 || true
else
  wineboot -i >/dev/null 2>&1 || true
fi
# Xvfb has no window manager: Wine would wait 2 s for one at every message
# box or tray icon that closes. Unmanaged windows close at once.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
shape_drives
wineserver -w
test -f "$WINEPREFIX/system.reg"
echo "$loaders" > "$stamp"
echo "make-prefix: made $WINEPREFIX ($loaders)"
