#!/usr/bin/env bash
# Installs what is missing, builds both architectures, audits the shipping
# build's imports, makes the private Wine prefix and runs every test under
# Wine and Xvfb. Prints how long each stage took.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
stage() {
  local name=$1; shift
  local t0=$SECONDS
  echo "== $name"
  "$@"
  echo "== $name: $((SECONDS - t0)) s"
}
run_tests() {
  source "$root/scripts/wine-env.sh"
  local status=0
  xvfb-run -a ctest --test-dir "$root/build/x86_64" --output-on-failure "$@" || status=$?
  wineserver -k 2>/dev/null || true
  return $status
}
stage "install packages" scripts/install-deps.sh
stage "build x86_64" scripts/build.sh x86_64
stage "build i686" scripts/build.sh i686
stage "check i686 imports" scripts/check-imports.sh
stage "make wine prefix" scripts/make-prefix.sh
stage "tests (x86_64, wine)" run_tests "$@"
