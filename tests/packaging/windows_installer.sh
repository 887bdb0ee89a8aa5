#!/usr/bin/env bash
# The Windows installer under Wine, run as users run it, each scope in a
# fresh prefix:
#   per user, silent: files, the per-user keys, the "Installed apps" entry,
#     the handler's path as the shell finds it, every example thumbnailed
#     from it byte for byte as the Linux vfkthumb does it (made from the DLL
#     the class names: Wine's COM does not see one user's classes),
#     vfkthumb.exe doctor; run
#     twice (one entry, one folder); upgraded while another process holds
#     the DLL (moved aside, removed at the next restart) and uninstalled
#     while it is held;
#   all users, silent, /D= a folder with spaces and non-ASCII letters: the
#     same machine-wide, every example thumbnailed through the shell's path
#     byte for byte as the Linux vfkthumb does it, doctor healthy; a per-user
#     install and uninstall beside it leave the machine-wide one intact;
#   the installer's version resource; each uninstall leaves
#   HKEY_CURRENT_USER\Software and HKEY_LOCAL_MACHINE\Software (both views)
#   as they were before the install, and no folder.
# The 32-bit files are installed and checked where this machine can execute
# 32-bit programs (Wine's 32-bit half); elsewhere Windows' 32-bit half is
# missing from the prefix and the installer leaves them out, as on Windows
# without WoW64.
#   windows_installer.sh INSTALLER WINDOWS_BUILD LINUX_BUILD VERSION
set -euo pipefail
installer=$(realpath "$1")
windows=$(cd "$2" && pwd)
linux=$(cd "$3" && pwd)
version=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../wine/wine_test.bash
source "$root/tests/wine/wine_test.bash"
wine=$root/scripts/wine-run.sh
client=$windows/shell_client.exe
work=$windows/installer-test
rm -rf "$work"
mkdir -p "$work"
if "$root/scripts/can-run-x86.sh" 2>/dev/null; then x86=true; else x86=false; fi
export LC_ALL=C.UTF-8 # file names with non-ASCII letters, to and from Wine

# Failures are kept in a file: some are found inside command substitutions.
fail() {
  echo "FAIL: $*" | tee -a "$work/failures" >&2
}

# A prefix of its own for each scope, removed at the end, with the keys
# every Windows user profile has.
fresh_prefix() {
  export VFK_WINEPREFIX=$work/$1-prefix
  local key
  for key in 'HKCU\Software\Classes\CLSID' \
    'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall'; do
    "$wine" reg add "$key" /f /reg:64 >/dev/null
  done
  idle
}
# The Windows name of a path inside the prefix's drive C:.
c_name() {
  local inside=${1#"$VFK_WINEPREFIX/drive_c/"}
  printf 'C:\\%s' "${inside//\//\\}"
}
trap 'idle 2>/dev/null || true; rm -rf "$work"' EXIT
# Waits until every program of the prefix has ended (an uninstaller runs on
# from a copy of itself after it returns).
idle() { bash -c 'source "$1/scripts/wine.bash"; wine_server -w' _ "$root"; }

run() {
  local status=0
  "$wine" "$@" >/dev/null 2>&1 || status=$?
  idle
  return $status
}

# exported KEY VIEW: reg.exe's export of KEY, as UTF-8 text with LF lines;
# status 1 when the key is not there. Any other failure of reg.exe is
# reported, and counted as a failure of the test.
exported() {
  local part=$work/export.reg answer status=0
  answer=$("$wine" reg export "$1" "$(windows_name "$part")" /y "$2" 2>&1) || status=$?
  if ((status != 0)); then
    [[ $answer == *"$not_found"* ]] || fail "reg export $1 $2 (status $status): $answer"
    return 1
  fi
  iconv -f UTF-16LE -t UTF-8 "$part" | tr -d '\r'
}

# The trees an uninstall must leave as it found them.
snapshot() {
  local key
  : >"$1"
  for key in 'HKCU\Software' 'HKLM\Software'; do exported "$key" /reg:64 >>"$1"; done
}

# A value's data (NAME empty: the default value), read from reg.exe's
# export, which keeps every character: strings as they are, numbers as 0x…,
# lists of strings joined by "|".
value() {
  local key=$1 name=${2:-} view=${3:-/reg:64} text
  text=$(exported "$key" "$view") || return 0
  python3 -c '
import re, sys
name, key = sys.argv[1], sys.argv[2]
lines = re.sub(r"\\\n\s*", "", sys.stdin.read()).split("\n")
wanted = "@" if not name else "\"" + name + "\""
inside = False
for line in lines:
    if line.startswith("["):
        inside = line[1:-1].lower() == key.lower()
    elif inside and line.startswith(wanted + "="):
        data = line[len(wanted) + 1:]
        if data.startswith("dword:"):
            print(hex(int(data[6:], 16)))
        elif data.startswith("hex(7):"):
            text = bytes(int(b, 16) for b in data[7:].split(",")).decode("utf-16-le")
            print(text.replace("\0", "|"))
        else:
            print(re.sub(r"\\(.)", r"\1", data[1:-1]))
' "$name" "$(sed -e 's/^HKLM/HKEY_LOCAL_MACHINE/' -e 's/^HKCU/HKEY_CURRENT_USER/' <<<"$key")" \
    <<<"$text"
}
expect_value() {
  local want=$1 got
  shift
  got=$(value "$@")
  [[ $got == "$want" ]] || fail "$1 ${2:-(default)}: '$got', expected '$want'"
}

vfk_class='{520253B3-A2A2-4A9E-9FD6-54A1FD2EE8E9}'
vfq_class='{E9F2C83C-FF7E-45FF-8452-36E2503CD8CB}'
handler='{e357fccd-a995-4576-b01f-234630154e96}'
vfk_preview='{0F7ED916-FE75-4656-91B4-E5F872879BC6}'
vfq_preview='{41634EF9-72F2-42CF-83F7-3494166F1A1C}'
preview_handler='{8895b1c6-b41f-4c1c-a562-0d564250836f}'

# check_install DIR SCOPE: what an install into DIR (a Unix path) for SCOPE
# (CurrentUser or AllUsers) leaves.
check_install() {
  local dir=$1 scope=$2 hive bits file
  if [[ $scope == CurrentUser ]]; then hive=HKCU; else hive=HKLM; fi
  bits=(bin)
  if $x86; then bits+=(bin-x86); fi
  for file in "${bits[@]/%//VfkThumbDll.dll}" "${bits[@]/%//vfkthumb.exe}" \
    share/vfkthumb/sample.vfk share/vfkthumb/sample.vfq uninstall.exe; do
    [[ -f $dir/$file ]] || fail "$scope: no $file in $dir"
  done
  if ! $x86 && [[ -e $dir/bin-x86 ]]; then
    fail "$scope: 32-bit files where Windows has no 32-bit half"
  fi

  local classes="$hive\\Software\\Classes" dll
  dll=$(c_name "$dir/bin/VfkThumbDll.dll")
  for class in "$vfk_class" "$vfq_class" "$vfk_preview" "$vfq_preview"; do
    expect_value "$dll" "$classes\\CLSID\\$class\\InprocServer32"
    expect_value Apartment "$classes\\CLSID\\$class\\InprocServer32" ThreadingModel
    # Wine's per-user classes have one view for both bitnesses: there the
    # 32-bit registration, made second, names its own DLL.
    if $x86 && [[ $scope == AllUsers ]]; then
      expect_value "$(c_name "$dir/bin-x86/VfkThumbDll.dll")" \
        "$classes\\CLSID\\$class\\InprocServer32" '' /reg:32
    fi
  done
  expect_value "$vfk_class" "$classes\\.vfk\\shellex\\$handler"
  expect_value "$vfq_class" "$classes\\.vfq\\shellex\\$handler"
  # The preview handlers: run by the shell's 64-bit preview host, listed.
  expect_value "$vfk_preview" "$classes\\.vfk\\shellex\\$preview_handler"
  expect_value "$vfq_preview" "$classes\\.vfq\\shellex\\$preview_handler"
  expect_value '{6d2b5079-2f0b-48dd-ab7f-97cec514d30b}' "$classes\\CLSID\\$vfk_preview" AppID
  if $x86 && [[ $scope == AllUsers ]]; then
    expect_value '{534A1E02-D58F-44f0-B58B-36CBED287C7C}' "$classes\\CLSID\\$vfk_preview" AppID \
      /reg:32
  fi
  local previews="$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers"
  expect_value 'Preview of .vfk documents' "$previews" "$vfk_preview"
  expect_value 'Preview of .vfq documents' "$previews" "$vfq_preview"

  local entry="$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vfkthumb"
  local uninstaller
  uninstaller="\"$(c_name "$dir/uninstall.exe")\" /$scope"
  expect_value vfkthumb "$entry" DisplayName
  expect_value "$version" "$entry" DisplayVersion
  expect_value "vfkthumb developers" "$entry" Publisher
  expect_value "$(c_name "$dir")" "$entry" InstallLocation
  expect_value "$uninstaller" "$entry" UninstallString
  expect_value "$uninstaller /S" "$entry" QuietUninstallString
  expect_value 0x1 "$entry" NoModify
  expect_value 0x1 "$entry" NoRepair
  [[ $(value "$entry" EstimatedSize) =~ ^0x[0-9a-f]+$ ]] || fail "$scope: no EstimatedSize"

  # The doctor, healthy. Wine's COM does not see classes registered for one
  # user, so there it cannot make the sample thumbnails (0x80040154).
  local report status=0
  report=$("$wine" "$dir/bin/vfkthumb.exe" doctor | tr -d '\r') || status=$?
  if [[ $scope == CurrentUser ]]; then
    report=$(grep -v 'through COM (0x80040154)$' <<<"$report")
    status=0
  fi
  if ((status != 0)) || grep -qE '^(PROBLEM|unknown) ' <<<"$report"; then
    fail "$scope: vfkthumb.exe doctor (status $status): $report"
  fi
}

# check_removed DIR BEFORE: the folder is gone and the registry as before.
check_removed() {
  local dir=$1 before=$2
  [[ ! -e $dir ]] || fail "$dir is left after uninstall: $(find "$dir" | head -5)"
  snapshot "$work/after.reg"
  if ! diff -q "$before" "$work/after.reg" >/dev/null; then
    fail "the registry differs after uninstall: $(diff "$before" "$work/after.reg" | head -20)"
  fi
}

# The installer's own version resource.
resources=$(x86_64-w64-mingw32-windres -i "$installer" -O rc 2>&1 || true)
for field in FileVersion ProductVersion; do
  grep -qF "VALUE \"$field\", \"$version\"" <<<"$resources" ||
    fail "the installer's $field is not $version"
done

# --- per user -----------------------------------------------------------
fresh_prefix user
users=$VFK_WINEPREFIX/drive_c/users/$(id -un)
dir=$users/AppData/Local/Programs/vfkthumb
snapshot "$work/before.reg"
run "$installer" /S || fail "per user: the installer failed"
check_install "$dir" CurrentUser
for extension in .vfk .vfq; do
  "$wine" "$client" server "$extension" "$(c_name "$dir/bin/VfkThumbDll.dll")" --path-only ||
    fail "per user: the shell's path to the $extension handler"
done
check_thumbnails "$wine" "$client" inproc-server "$linux" "$work/user-thumbnails" 16,256 \
  "$linux"/examples/*.vfk "$linux"/examples/*.vfq || fail "per user: thumbnails"

run "$installer" /S || fail "per user: the installer run again failed"
check_install "$dir" CurrentUser
[[ $(find "$users" -name uninstall.exe | wc -l) == 1 ]] || fail "per user: more than one install"

# Upgrade and uninstall while another process holds the DLL loaded.
# (The prefix stays busy meanwhile: the installer and, run in place with
# _?=, the uninstaller are waited for themselves.)
coproc HOLD { VFK_WINE_LIVE=1 "$wine" "$client" hold "$(c_name "$dir/bin/VfkThumbDll.dll")" 2>&1; }
read -r -t 60 loaded <&"${HOLD[0]}" || true
[[ ${loaded:-} == loaded* ]] || fail "the DLL could not be held loaded: ${loaded:-no answer}"
"$wine" "$installer" /S || fail "per user: the upgrade while the DLL is held failed"
check_install "$dir" CurrentUser
pending=$(value 'HKLM\System\CurrentControlSet\Control\Session Manager' PendingFileRenameOperations)
[[ $pending == *'\bin\ns'*.tmp* ]] ||
  fail "the held DLL is not removed at the next restart: '$pending'"
"$wine" "$dir/uninstall.exe" /S "_?=$(c_name "$dir")" ||
  fail "per user: uninstall while the DLL is held"
[[ -z $(value "HKCU\\Software\\Classes\\CLSID\\$vfk_class\\InprocServer32") ]] ||
  fail "per user: the class is still registered after uninstall"
exec {HOLD[1]}>&-
wait "$HOLD_PID" || true
idle
# Left: the uninstaller run in place, and what the restart removes.
left=$(find "$dir" -type f ! -name uninstall.exe ! -name '*.tmp' ! -name VfkThumbDll.dll)
[[ -z $left ]] || fail "per user: files left after uninstall: $left"
rm -rf "$dir"
check_removed "$dir" "$work/before.reg"
idle
rm -rf "$VFK_WINEPREFIX"

# --- all users -----------------------------------------------------------
fresh_prefix machine
dir="$VFK_WINEPREFIX/drive_c/Program Files/Vorschaubilder für Größen"
snapshot "$work/before.reg"
# /D= ends the command line unquoted, spaces and all: through cmd.
cp "$installer" "$VFK_WINEPREFIX/drive_c/setup.exe"
run cmd /c "C:\setup.exe /S /AllUsers /D=$(c_name "$dir")" || fail "all users: the installer failed"
check_install "$dir" AllUsers
check_thumbnails "$wine" "$client" com "$linux" "$work/thumbnails" 16,256 \
  "$linux"/examples/*.vfk "$linux"/examples/*.vfq || fail "all users: thumbnails through COM"

# One user installs and uninstalls beside the machine-wide install.
run "$installer" /S /CurrentUser || fail "per user beside all users: the installer failed"
userdir=$VFK_WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Programs/vfkthumb
run "$userdir/uninstall.exe" /S /CurrentUser || fail "per user beside all users: uninstall"
check_install "$dir" AllUsers

run "$dir/uninstall.exe" /S /AllUsers || fail "all users: uninstall"
[[ ! -e $userdir ]] || fail "per user beside all users: $userdir is left"
check_removed "$dir" "$work/before.reg"

failures=0
if [[ -f $work/failures ]]; then failures=$(wc -l <"$work/failures"); fi
if ((failures > 0)); then
  echo "windows_installer: $failures failures" >&2
  exit 1
fi
echo "windows_installer: per user and all users, installed, used, upgraded and removed"
