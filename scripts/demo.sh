#!/usr/bin/env bash
# The main job's demo: on a fresh machine installs what is missing, builds
# x86_64, makes the private Wine prefix, registers the built server there
# and runs vurhost on examples/demo-install.txt, which shows the progress
# texts and the component's final report. Under Xvfb: the server's tray
# icon needs a display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
step() { echo "== $*"; }

step "packages";       scripts/install-deps.sh
step "build x86_64";   scripts/build.sh x86_64 | tail -n 1
step "wine prefix";    scripts/make-prefix.sh
source scripts/wine-env.sh
build="$root/build/x86_64"
step "register installer.exe in the private prefix"
wine "$build/server/installer.exe" /RegServer

step "vurhost examples/demo-install.txt"
transcript="$build/demo-transcript.txt"
status=0
xvfb-run -a wine "$build/tools/vurhost/vurhost.exe" \
  --param APPID=12 --param JOBID=2024 \
  --param RESURL1=http://example.invalid/vur/installe.html \
  --param RESURL2=http://example.invalid/vur/deja-la.html --param RESFRM2=principal \
  --param ERRURL=http://example.invalid/vur/erreur.html \
  --transcript "$(winepath -w "$transcript")" \
  "$(winepath -w "$root/examples/demo-install.txt")" 2> >(grep -v '^X connection to' >&2) || status=$?
wineserver -w 2>/dev/null || true
step "vurhost exit status $status; transcript: $transcript"
exit $status
