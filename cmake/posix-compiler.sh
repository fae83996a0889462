#!/bin/sh
# Compiler launcher: runs the posix thread-model twin of the given mingw
# compiler (…-g++-win32 -> …-g++-posix) with the same arguments.
compiler=$1
shift
case "$compiler" in
  *-win32) compiler=${compiler%-win32}-posix ;;
esac
exec "$compiler" "$@"
