#!/usr/bin/env bash
# Installs what is missing and checks where each program comes from, builds
# both architectures, audits the shipping build's imports, and runs the
# tests under Wine and Xvfb in the tests' own prefixes (the demo's prefix
# is left alone): every test on the x86_64 build, then the end-to-end
# suites again against the shipping i686 server, driven by the x86_64
# vurhost and then by the i686 one. Arguments go to the first pass's ctest.
# Prints how long each stage took; runs every pass even when one fails, and
# fails when any stage failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/deps.sh

# The suites that run the real server out of process (vurhost's own command
# line is an end-to-end case).
e2e_suites='ServerLifetime.*'

times=()
failed=()
passes=0
passes_failed=0
skipped=()
stage() {
  local name=$1; shift
  local t0=$SECONDS status=0
  echo "== $name"
  "$@" || status=$?
  times+=("$(printf '%5d s  %s' $((SECONDS - t0)) "$name")")
  echo "== $name: $((SECONDS - t0)) s$([ $status -eq 0 ] || echo ", FAILED (status $status)")"
  [ $status -eq 0 ] || failed+=("$name")
  return $status
}
# A test pass: a stage whose result is also counted.
pass() {
  local status=0
  stage "$@" || status=$?
  [ $status -eq 0 ] && passes=$((passes + 1)) || passes_failed=$((passes_failed + 1))
  return 0
}
summary() {
  echo
  echo "== times"
  printf '%s\n' "${times[@]}"
  if [ ${#skipped[@]} -gt 0 ]; then
    printf '== SKIPPED: %s\n' "${skipped[@]}"
  fi
  echo "passes: $passes passed, $passes_failed failed, ${#skipped[@]} skipped"
  if [ ${#failed[@]} -gt 0 ]; then
    printf '== FAILED: %s\n' "${failed[@]}"
    exit 1
  fi
  echo "== all passed"
}

# Every test program of the x86_64 build, in build/x86_64/testprefix.
all_tests() {
  (
    vur_prefix=test vur_arch=x86_64
    source scripts/wine-env.sh
    status=0
    xvfb-run -a ctest --test-dir build/x86_64 --output-on-failure "$@" || status=$?
    wineserver -k 2>/dev/null || true
    exit $status
  )
}

# The end-to-end suites of the x86_64 server_tests.exe and all the data
# cases of e2e_tests.exe against the server
# of one build, driven by the vurhost of one build, in the server's tree's
# test prefix: e2e_tests SERVER_ARCH VURHOST_ARCH.
e2e_tests() {
  if [ "$1$2" != x86_64x86_64 ] && [ ! -x /usr/lib/wine/wine ]; then
    echo "Wine's 32-bit loader /usr/lib/wine/wine (wine32:i386) is missing: scripts/install-deps.sh installs it"
    return 1
  fi
  (
    vur_prefix=test vur_arch=$1
    source scripts/wine-env.sh
    VUR_SERVER_EXE=$(winepath -w "$root/build/$1/server/installer.exe")
    VUR_VURHOST_EXE=$(winepath -w "$root/build/$2/tools/vurhost/vurhost.exe")
    export VUR_SERVER_EXE VUR_VURHOST_EXE
    # winepath started Wine without a display: let that session end first,
    # or the servers' windows (tray, message boxes) would never appear.
    wineserver -w
    status=0
    xvfb-run -a bash -c "wine build/x86_64/tests/server/server_tests.exe --gtest_brief=1 \
      --gtest_filter='$e2e_suites' && wine build/x86_64/tests/e2e/e2e_tests.exe --gtest_brief=1" || status=$?
    wineserver -k 2>/dev/null || true
    exit $status
  )
}

# Missing packages fail the run. The one exception, said loudly: a mirror
# that cannot serve the 32-bit packages now (install-deps.sh exit 3); the
# passes of the shipping 32-bit server are then left out and listed as
# skipped, and everything else runs.
install_packages() {
  local status=0
  scripts/install-deps.sh || status=$?
  if [ $status -eq 3 ]; then
    export VUR_WITHOUT_I386=1
    return 0
  fi
  return $status
}
stage "install packages" install_packages || true
stage "check programs and packages" scripts/check-deps.sh || true
stage "build x86_64" scripts/build.sh x86_64 || summary
stage "build i686" scripts/build.sh i686 || summary
stage "check i686 imports" scripts/check-imports.sh || true
stage "code size" scripts/code-size.sh || true
stage "make test prefixes" bash -c 'scripts/make-prefix.sh test x86_64 && scripts/make-prefix.sh test i686' || summary
pass "all tests, x86_64 build" all_tests "$@"
if [ -x /usr/lib/wine/wine ]; then
  pass "end to end: i686 server, x86_64 vurhost" e2e_tests i686 x86_64
  pass "end to end: i686 server, i686 vurhost" e2e_tests i686 i686
else
  skipped+=("end to end on the i686 server: Wine's 32-bit loader (wine32:i386) is not installed; the mirror could not serve it")
fi
summary
