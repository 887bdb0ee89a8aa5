#!/usr/bin/env bash
# start: creates the Wine prefix of the Windows build if needed and keeps its
#        wineserver running, so test programs do not pay for its start-up.
# stop:  shuts that wineserver down and removes its socket folder.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${VFK_WINEPREFIX:-$root/build/windows/wine-prefix}
export WINEDEBUG=-all

case ${1:-} in
  start)
    "$root/scripts/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1 || true
    wineserver -p || true  # 2: one runs already
    ;;
  stop)
    [[ -d $WINEPREFIX ]] || exit 0
    socket=$(printf '/tmp/.wine-%d/server-%x-%x' "$(id -u)" \
      "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$socket"
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
