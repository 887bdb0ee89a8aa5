#!/usr/bin/env bash
# What the operating system sees of VfkThumbDll.dll: exactly the four COM
# server entry points and DllInstall exported, and only Windows system DLLs
# imported (the C++ runtime, libgcc and winpthread are linked in).
# Usage: dll_surface.sh DLL OBJDUMP
set -euo pipefail
dll=$1
objdump=$2

exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  awk '/\[ *[0-9]+\]/ {print $NF}' | sort | tr '\n' ' ')
want='DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer '
status=0
if [[ $exports != "$want" ]]; then
  echo "exports: '$exports', expected '$want'" >&2
  status=1
fi

system='^(advapi32|gdi32|kernel32|msvcrt|ole32|oleaut32|shell32|shlwapi|user32|ws2_32)\.dll$'
while read -r name; do
  if [[ ! ${name,,} =~ $system ]]; then
    echo "imports $name, which is not a Windows system DLL" >&2
    status=1
  fi
done < <("$objdump" -p "$dll" | awk '/DLL Name:/ {print $3}')
exit $status
