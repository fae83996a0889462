# Sourced by the scripts that run Wine: the private prefix of the x86_64
# build tree, quiet Wine, a locale that every machine has (Wine keeps code
# page 1252 under it, and can make files with non-ASCII names). Never ~/.wine.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX="$root/build/x86_64/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8 LC_ALL=
export WINEARCH=win64
