# Sourced by the scripts that run Wine: a private prefix inside the build
# tree (never ~/.wine), quiet Wine, a locale that every machine has (Wine
# keeps code page 1252 under it, and can make files with non-ASCII names).
#
# Each build tree has two prefixes, both 64-bit Windows, where Wine runs
# 32-bit programs too: wineprefix, yours and the demo's, where the server
# stays registered; and testprefix, the tests' own, where they register and
# unregister the server as they need. Set before sourcing:
#   vur_arch=i686     the i686 tree's prefixes (default: x86_64)
#   vur_prefix=test   testprefix (default: wineprefix)
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
case "${vur_prefix:-wine}" in
  test) export WINEPREFIX="$root/build/${vur_arch:-x86_64}/testprefix" ;;
  *) export WINEPREFIX="$root/build/${vur_arch:-x86_64}/wineprefix" ;;
esac
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8 LC_ALL=
export WINEARCH=win64
