#!/usr/bin/env bash
# The main job's demo, on the shipping i686 build: on a fresh machine
# installs what is missing, builds i686, makes the private Wine prefix
# (build/i686/wineprefix), registers the built server there, sets the
# install folder, and runs vurhost (the command-line host, i686 too) on the
# demo install script examples/demo/demo.txt. Then shows what the install
# left: the files with their versions and times, and the registry values;
# and runs the script a second time, which finds the product in place and
# skips the unit. Under Xvfb: the server's tray icon needs a display.
# Without Wine's 32-bit loader (a mirror that cannot serve wine32:i386
# now: install-deps.sh exit 3) the demo says so and runs the x86_64 build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/deps.sh
step() { echo; echo "== $*"; }

step "packages"
deps=0
scripts/install-deps.sh || deps=$?
[ $deps -eq 0 ] || [ $deps -eq 3 ] || exit $deps
vur_arch=i686
if [ ! -x /usr/lib/wine/wine ]; then
  echo "demo: Wine's 32-bit loader (wine32:i386) is not installed, so the shipping i686 server cannot run" \
       "here now; the demo runs the x86_64 build instead."
  vur_arch=x86_64
fi
step "build $vur_arch";      scripts/build.sh $vur_arch | tail -n 1
step "wine prefix";       scripts/make-prefix.sh wine $vur_arch
source scripts/wine-env.sh
build="$root/build/$vur_arch"
view=$([ $vur_arch = i686 ] && echo /reg:32 || echo /reg:64)
folder='C:\Program Files\VUR Demo'
quiet() { grep -v '^X connection to' >&2 || true; }

# A 32-bit program reads HKEY_CLASSES_ROOT\CLSID and HKEY_LOCAL_MACHINE\Software
# through the 32-bit view of the registry: the 32-bit server registers
# itself there and reads its install folder there, so reg works in that
# view too (/reg:32); wine reg itself is a 64-bit program.
step "register installer.exe ($vur_arch) in the private prefix"
wine "$build/server/installer.exe" /RegServer
wine reg query 'HKCR\CLSID\{63C43601-34EF-11D2-94F6-204C4F4F5020}\LocalServer32' /ve $view |
  sed -n 's/^ *(Default) *REG_SZ */  LocalServer32 = /p'

step "install folder: $folder (a fresh one for the demo)"
wine reg add 'HKLM\Software\VUR' /ve /d "$folder" /f $view >/dev/null
rm -rf "$WINEPREFIX/drive_c/Program Files/VUR Demo"
mkdir -p "$WINEPREFIX/drive_c/Program Files/VUR Demo"
wine reg delete 'HKCU\Software\VUR Demo' /f >/dev/null 2>&1 || true

transcript="$build/demo-transcript.txt"
transcript_w=$(winepath -w "$transcript")
script_w=$(winepath -w "$build/examples/demo/demo.txt")
# One run of vurhost on the demo script; its exit status.
run_demo() {
  # The Wine session started before has no display: it must end before the
  # one under Xvfb starts, or the server's windows (its tray icon, its
  # message boxes) would never appear.
  wineserver -w
  local status=0
  xvfb-run -a wine "$build/tools/vurhost/vurhost.exe" \
    --param APPID=12 --param JOBID=2024 \
    --param RESURL1=http://example.invalid/vur/installe.html --param RESFRM1=principal \
    --param RESURL2=http://example.invalid/vur/deja-la.html \
    --param ERRURL=http://example.invalid/vur/erreur.html \
    --transcript "$transcript_w" "$script_w" 2> >(quiet) || status=$?
  wineserver -w 2>/dev/null || true
  echo "vurhost exit status $status; the whole transcript is in $transcript"
  return $status
}

step "vurhost examples/demo/demo.txt"
status=0
run_demo || status=$?

step "installed files"
wine "$build/tools/showfiles/showfiles.exe" "$folder"

step "registry values written"
wine reg query 'HKCU\Software\VUR Demo' | sed -n 's/^ \{4\}/  /p' | iconv -f CP437 -t UTF-8  # wine reg writes the OEM code page

step "vurhost examples/demo/demo.txt again: the test finds it installed and skips the unit"
[ $status -ne 0 ] || run_demo || status=$?
exit $status
