#!/usr/bin/env bash
# vfkthumb doctor inside the desktop's sandbox, on a staged /usr/local
# install: healthy, then broken in each way that stops thumbnails (no
# thumbnailer entry, an entry naming a program that is not there, another
# thumbnailer entered first for our types, the program outside /usr, no MIME
# types), each named by its line and a non-zero exit status.
#   doctor.sh BUILD_DIR   (VFK_SANDBOX_SYSTEM: see sandbox.bash)
set -euo pipefail

build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=sandbox.bash
source "$(dirname "$0")/sandbox.bash"

failures=0
# check WHAT STATUS PATTERN STAGE [bwrap options...]: the doctor's exit
# status and a line matching PATTERN.
check() {
  local what=$1 want=$2 pattern=$3 stage=$4
  shift 4
  local status=0 report
  report=$(in_desktop_sandbox "$stage" --tmpfs /tmp "$@" -- vfkthumb doctor) || status=$?
  if ((status != want)) || ! grep -qE "$pattern" <<<"$report"; then
    echo "FAIL $what: status $status (expected $want), report:" >&2
    echo "$report" >&2
    failures=$((failures + 1))
  fi
}

healthy=$work/healthy
stage_install "$build" "$healthy"
check "healthy install" 0 '^ok +a 128 x 128 thumbnail of .*sample.vfq' "$healthy"
status=0
report=$(in_desktop_sandbox "$healthy" --tmpfs /tmp -- vfkthumb doctor) || status=$?
if ((status != 0)) || grep -qE '^(PROBLEM|unknown) ' <<<"$report"; then
  echo "FAIL healthy install: status $status, a line that is not ok:" >&2
  echo "$report" >&2
  failures=$((failures + 1))
fi

# Names another user of /tmp could take first: the sample thumbnail goes
# into a folder of the doctor's own.
planted=()
for pid in $(seq 1 32); do planted+=(--dir "/tmp/vfkthumb-doctor-$pid.png"); done
check "predictable names in /tmp taken" 0 '^ok +a 128 x 128 thumbnail of .*sample.vfq' \
  "$healthy" "${planted[@]}"

# An installed system: its healthy install is what there is to check.
if [[ -n $sandbox_system ]]; then
  echo "vfkthumb doctor: the install in $sandbox_system, $failures failed"
  exit $((failures > 0))
fi

# A fresh copy of the healthy install to break.
broken() {
  rm -rf "$work/broken"
  cp -a "$healthy" "$work/broken"
  echo "$work/broken"
}

stage=$(broken)
rm "$stage/share/thumbnailers/vfkthumb.thumbnailer"
check "no thumbnailer entry" 1 '^PROBLEM +application/x-vfk: no thumbnailer entry' "$stage"

stage=$(broken)
sed -i 's|^Exec=vfkthumb|Exec=/usr/local/nowhere/vfkthumb|' \
  "$stage/share/thumbnailers/vfkthumb.thumbnailer"
check "entry naming a missing program" 1 'PROBLEM .*"/usr/local/nowhere/vfkthumb", which is not' \
  "$stage"

mkdir -p "$work/home/thumbnailers"
printf '[Thumbnailer Entry]\nExec=/usr/bin/true %%i %%o\nMimeType=application/x-vfq;\n' \
  >"$work/home/thumbnailers/other.thumbnailer"
check "another thumbnailer first" 1 'PROBLEM +application/x-vfq: .*other.thumbnailer belongs to another' \
  "$healthy" --ro-bind "$work/home" /home/user --setenv XDG_DATA_HOME /home/user

mkdir -p "$work/opt/bin"
cp "$build/vfkthumb" "$work/opt/bin/"
stage=$(broken)
sed -i 's|^Exec=vfkthumb|Exec=/opt/vfk/bin/vfkthumb|' "$stage/share/thumbnailers/vfkthumb.thumbnailer"
check "program outside /usr" 1 'PROBLEM .*/opt/vfk/bin/vfkthumb, outside /usr' \
  "$stage" --ro-bind "$work/opt" /opt/vfk

stage=$(broken)
rm "$stage/share/mime/packages/vfkthumb.xml"
update-mime-database "$stage/share/mime" 2>/dev/null
check "no MIME types" 1 'PROBLEM +the MIME database calls .*sample.vfk .*, not application/x-vfk' \
  "$stage"

echo "vfkthumb doctor: 7 cases, $failures failed"
((failures == 0))
