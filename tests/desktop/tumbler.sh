#!/usr/bin/env bash
# XFCE's thumbnail service, the real one: Debian's tumblerd on a private
# D-Bus session, with the build installed into a staging folder that
# XDG_DATA_DIRS and PATH name, asked over D-Bus (Thumbnailer1.Queue) for
# every example at the "normal" and "large" flavours. tumblerd creates the
# output file itself and reads the picture back through its own handle;
# each thumbnail it caches must equal vfkthumb's own output pixel for pixel.
#   tumbler.sh BUILD_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
tumblerd=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/tumbler-1/tumblerd
[[ -x $tumblerd ]] || { echo "tumbler: $tumblerd is not installed (scripts/setup.sh)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck source=sandbox.bash
source "$(dirname "$0")/sandbox.bash"
stage_install "$build" "$work/usr-local"
mkdir -p "$work/home" "$work/documents"
cp "$build"/examples/*.vfk "$build"/examples/*.vfq "$work/documents/"

# Runs inside the session: starts tumblerd, queues every document once per
# flavour and waits (bounded) for its "Finished" signal, with the service's
# errors in $work/signals.
cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
work=$1 tumblerd=$2
service=org.freedesktop.thumbnails.Thumbnailer1
"$tumblerd" >"$work/tumblerd.log" 2>&1 &
for _ in $(seq 100); do
  if dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:$service 2>/dev/null | grep -q 'boolean true'; then
    break
  fi
  sleep 0.1
done
timeout 120 dbus-monitor --session "type='signal',interface='$service'" >"$work/signals" 2>&1 &
sleep 0.5
uris= types=
for document in "$work"/documents/*; do
  uris+=${uris:+,}file://$document
  types+=${types:+,}application/x-${document##*.}
done
for flavour in normal large; do
  handle=$(timeout 30 dbus-send --session --print-reply --dest=$service \
    /org/freedesktop/thumbnails/Thumbnailer1 $service.Queue "array:string:$uris" \
    "array:string:$types" "string:$flavour" string:default uint32:0 | awk '/uint32/ {print $2}')
  [[ -n $handle ]] || { echo "tumbler: Queue for $flavour gave no handle" >&2; exit 1; }
  for _ in $(seq 600); do
    if grep -A1 'member=Finished' "$work/signals" | grep -q "uint32 $handle\$"; then break; fi
    sleep 0.1
  done
  grep -A1 'member=Finished' "$work/signals" | grep -q "uint32 $handle\$" ||
    { echo "tumbler: no Finished signal for $flavour within 60 s" >&2; exit 1; }
done
SESSION

status=0
HOME=$work/home XDG_CACHE_HOME=$work/home/.cache XDG_CONFIG_HOME=$work/home/.config \
  XDG_DATA_DIRS=$work/usr-local/share:/usr/share PATH=$work/usr-local/bin:$PATH \
  timeout -k 5 300 dbus-run-session -- bash "$work/session.sh" "$work" "$tumblerd" \
  2>"$work/session.err" || status=$?
if ((status != 0)); then
  echo "FAIL: the tumbler session (status $status)" >&2
  cat "$work/session.err" "$work/tumblerd.log" >&2
  exit 1
fi

failures=0
declare -A sizes=([normal]=128 [large]=256)
for document in "$work"/documents/*; do
  name=$(basename "$document")
  hash=$(printf '%s' "file://$document" | md5sum | cut -d' ' -f1)
  for flavour in normal large; do
    cached=$work/home/.cache/thumbnails/$flavour/$hash.png
    "$build/vfkthumb" --size "${sizes[$flavour]}" "$document" "$work/reference.png"
    if [[ ! -f $cached ]]; then
      echo "FAIL $name at $flavour: tumbler cached no thumbnail" >&2
      failures=$((failures + 1))
    elif ! /usr/bin/python3 - "$cached" "$work/reference.png" <<'PYTHON'; then
import sys
from PIL import Image

cached, reference = (Image.open(path) for path in sys.argv[1:])
if cached.size != reference.size or cached.convert("RGBA").tobytes() != reference.tobytes():
    sys.exit(f"{cached.size} {cached.mode}: pixels differ from vfkthumb's own output")
PYTHON
      echo "FAIL $name at $flavour" >&2
      failures=$((failures + 1))
    fi
  done
done
if ((failures > 0)); then
  grep -B1 -A3 'member=Error' "$work/signals" >&2 || true
  cat "$work/tumblerd.log" >&2
  echo "tumbler: $failures failures" >&2
  exit 1
fi
echo "tumbler: passed ($(ls "$work/documents" | wc -l) documents x 2 flavours)"
