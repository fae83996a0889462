# Sourced by the benchmark drivers that run the real server (with $root
# set): builds the x86_64 tree if needed, makes the tests' prefix
# (build/x86_64/testprefix), sets Wine's environment and registers the
# built server there; sets $build.
source "$root/scripts/deps.sh"
"$root/scripts/build.sh" x86_64 >/dev/null
"$root/scripts/make-prefix.sh" test x86_64
vur_prefix=test
source "$root/scripts/wine-env.sh"
build="$root/build/x86_64"
wine "$build/server/installer.exe" /RegServer
wineserver -w    # that Wine session has no display: the benchmark's needs one
