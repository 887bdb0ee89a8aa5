#!/usr/bin/env bash
# Runs one Windows program under Wine, in a prefix of the build tree's own
# (created on first use), through the 64-bit loader (wine.bash says why).
# Quiet, no display needed, no desktop integration. Stopped after
# VFK_WINE_TIMEOUT seconds (default 300) with a message naming the program.
# scripts/test.sh keeps the prefix's wineserver alive during a test run and
# shuts it down afterwards.
#
# The program writes into files, copied to this script's output once it
# ends: Wine starts its desktop process from whichever program first needs
# it, and that process keeps the program's output open for as long as other
# programs use the desktop (a whole parallel test run), so a pipe there
# would keep its reader waiting (CTest, or a $(...) in a test script) long
# after the program ended. VFK_WINE_LIVE=1 passes the output through as it
# comes, for the callers that read a program while it runs.
set -euo pipefail

# shellcheck source=wine.bash
source "$(dirname "$0")/wine.bash"
unset DISPLAY

ensure_prefix
status=0
if [[ ${VFK_WINE_LIVE:-} == 1 ]]; then
  bounded "$wine_limit" "the Windows program '$*'" "$wine_loader" "$@" || status=$?
  exit "$status"
fi
output=$(mktemp)
errors=$(mktemp)
trap 'rm -f "$output" "$errors"' EXIT
bounded "$wine_limit" "the Windows program '$*'" "$wine_loader" "$@" >"$output" 2>"$errors" ||
  status=$?
cat "$output"
cat "$errors" >&2
exit "$status"
