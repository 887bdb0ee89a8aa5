#!/usr/bin/env bash
# The test command on a machine that cannot execute 32-bit x86 programs:
# with the 32-bit probe pointed at a file the kernel refuses ("Exec format
# error", as every i386 program is refused there), the windows-x86 stage
# finishes within its time limit, prints the skip line, still builds and
# checks the 32-bit files, and ends with a total that counts the stage as
# skipped and the checks as passed.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# An ELF header for a machine no kernel here runs.
probe=$work/wine
{
  printf '\x7fELF\x01\x01\x01'
  head -c 9 /dev/zero
  printf '\x02\x00\xff\xff'
  head -c 32 /dev/zero
} >"$probe"
chmod +x "$probe"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

status=0
VFK_X86_PROBE=$probe timeout -k 10 1200 "$root/scripts/test.sh" windows-x86 >"$work/output" 2>&1 ||
  status=$?
((status == 0)) || fail "the test command's exit status is $status, expected 0"
grep -qx 'windows-x86: skipped: this machine cannot execute 32-bit x86 programs' "$work/output" ||
  fail "no skip line"
checks=$(cd "$root" && ctest --preset windows-x86-built-files -N | awk '/^Total Tests:/ {print $3}')
want="total: $checks passed, 0 failed, 0 skipped; stages skipped: windows-x86 (this machine cannot execute 32-bit x86 programs)"
[[ $(tail -n 1 "$work/output") == "$want" ]] || fail "closing line '$(tail -n 1 "$work/output")', expected '$want'"

if ((failures > 0)); then
  echo "--- the test command's output:" >&2
  cat "$work/output" >&2
  exit 1
fi
echo "test command with the 32-bit probe failing: passed"
