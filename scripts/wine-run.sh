#!/usr/bin/env bash
# Runs one Windows program under Wine, in a prefix of the build tree's own
# (created on first use), through the 64-bit loader (wine.bash says why).
# Quiet, no display needed, no desktop integration. Stopped after
# VFK_WINE_TIMEOUT seconds (default 300) with a message naming the program.
# scripts/test.sh keeps the prefix's wineserver alive during a test run and
# shuts it down afterwards.
set -euo pipefail

# shellcheck source=wine.bash
source "$(dirname "$0")/wine.bash"
unset DISPLAY

ensure_prefix
bounded "$wine_limit" "the Windows program '$*'" "$wine_loader" "$@"
