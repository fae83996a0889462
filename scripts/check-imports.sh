#!/usr/bin/env bash
# Checks that the shipping (i686) installer.exe imports only what Windows
# 95/98 and NT 4.0 have.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe="$root/build/i686/server/installer.exe"
allowed="KERNEL32.dll USER32.dll GDI32.dll ADVAPI32.dll SHELL32.dll ole32.dll OLEAUT32.dll LZ32.dll VERSION.dll msvcrt.dll"
forbidden="GetTickCount64 AddVectoredExceptionHandler TryEnterCriticalSection InitializeCriticalSectionEx FlsAlloc"
dump=$(i686-w64-mingw32-objdump -p "$exe")
status=0
dlls=$(echo "$dump" | sed -n 's/^\s*DLL Name: //p')
for dll in $dlls; do
  ok=0
  for a in $allowed; do
    [ "${dll,,}" = "${a,,}" ] && ok=1
  done
  if [ $ok -eq 0 ]; then echo "check-imports: installer.exe imports $dll, which is not allowed"; status=1; fi
done
for f in $forbidden; do
  if echo "$dump" | grep -qw "$f"; then echo "check-imports: installer.exe imports $f"; status=1; fi
done
[ $status -eq 0 ] && echo "check-imports: installer.exe (i686) imports only: $(echo $dlls | tr '\n' ' ')"
exit $status
