#!/usr/bin/env bash
# The preview pane under Wine, on an X display of its own (Xvfb): regsvr32
# of VfkThumbDll.dll, then preview_host (acting as the shell's preview host)
# shows every example document in panes of several sizes, each byte for
# byte equal to what the Linux `vfkthumb --box` writes for that size and
# background, and so does a document whose stored picture is 16384 x 16384
# (kept shrunk to 4096 x 4096), also from a host that unmasks floating-point
# exceptions; damaged documents of both formats get no preview, no window
# and no information box (which would wait on this display); then
# regsvr32 /u and no preview key left.
# With MODE "threads", instead: registered, handlers on several threads
# at once; exit status 77 (skipped) where 32-bit programs run under
# emulation, which cannot run several threads.
# Usage: preview_pane.sh WINDOWS_BUILD LINUX_BUILD BITS [MODE]
set -euo pipefail

windows=$(cd "$1" && pwd)
linux=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=wine_test.bash
source "$(dirname "$0")/wine_test.bash"
# shellcheck source=../../scripts/wine.bash
source "$root/scripts/wine.bash"
set_bitness "$3"
mode=${4:-panes}
if [[ $mode == threads && $3 == 32 && -n ${VFK_X86_EMULATED:-} ]]; then
  echo "preview_pane threads: skipped: several threads in a 32-bit Wine process crash under qemu's user-mode emulation"
  exit 77
fi
wine=$root/scripts/wine-run.sh
sizes=(320x240 1000x400 17x900)
background=2b5797
preview='{8895b1c6-b41f-4c1c-a562-0d564250836f}'

if [[ ! -x $linux/vfkthumb || ! -d $linux/examples ]]; then
  echo "preview_pane: needs the linux preset built first ($linux/vfkthumb, $linux/examples)" >&2
  exit 1
fi

work=$windows/preview-pane-$mode
rm -rf "$work"
mkdir -p "$work/out" "$work/expected" "$work/documents"
cp "$windows/VfkThumbDll.dll" "$work/"
dll=$(windows_name "$work/VfkThumbDll.dll")

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# An X display of our own: Xvfb picks a free number and writes it to
# descriptor 3. Stopped when the script ends, and by timeout after 900 s
# should the script be killed before it can stop it; its output goes to a
# file, so it never holds CTest's pipe.
xvfb_pid=
stop_display() { [[ -z $xvfb_pid ]] || kill "$xvfb_pid" 2>/dev/null || true; }
trap stop_display EXIT
timeout -k 5 900 Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s $work/display ]] && break
  sleep 0.1
done
if [[ ! -s $work/display ]]; then
  echo "preview_pane: Xvfb gave no display within 10 s: $(cat "$work/xvfb.log")" >&2
  exit 1
fi
display=:$(tr -d '\n' <"$work/display")

# host ARGS...: preview_host on the display (wine-run.sh runs programs
# without one), bounded like every Wine call; its output goes through files,
# as wine-run.sh says why.
host() {
  local status=0
  DISPLAY=$display bounded "$wine_limit" "preview_host $1" "$wine_loader" \
    "$windows/preview_host.exe" "$@" >"$work/host.out" 2>"$work/host.err" || status=$?
  cat "$work/host.out"
  cat "$work/host.err" >&2
  return "$status"
}

"$wine" "$regsvr32" /u /s "$dll" >/dev/null 2>&1 || true
"$wine" "$regsvr32" /s "$dll" || fail "regsvr32"
if [[ $mode == threads ]]; then
  cp "$linux/examples/icon.vfk" "$work/documents/"
  host race 3 20 "$(windows_name "$work/documents/icon.vfk")" || fail "panes on several threads"
  "$wine" "$regsvr32" /u /s "$dll" || fail "regsvr32 /u"
  finish "preview_pane threads" "$work"
fi

# The documents are copied: preview_host renames each after Initialize.
cp "$linux"/examples/*.vfk "$linux"/examples/*.vfq "$work/documents/"
"$linux/tests/support/make_huge_document" "$work/documents/huge.vfq" || fail "writing huge.vfq"
documents=("$work"/documents/*)
windows_documents=()
for document in "${documents[@]}"; do windows_documents+=("$(windows_name "$document")"); done
mkdir -p "$work/out-trapping"
host show "$(windows_name "$work/out")" "$background" "$(IFS=,; echo "${sizes[*]}")" \
  "${windows_documents[@]}" || fail "the previews of the examples"
host --trap-floating-point show "$(windows_name "$work/out-trapping")" "$background" \
  "$(IFS=,; echo "${sizes[*]}")" "${windows_documents[@]}" ||
  fail "the previews with floating-point exceptions unmasked"
for document in "${documents[@]}"; do
  name=$(basename "$document")
  for size in "${sizes[@]}"; do
    expected=$work/expected/$name.$size
    "$linux/vfkthumb" --box "$size" --background "$background" "$document" "$expected.png"
    /usr/bin/python3 -c 'import sys; from PIL import Image
open(sys.argv[2], "wb").write(Image.open(sys.argv[1]).convert("RGB").tobytes())' \
      "$expected.png" "$expected.rgb"
    for got in "$work/out/$name.$size.rgb" "$work/out-trapping/$name.$size.rgb"; do
      if [[ ! -f $got ]]; then
        fail "$name at $size: no pane read ($got)"
      elif ! cmp -s "$expected.rgb" "$got"; then
        fail "$name at $size: the pane differs from vfkthumb --box ($got)"
      fi
    done
  done
done

# Damaged documents: the TNW ones make the loader throw, where thumbnails
# would get an information box.
mkdir -p "$work/damaged"
head -c 300 "$linux/examples/large.vfk" >"$work/damaged/damaged.vfk"
cp "$linux"/regressions/*.vfq "$work/damaged/"
for document in "$work"/damaged/*; do
  host none "$(windows_name "$document")" || fail "$(basename "$document"): not without a picture"
done
host --trap-floating-point none "$(windows_name "$work/damaged/damaged.vfk")" ||
  fail "a document without a picture, floating-point exceptions unmasked"

"$wine" "$regsvr32" /u /s "$dll" || fail "regsvr32 /u"
for extension in .vfk .vfq; do
  status=0
  answer=$("$wine" "$reg_exe" query "HKCR\\$extension\\shellex\\$preview" "$view" 2>&1) || status=$?
  if ((status == 0)) || [[ $answer != *"$not_found"* ]]; then
    fail "the preview key of $extension is still there (or reg failed: ${answer//$'\r'/})"
  fi
done

finish preview_pane "$work" "${#documents[@]} documents x ${#sizes[@]} pane sizes"
