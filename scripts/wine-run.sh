#!/usr/bin/env bash
# Runs one Windows program under Wine, in a prefix of the build tree's own
# (created on first use). Quiet, no display needed, no desktop integration.
# scripts/test.sh keeps the prefix's wineserver alive during a test run and
# shuts it down afterwards.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${VFK_WINEPREFIX:-$root/build/windows/wine-prefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
unset DISPLAY

if [[ ! -f $WINEPREFIX/system.reg ]]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
      wineboot --init >/dev/null 2>&1 || true
      wineserver -w
    fi
  ) 9>"$WINEPREFIX.lock"
fi

exec wine "$@"
