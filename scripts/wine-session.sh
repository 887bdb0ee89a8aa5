#!/usr/bin/env bash
# start: creates the Wine prefix of the Windows build if needed and keeps its
#        wineserver running, so test programs do not pay for its start-up.
# stop:  shuts that wineserver down and removes its socket folder.
set -euo pipefail

# shellcheck source=wine.bash
source "$(dirname "$0")/wine.bash"

case ${1:-} in
  start)
    ensure_prefix
    wine_server -p || true # 2: one runs already
    # Wine's own processes (services, the desktop) start with the first
    # program and outlive it: started here, they hold no test's output open
    # (CTest would wait for them to close it).
    bounded 120 "cmd /c exit 0 (starting Wine's services in $WINEPREFIX)" \
      "$wine_loader" cmd /c exit 0 >/dev/null </dev/null || true
    ;;
  stop)
    [[ -d $WINEPREFIX ]] || exit 0
    # The server's socket folder is named after the prefix's device and
    # inode, under /tmp/.wine-<uid> or a /tmp/wine-* folder of its own.
    server=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
    wine_server -k 2>/dev/null || true
    wine_server -w || true
    tmp=${TMPDIR:-/tmp}
    for socket in "$tmp/.wine-$(id -u)/$server" "$tmp"/wine-*/"$server"; do
      [[ -d $socket ]] || continue
      rm -rf "$socket"
      rmdir "$(dirname "$socket")" 2>/dev/null || true # only when nothing else is in it
    done
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
