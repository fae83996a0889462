#!/usr/bin/env bash
# The main job's demo, on the shipping i686 build: on a fresh machine
# installs what is missing, builds i686, makes the private Wine prefix
# (build/i686/wineprefix), registers the built server there, sets the
# install folder, and runs vurhost (the command-line host, i686 too) on the
# demo install script examples/demo/demo.txt. Then shows what the install
# left: the files with their versions and times, and the registry values.
# Under Xvfb: the server's tray icon needs a display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/deps.sh
step() { echo; echo "== $*"; }

step "packages";          scripts/install-deps.sh
step "build i686";        scripts/build.sh i686 | tail -n 1
step "wine prefix";       scripts/make-prefix.sh wine i686
vur_arch=i686
source scripts/wine-env.sh
build="$root/build/i686"
folder='C:\Program Files\VUR Demo'
quiet() { grep -v '^X connection to' >&2 || true; }

# A 32-bit program reads HKEY_CLASSES_ROOT\CLSID and HKEY_LOCAL_MACHINE\Software
# through the 32-bit view of the registry: the 32-bit server registers
# itself there and reads its install folder there, so reg works in that
# view too (/reg:32); wine reg itself is a 64-bit program.
step "register installer.exe (i686) in the private prefix"
wine "$build/server/installer.exe" /RegServer
wine reg query 'HKCR\CLSID\{63C43601-34EF-11D2-94F6-204C4F4F5020}\LocalServer32' /ve /reg:32 |
  sed -n 's/^ *(Default) *REG_SZ */  LocalServer32 = /p'

step "install folder: $folder (a fresh one for the demo)"
wine reg add 'HKLM\Software\VUR' /ve /d "$folder" /f /reg:32 >/dev/null
rm -rf "$WINEPREFIX/drive_c/Program Files/VUR Demo"
mkdir -p "$WINEPREFIX/drive_c/Program Files/VUR Demo"
wine reg delete 'HKCU\Software\VUR Demo' /f >/dev/null 2>&1 || true

step "vurhost examples/demo/demo.txt"
transcript="$build/demo-transcript.txt"
transcript_w=$(winepath -w "$transcript")
script_w=$(winepath -w "$build/examples/demo/demo.txt")
# The Wine session started above has no display: it must end before the
# one under Xvfb starts, or the server's windows (its tray icon, its
# message boxes) would never appear.
wineserver -w
status=0
xvfb-run -a wine "$build/tools/vurhost/vurhost.exe" \
  --param APPID=12 --param JOBID=2024 \
  --param RESURL1=http://example.invalid/vur/installe.html --param RESFRM1=principal \
  --param RESURL2=http://example.invalid/vur/deja-la.html \
  --param ERRURL=http://example.invalid/vur/erreur.html \
  --transcript "$transcript_w" "$script_w" 2> >(quiet) || status=$?
wineserver -w 2>/dev/null || true
echo "vurhost exit status $status; the whole transcript is in $transcript"

step "installed files"
wine "$build/tools/showfiles/showfiles.exe" "$folder"

step "registry values written"
wine reg query 'HKCU\Software\VUR Demo' | sed -n 's/^ \{4\}/  /p' | iconv -f CP437 -t UTF-8  # wine reg writes the OEM code page
exit $status
