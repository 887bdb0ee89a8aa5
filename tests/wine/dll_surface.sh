#!/usr/bin/env bash
# What the operating system sees of VfkThumbDll.dll and vfkthumb.exe,
# checked without running them: both of the build's architecture, the DLL
# exporting exactly the four COM server entry points and DllInstall, and
# both importing KERNEL32.dll and otherwise only Windows system DLLs (the C++
# runtime, libgcc and winpthread are linked in); in the 32-bit DLL the
# thread-exit callback in the system's calling convention; both carrying a
# version resource with the project's version and their own file name.
# Usage: dll_surface.sh DLL PROGRAM OBJDUMP WINDRES BITS VERSION
set -euo pipefail
dll=$1
program=$2
objdump=$3
windres=$4
version=$6
case $5 in
  64) format=pei-x86-64 ;;
  32) format=pei-i386 ;;
  *)
    echo "unknown bitness $5" >&2
    exit 2
    ;;
esac

status=0
fail() {
  echo "$*" >&2
  status=1
}

exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  awk '/\[ *[0-9]+\]/ {print $NF}' | sort | tr '\n' ' ')
want='DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer '
[[ $exports == "$want" ]] || fail "$dll exports '$exports', expected '$want'"

system='^(advapi32|gdi32|kernel32|msvcrt|ole32|oleaut32|shell32|shlwapi|user32|ws2_32)\.dll$'
for file in "$dll" "$program"; do
  header=$("$objdump" -f "$file")
  [[ $header == *"file format $format"* ]] ||
    fail "$file is not $format: $(grep -o 'file format .*' <<<"$header")"
  imports=$("$objdump" -p "$file" | awk '/DLL Name:/ {print $3}')
  grep -qix 'kernel32.dll' <<<"$imports" ||
    fail "$file: no KERNEL32.dll among its imports ($imports)"
  resources=$("$windres" -i "$file" -O rc 2>&1 || true)
  for value in "\"FileVersion\", \"$version\"" "\"ProductVersion\", \"$version\"" \
    "\"OriginalFilename\", \"$(basename "$file")\""; do
    grep -qF "VALUE $value" <<<"$resources" || fail "$file: no version resource value $value"
  done
  while read -r name; do
    [[ -z $name || ${name,,} =~ $system ]] ||
      fail "$file imports $name, which is not a Windows system DLL"
  done <<<"$imports"
done
# The 32-bit DLL's thread-exit callback, which the system calls as
# stdcall: its decorated name says it pops its argument (@4).
if [[ $5 == 32 ]]; then
  callback=$("$objdump" -t "$dll" | grep -o '[^ ]*ReleaseThreadCaches[^ ]*$' || true)
  [[ $callback == *@4 ]] || fail "$dll: the thread-exit callback '$callback' is not stdcall"
fi
exit $status
