#!/usr/bin/env bash
# Installs the build into a staging /usr/local, checks that the installed
# MIME types are told apart, and runs the thumbnailer the way GNOME's
# thumbnail factory does: the Exec line of the installed
# .thumbnailer file, inside bubblewrap with only /usr visible (the staging
# folder bound at /usr/local), no network, the input under the factory's
# temporary name and the output into a folder bound at /tmp. Every example at
# 128, 256, 512 and 1024 must give a PNG of that size whose pixels equal
# vfkthumb's own output and whose text chunks give the stored picture's size.
#   thumbnailer_sandbox.sh BUILD_DIR   (VFK_SANDBOX_SYSTEM: see sandbox.bash)
set -euo pipefail

build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck source=sandbox.bash
source "$(dirname "$0")/sandbox.bash"
stage_install "$build" "$work/usr-local"
share=$(installed_share "$work/usr-local")
entry=$share/thumbnailers/vfkthumb.thumbnailer
exec_line=$(sed -n 's/^Exec=//p' "$entry")
[[ -n $exec_line ]] || { echo "no Exec line in $entry" >&2; exit 1; }

# The installed MIME package tells both formats by extension and, for a
# file without one, by its first bytes.
mime_type() { XDG_DATA_DIRS=$share:/usr/share xdg-mime query filetype "$1"; }
for name in large.vfk large.vfq; do
  want=application/x-${name##*.}
  cp "$build/examples/$name" "$work/no-extension"
  for file in "$build/examples/$name" "$work/no-extension"; do
    got=$(mime_type "$file")
    [[ $got == "$want" ]] || { echo "FAIL MIME type of $file: $got, not $want" >&2; exit 1; }
  done
done

# The stored picture of each example, as make_examples writes them.
declare -A stored=(
  [landscape.vfk]=320x200 [icon.vfk]=64x64 [portrait.vfk]=150x240 [large.vfk]=1024x1024
  [landscape.vfq]=320x200 [icon.vfq]=64x64 [large.vfq]=1024x1024
)

failures=0
for name in "${!stored[@]}"; do
  document=$build/examples/$name
  extension=${name##*.}
  for size in 128 256 512 1024; do
    out=$work/out-$name-$size
    mkdir "$out"
    input=/tmp/gnome-desktop-file-to-thumbnail.$extension
    command=${exec_line//%s/$size}
    command=${command//%i/$input}
    command=${command//%o//tmp/gnome-desktop-thumbnailer.png}
    # shellcheck disable=SC2086  # the Exec line is split into words, as the factory does
    if ! in_desktop_sandbox "$work/usr-local" --bind "$out" /tmp --ro-bind "$document" "$input" \
      -- $command; then
      echo "FAIL $name at $size: the sandboxed thumbnailer failed" >&2
      failures=$((failures + 1))
      continue
    fi
    "$build/vfkthumb" --size "$size" "$document" "$work/reference.png"
    if ! /usr/bin/python3 - "$out/gnome-desktop-thumbnailer.png" "$work/reference.png" "$size" \
      "${stored[$name]}" <<'PYTHON'; then
import sys
from PIL import Image

path, reference, size, stored = sys.argv[1:]
width, height = stored.split("x")
picture = Image.open(path)
problems = []
if picture.size != (int(size), int(size)):
    problems.append(f"size {picture.size}")
if picture.mode != "RGBA" or picture.tobytes() != Image.open(reference).tobytes():
    problems.append("pixels differ from vfkthumb's own output")
if (picture.text.get("Thumb::Image::Width"), picture.text.get("Thumb::Image::Height")) != (width, height):
    problems.append(f"text chunks {picture.text}")
if problems:
    sys.exit("; ".join(problems))
PYTHON
      echo "FAIL $name at $size" >&2
      failures=$((failures + 1))
    fi
  done
done
echo "thumbnailer in the sandbox: ${#stored[@]} documents x 4 sizes, $failures failed"
((failures == 0))
