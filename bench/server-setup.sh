# Sourced by the benchmark drivers that run the real server (with $root
# set): builds the x86_64 tree if needed, makes the private prefix, sets
# Wine's environment and registers the built server there; sets $build.
"$root/scripts/build.sh" x86_64 >/dev/null
"$root/scripts/make-prefix.sh"
source "$root/scripts/wine-env.sh"
build="$root/build/x86_64"
wine "$build/server/installer.exe" /RegServer
