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
    # The server's socket folder is named after the prefix's device and
    # inode, under /tmp/.wine-<uid> or a /tmp/wine-* folder of its own.
    server=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    tmp=${TMPDIR:-/tmp}
    for socket in "$tmp/.wine-$(id -u)/$server" "$tmp"/wine-*/"$server"; do
      [[ -d $socket ]] || continue
      rm -rf "$socket"
      rmdir "$(dirname "$socket")" 2>/dev/null || true  # only when nothing else is in it
    done
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
