#!/usr/bin/env bash
# The shell's path to our thumbnails under Wine, end to end:
#   regsvr32 of VfkThumbDll.dll from a folder whose path has spaces and
#   non-ASCII letters (twice), the exact path in InprocServer32, every
#   example document at sizes 16, 96, 255, 256 and 1024 through
#   shell_client (class lookup, CoCreateInstance, SHCreateStreamOnFileEx)
#   byte for byte equal to the Linux vfkthumb's BMP pixels, a damaged
#   document without a thumbnail, every document that ever broke a loader
#   (the fault documents of the linux build, tests/regressions/found/
#   documents), a document whose stored picture is 16384 x 16384, then
#   regsvr32 /u (twice: the
#   second fails) and no key left; then regsvr32 /n /i:user for one user
#   (the user's keys only, removed with /u /n /i:user, twice). The 32-bit
#   build is registered with the 32-bit regsvr32, into the 32-bit view.
# With MODE "threads", instead: registered, one request from several
# apartments at once and the process ending while threads ask for
# thumbnails; exit status 77 (skipped) where 32-bit programs run under
# emulation, which cannot run several threads (tests/support/emulated_threads.h).
# Usage: shell_path.sh WINDOWS_BUILD LINUX_BUILD BITS [MODE]
set -euo pipefail

windows=$(cd "$1" && pwd)
linux=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=wine_test.bash
source "$(dirname "$0")/wine_test.bash"
set_bitness "$3"
mode=${4:-path}
wine=$root/scripts/wine-run.sh
if [[ $mode == threads && $3 == 32 && -n ${VFK_X86_EMULATED:-} ]]; then
  echo "shell_path threads: skipped: several threads in a 32-bit Wine process crash under qemu's user-mode emulation"
  exit 77
fi
sides=(16 96 255 256 1024)

if [[ ! -x $linux/vfkthumb || ! -d $linux/examples ]]; then
  echo "shell_path: needs the linux preset built first ($linux/vfkthumb, $linux/examples)" >&2
  exit 1
fi

work=$windows/shell-path-$mode
rm -rf "$work"
folder="$work/Shell Extensions/Vorschaubilder für Größen"
mkdir -p "$folder" "$work/out" "$work/expected"
cp "$windows/VfkThumbDll.dll" "$folder/"
dll=$(windows_name "$folder/VfkThumbDll.dll")

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
expect_status() {
  local want=$1 what=$2
  shift 2
  local status=0
  "$@" || status=$?
  ((status == want)) || fail "$what: exit status $status, expected $want"
}
client() { "$wine" "$windows/shell_client.exe" "$@"; }
# A key is absent when reg.exe says it cannot find it; any other failure
# (Wine not running, say) is a failure of the check.
key_absent() {
  local status=0 answer
  answer=$("$wine" "$reg_exe" query "$1" "$view" 2>&1) || status=$?
  if ((status == 0)); then
    fail "key $1 is still there"
  elif [[ $answer != *"$not_found"* ]]; then
    fail "key $1: reg query failed (status $status): ${answer//$'\r'/}"
  fi
}

# Nothing of an earlier run in the registry.
"$wine" "$regsvr32" /u /s "$dll" >/dev/null 2>&1 || true
"$wine" "$regsvr32" /u /s /n /i:user "$dll" >/dev/null 2>&1 || true
for key in 'HKCR\.vfk' 'HKCR\.vfq' 'HKCU\Software\Classes\.vfk' 'HKCU\Software\Classes\.vfq'; do
  "$wine" "$reg_exe" delete "$key" /f "$view" >/dev/null 2>&1 || true
done

expect_status 0 "regsvr32" "$wine" "$regsvr32" /s "$dll"
if [[ $mode == threads ]]; then
  expect_status 0 "several apartments at once" client apartments 4 256 \
    "$(windows_name "$linux/examples/landscape.vfq")"
  # The process ends while its threads are inside the library: the library
  # is detached at process exit without waiting on anything they held.
  for milliseconds in 5 23 41 60 97; do
    expect_status 7 "process exit while busy ($milliseconds ms)" client exit-busy 4 \
      "$milliseconds" "$(windows_name "$linux/examples/large.vfk")"
  done
  "$wine" "$regsvr32" /u /s "$dll" || fail "regsvr32 /u"
  finish "shell_path threads" "$work"
fi
expect_status 0 "regsvr32 again" "$wine" "$regsvr32" /s "$dll"
for extension in .vfk .vfq; do
  expect_status 0 "server path of $extension" client server "$extension" "$dll"
done

documents=("$linux"/examples/*.vfk "$linux"/examples/*.vfq)
check_thumbnails "$wine" "$windows/shell_client.exe" com "$linux" "$work" \
  "$(IFS=,; echo "${sides[*]}")" "${documents[@]}" || fail "thumbnails of the examples"

# A host that unmasks floating-point exceptions (invalid operation,
# division by zero, overflow): nothing traps, from small sizes to upscales,
# the pictures are the same, and the host's control words are as it set them.
check_thumbnails "$wine" "$windows/shell_client.exe" com-trapping "$linux" "$work/trapping" \
  1,2,7,32,96,1024 "${documents[@]}" || fail "thumbnails with floating-point exceptions unmasked"

# A 16384 x 16384 stored picture (1 GiB): the 32-bit library too must make
# its thumbnail, in memory bounded by the thumbnail.
"$linux/tests/support/make_huge_document" "$work/huge.vfq" || fail "writing huge.vfq"
check_thumbnails "$wine" "$windows/shell_client.exe" com "$linux" "$work" 256 "$work/huge.vfq" ||
  fail "the thumbnail of a 16384 x 16384 picture"

head -c 300 "$linux/examples/large.vfk" >"$work/damaged.vfk"
expect_status 1 "damaged document" client thumbnails "$(windows_name "$work/out")" 96 \
  "$(windows_name "$work/damaged.vfk")"
[[ ! -e $work/out/damaged.vfk.96.rows ]] || fail "a bitmap for the damaged document"

# Every document that ever broke a loader: a picture or none as its name
# says, never a crash (status 2 or more). The fault documents must be there;
# the folder of documents fuzzing found appears with the first one.
regressions=("$linux"/regressions/*)
[[ -f ${regressions[0]} ]] || fail "no fault documents in $linux/regressions"
if [[ -d $root/tests/regressions/found/documents ]]; then
  regressions+=("$root"/tests/regressions/found/documents/*)
  [[ -f ${regressions[-1]} ]] || fail "no documents in tests/regressions/found/documents"
fi
for document in "${regressions[@]}"; do
  [[ -f $document ]] || continue
  status=0
  client thumbnails "$(windows_name "$work/out")" 96 "$(windows_name "$document")" 2>/dev/null ||
    status=$?
  case $(basename "$document") in
    *.thumbnail.*) ((status == 0)) || fail "$(basename "$document"): status $status, expected 0" ;;
    *.none.*) ((status == 1)) || fail "$(basename "$document"): status $status, expected 1" ;;
    *) ((status <= 1)) || fail "$(basename "$document"): status $status" ;;
  esac
done

expect_status 0 "regsvr32 /u" "$wine" "$regsvr32" /u /s "$dll"
key_absent 'HKCR\CLSID\{520253B3-A2A2-4A9E-9FD6-54A1FD2EE8E9}'
key_absent 'HKCR\CLSID\{E9F2C83C-FF7E-45FF-8452-36E2503CD8CB}'
key_absent 'HKCR\.vfk\shellex\{e357fccd-a995-4576-b01f-234630154e96}'
key_absent 'HKCR\.vfq\shellex\{e357fccd-a995-4576-b01f-234630154e96}'
# regsvr32 reports a failing DllUnregisterServer with status 5.
expect_status 5 "regsvr32 /u again" "$wine" "$regsvr32" /u /s "$dll"

# Installed for this user only (no administrator): the shell's lookup finds
# the user's keys and our path; nothing is written machine-wide. Wine's COM
# sees the machine's classes alone (Windows merges the user's over them), so
# the handler is not created through COM here.
expect_status 0 "regsvr32 /n /i:user" "$wine" "$regsvr32" /s /n /i:user "$dll"
for extension in .vfk .vfq; do
  expect_status 0 "the user's server path of $extension" client server "$extension" "$dll" \
    --path-only
done
key_absent 'HKLM\Software\Classes\CLSID\{520253B3-A2A2-4A9E-9FD6-54A1FD2EE8E9}'
key_absent 'HKLM\Software\Classes\CLSID\{E9F2C83C-FF7E-45FF-8452-36E2503CD8CB}'
expect_status 0 "regsvr32 /u /n /i:user" "$wine" "$regsvr32" /u /s /n /i:user "$dll"
key_absent 'HKCU\Software\Classes\CLSID\{520253B3-A2A2-4A9E-9FD6-54A1FD2EE8E9}'
key_absent 'HKCU\Software\Classes\CLSID\{E9F2C83C-FF7E-45FF-8452-36E2503CD8CB}'
key_absent 'HKCU\Software\Classes\.vfk\shellex\{e357fccd-a995-4576-b01f-234630154e96}'
key_absent 'HKCU\Software\Classes\.vfq\shellex\{e357fccd-a995-4576-b01f-234630154e96}'
expect_status 5 "regsvr32 /u /n /i:user again" "$wine" "$regsvr32" /u /s /n /i:user "$dll"

for key in 'HKCR\.vfk' 'HKCR\.vfq' 'HKCU\Software\Classes\.vfk' 'HKCU\Software\Classes\.vfq'; do
  "$wine" "$reg_exe" delete "$key" /f "$view" >/dev/null 2>&1 || true
done
finish shell_path "$work" "${#documents[@]} documents x ${#sides[@]} sizes"
