# Sourced by every script that runs Windows programs: the Wine settings they
# share, the loader they start programs with, and time limits on each call.

vfk_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${VFK_WINEPREFIX:-$vfk_root/build/windows/wine-prefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="

# Debian's `wine` starts every program through the 32-bit loader once
# wine32:i386 is installed, so on a machine that cannot execute 32-bit x86
# programs nothing runs at all. The 64-bit loader runs 64-bit programs
# itself and hands 32-bit ones to the 32-bit loader next to it.
wine_loader=/usr/lib/wine/wine64
export WINELOADER=$wine_loader

# The seconds one Windows program may take before it is stopped.
wine_limit=${VFK_WINE_TIMEOUT:-300}

# bounded SECONDS WHAT COMMAND...: runs COMMAND, stopped after SECONDS (and
# killed 10 s later) with a message naming WHAT; returns its status (124 or
# 137 when stopped).
bounded() {
  local limit=$1 what=$2 status=0
  shift 2
  timeout -k 10 "$limit" "$@" || status=$?
  if ((status == 124 || status == 137)); then
    echo "$what did not finish within $limit s and was stopped" >&2
  fi
  return "$status"
}

# wine_server ARGS...: the prefix's wineserver, bounded (-w waits for the
# server to exit, which a persistent one never does).
wine_server() {
  bounded 60 "wineserver $* (prefix $WINEPREFIX)" wineserver "$@"
}

# A prefix is usable once Wine has made its C: drive and filled its machine
# registry; for 32-bit programs (VFK_WINE_32BIT=1) also once it has its
# 32-bit half, which a prefix made where they cannot run lacks.
prefix_ready() {
  [[ -d $WINEPREFIX/drive_c/windows/system32 ]] &&
    grep -qF '[Software\\Microsoft\\Windows NT\\CurrentVersion]' \
      "$WINEPREFIX/system.reg" 2>/dev/null &&
    { [[ ${VFK_WINE_32BIT:-} != 1 ]] || [[ -f $WINEPREFIX/drive_c/windows/syswow64/kernel32.dll ]]; }
}

# Creates the prefix unless it is ready (one creator at a time); a half-made
# prefix is made again. Fails loudly when Wine leaves it unusable.
ensure_prefix() {
  prefix_ready && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    if ! flock -w 300 9; then
      echo "waited 300 s for another process creating the Wine prefix $WINEPREFIX" >&2
      exit 1
    fi
    prefix_ready && exit 0
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    bounded 180 "wineboot --init (creating the Wine prefix $WINEPREFIX)" \
      "$wine_loader" wineboot --init >/dev/null 2>&1 || true
    # The registry reaches its files when the server exits.
    wine_server -w || true
    if ! prefix_ready; then
      echo "creating the Wine prefix $WINEPREFIX failed: no drive_c or an empty system.reg" \
        "(does '$wine_loader --version' run?)" >&2
      exit 1
    fi
  ) 9>"$WINEPREFIX.lock"
}
