#!/usr/bin/env bash
# vfkthumb.exe doctor on an installed copy (cmake --install) under Wine:
# healthy when registered machine-wide, the user's registration winning when
# there is one too, and each broken registration named by its line with a
# non-zero exit status: no handler key, InprocServer32 naming a missing
# file, a DLL of the other architecture, no threading model, and another
# handler entered for the extension; for the preview handler also no
# preview handler key, no preview host (AppID), no entry in the list of
# preview handlers, and a damaged sample shown by neither handler.
# Usage: doctor.sh WINDOWS_BUILD BITS
set -euo pipefail

build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=wine_test.bash
source "$(dirname "$0")/wine_test.bash"
set_bitness "$2"
wine=$root/scripts/wine-run.sh
handler='{e357fccd-a995-4576-b01f-234630154e96}'
vfk_class='{520253B3-A2A2-4A9E-9FD6-54A1FD2EE8E9}'
vfq_class='{E9F2C83C-FF7E-45FF-8452-36E2503CD8CB}'
preview_handler='{8895b1c6-b41f-4c1c-a562-0d564250836f}'
vfk_preview='{0F7ED916-FE75-4656-91B4-E5F872879BC6}'
vfq_preview='{41634EF9-72F2-42CF-83F7-3494166F1A1C}'
preview_list='Software\Microsoft\Windows\CurrentVersion\PreviewHandlers'

work=$build/doctor
rm -rf "$work"
cmake --install "$build" --prefix "$work/install" >/dev/null
dll=$(windows_name "$work/install/bin/VfkThumbDll.dll")

failures=0
# check WHAT STATUS PATTERN: the doctor's exit status and a line matching
# PATTERN (an extended regular expression).
check() {
  local what=$1 want=$2 pattern=$3 status=0 report
  report=$("$wine" "$work/install/bin/vfkthumb.exe" doctor | tr -d '\r') || status=$?
  if ((status != want)) || ! grep -qE -- "$pattern" <<<"$report"; then
    echo "FAIL $what: status $status (expected $want), report:" >&2
    echo "$report" >&2
    failures=$((failures + 1))
  fi
}
# check_healthy WHAT: exit status 0 and every line "ok".
check_healthy() {
  local status=0 report
  report=$("$wine" "$work/install/bin/vfkthumb.exe" doctor | tr -d '\r') || status=$?
  if ((status != 0)) || grep -qE '^(PROBLEM|unknown) ' <<<"$report"; then
    echo "FAIL $1: status $status, a line that is not ok:" >&2
    echo "$report" >&2
    failures=$((failures + 1))
  fi
}
reg() { "$wine" "$reg_exe" "$@" "$view" >/dev/null 2>&1; }
# The list of preview handlers is read in the 64-bit view by every bitness.
reg64() { "$wine" reg "$@" /reg:64 >/dev/null 2>&1; }
# Every key the cases write, removed directly: unregistering stops at the
# first key it misses.
cleanup() {
  local classes
  for classes in 'HKCR' 'HKCU\Software\Classes'; do
    for key in .vfk .vfq Other.Document "CLSID\\$vfk_class" "CLSID\\$vfq_class" \
      "CLSID\\$vfk_preview" "CLSID\\$vfq_preview" \
      'CLSID\{11111111-2222-3333-4444-555555555555}'; do
      reg delete "$classes\\$key" /f || true
    done
  done
  for root in HKLM HKCU; do
    for clsid in "$vfk_preview" "$vfq_preview"; do
      reg64 delete "$root\\$preview_list" /v "$clsid" /f || true
    done
  done
}
# Each case starts from a fresh machine-wide registration.
register() {
  cleanup
  "$wine" "$regsvr32" /s "$dll"
}

register
check "healthy" 0 '^ok +\.vfq: a 128 x 128 thumbnail of .*sample\.vfq came out through COM'
check "healthy, every line" 0 '^ok +\.vfk: ThreadingModel "Apartment"'
check "healthy, the preview" 0 '^ok +\.vfq preview: the preview handler read (and showed )?.*sample\.vfq through COM'
check "healthy, the preview's host" 0 '^ok +\.vfk preview: AppID \{(6d2b5079|534A1E02)-'
check_healthy "healthy"

"$wine" "$regsvr32" /s /n /i:user "$dll"
check "the user's registration wins" 0 "^ok +\.vfk: the shell asks vfkthumb's handler .* entered per user"
check_healthy "registered per user and machine-wide"
"$wine" "$regsvr32" /u /s /n /i:user "$dll"

reg delete "HKCR\\.vfq\\shellex\\$handler" /f
check "no handler key" 1 '^PROBLEM +\.vfq: no thumbnail handler entered'
reg delete "HKCR\\.vfq\\shellex\\$preview_handler" /f
check "no preview handler key" 1 '^PROBLEM +\.vfq preview: no preview handler entered'

register
reg delete "HKCR\\CLSID\\$vfk_preview" /v AppID /f
reg64 delete "HKLM\\$preview_list" /v "$vfq_preview" /f
check "no preview host" 1 '^PROBLEM +\.vfk preview: AppID is not set'
check "not listed" 1 '^PROBLEM +\.vfq preview: not listed under'

register
reg add "HKCR\\CLSID\\$vfk_class\\InprocServer32" /ve /d 'C:\nowhere\VfkThumbDll.dll' /f
check "a missing DLL" 1 '^PROBLEM +\.vfk: InprocServer32 \(machine-wide\) names C:\\nowhere\\VfkThumbDll\.dll, which does not exist'

# A file that is a PE image of the other architecture (only its headers).
register
other=$work/other.dll
if [[ $2 == 32 ]]; then machine='\x64\x86'; else machine='\x4c\x01'; fi
{
  printf 'MZ'
  head -c 58 /dev/zero
  printf '\x40\x00\x00\x00PE\x00\x00'"$machine"
  head -c 200 /dev/zero
} >"$other"
reg add "HKCR\\CLSID\\$vfq_class\\InprocServer32" /ve /d "$(windows_name "$other")" /f
check "a DLL of the other architecture" 1 '^PROBLEM +\.vfq: InprocServer32 .* a (32|64)-bit DLL, which (64|32)-bit programs cannot load'

register
reg delete "HKCR\\CLSID\\$vfk_class\\InprocServer32" /v ThreadingModel /f
check "no threading model" 1 '^PROBLEM +\.vfk: ThreadingModel is not set'

register
reg add 'HKCR\CLSID\{11111111-2222-3333-4444-555555555555}' /ve /d 'Another Thumbnailer' /f
reg add 'HKCR\.vfk' /ve /d 'Other.Document' /f
reg add "HKCR\\Other.Document\\shellex\\$handler" /ve /d '{11111111-2222-3333-4444-555555555555}' /f
check "another handler" 1 '^PROBLEM +\.vfk: the shell asks another handler, \{11111111-2222-3333-4444-555555555555\} \("Another Thumbnailer"\), entered machine-wide under Other\.Document'
reg delete 'HKCR\Other.Document' /f

# A damaged sample: neither a thumbnail nor a preview comes out of it.
register
sample=$work/install/share/vfkthumb/sample.vfq
cp "$sample" "$work/sample.vfq"
head -c 300 "$work/sample.vfq" >"$sample"
check "a damaged sample's thumbnail" 1 '^PROBLEM +\.vfq: no thumbnail of .*sample\.vfq through COM'
check "a damaged sample's preview" 1 '^PROBLEM +\.vfq preview: the preview handler did not show .*sample\.vfq'
cp "$work/sample.vfq" "$sample"

cleanup
if ((failures > 0)); then
  echo "doctor: $failures failures" >&2
  exit 1
fi
rm -rf "$work"
echo "doctor: passed"
