# Sourced by the scripts: what the build, the tests, the demo and the
# benchmarks take from Debian, in one table that install-deps.sh installs
# and check-deps.sh checks; and a PATH that finds those programs first.
#
# One row per program that a script or the build calls (found through
# PATH), or per file that the build reads or that Wine runs (absolute
# path), with the package that provides it and what needs it. The base
# system's own tools (bash, coreutils, sed, grep, mawk, diffutils) are on
# every Debian machine and are not listed.
vur_deps=(
  # program or file                                    package                      needed by
  "x86_64-w64-mingw32-gcc-win32                        gcc-mingw-w64-x86-64-win32   build: product (x86_64)"
  "x86_64-w64-mingw32-g++-win32                        g++-mingw-w64-x86-64-win32   build: product (x86_64)"
  "x86_64-w64-mingw32-gcc-posix                        gcc-mingw-w64-x86-64-posix   build: test programs (x86_64)"
  "x86_64-w64-mingw32-g++-posix                        g++-mingw-w64-x86-64-posix   build: test programs (x86_64)"
  "i686-w64-mingw32-gcc-win32                          gcc-mingw-w64-i686-win32     build: product (i686)"
  "i686-w64-mingw32-g++-win32                          g++-mingw-w64-i686-win32     build: product (i686)"
  "i686-w64-mingw32-gcc-posix                          gcc-mingw-w64-i686-posix     build: test programs (i686)"
  "i686-w64-mingw32-g++-posix                          g++-mingw-w64-i686-posix     build: test programs (i686)"
  "x86_64-w64-mingw32-windres                          binutils-mingw-w64-x86-64    build: resources (x86_64)"
  "x86_64-w64-mingw32-ar                               binutils-mingw-w64-x86-64    build: libraries (x86_64)"
  "x86_64-w64-mingw32-ld                               binutils-mingw-w64-x86-64    build: linking (x86_64)"
  "i686-w64-mingw32-windres                            binutils-mingw-w64-i686      build: resources (i686)"
  "i686-w64-mingw32-ar                                 binutils-mingw-w64-i686      build: libraries (i686)"
  "i686-w64-mingw32-ld                                 binutils-mingw-w64-i686      build: linking (i686)"
  "i686-w64-mingw32-objdump                            binutils-mingw-w64-i686      check-imports.sh"
  "x86_64-w64-mingw32-widl                             mingw-w64-tools              build: type library (x86_64)"
  "i686-w64-mingw32-widl                               mingw-w64-tools              build: type library (i686)"
  "/usr/x86_64-w64-mingw32/include/windows.h           mingw-w64-x86-64-dev         build: headers (x86_64)"
  "/usr/i686-w64-mingw32/include/windows.h             mingw-w64-i686-dev           build: headers (i686)"
  "/usr/include/wine/wine/windows/oaidl.idl            libwine-dev                  build: widl's imports"
  "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/stdole2.tlb libwine                build: widl's importlib"
  "/usr/src/googletest/CMakeLists.txt                  googletest                   build: test programs"
  "cmake                                               cmake                        build.sh"
  "ctest                                               cmake                        test.sh"
  "ninja                                               ninja-build                  build.sh"
  "python3                                             python3-minimal              build: fixtures, tray icon; bench"
  "mscompress                                          mscompress                   build: SZDD fixtures, demo files"
  "msexpand                                            mscompress                   bench/filecopy.sh"
  "wine                                                wine                         tests, demo, bench"
  "/usr/lib/wine/wine64                                wine64                       Wine's 64-bit loader"
  "/usr/lib/wine/wine                                  wine32:i386                  Wine's 32-bit loader: the i686 server"
  "wineserver                                          wine                         tests, demo, bench"
  "wineboot                                            wine                         make-prefix.sh"
  "winepath                                            wine                         demo.sh, bench"
  "xvfb-run                                            xvfb                         tests, demo, bench"
  "Xvfb                                                xvfb                         xvfb-run"
  "xauth                                               xauth                        xvfb-run"
  "zzuf                                                zzuf                         fuzzing"
  "iconv                                               libc-bin                     demo.sh"
)

# The packages of the table, each once, in order.
vur_dep_packages() {
  local row seen=" "
  for row in "${vur_deps[@]}"; do
    set -- $row
    case "$seen" in *" $2 "*) continue ;; esac
    seen="$seen$2 "
    echo "$2"
  done
}

# The scripts run Debian's programs, the ones this table names, even where
# PATH puts other copies first (a pyenv python3, a pip cmake): what runs
# here is then what runs on a fresh machine.
case ":$PATH:" in
  :/usr/bin:/bin:*) ;;
  *) export PATH="/usr/bin:/bin:$PATH" ;;
esac
