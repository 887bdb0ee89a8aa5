#!/usr/bin/env bash
# Times the whole vfkthumb process against vipsthumbnail (libvips-tools) on
# the same 1024 × 1024 picture: vfkthumb --size 256 on the zlib-compressed
# example document, vipsthumbnail -s 256 on that picture saved as PNG with
# libvips' default settings (taken from vfkthumb's own 1024 × 1024 output, an
# exact copy). Runs are interleaved; prints the median of each and the ratio.
# Needs the linux preset built.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-21}
vfkthumb=build/linux/vfkthumb
document=build/linux/examples/large.vfk
for needed in "$vfkthumb" "$document"; do
  [[ -e $needed ]] || { echo "compare-cli: $needed is missing; build the linux preset" >&2; exit 2; }
done
command -v vipsthumbnail >/dev/null || { echo "compare-cli: vipsthumbnail is missing (libvips-tools)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$vfkthumb" --size 1024 "$document" "$work/copy.png"
vips copy "$work/copy.png" "$work/large.png"

# Wall time of one command in microseconds.
time_us() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}

ours=()
theirs=()
for ((i = 0; i < runs; i++)); do
  ours+=("$(time_us "$vfkthumb" --size 256 "$document" "$work/ours.png")")
  theirs+=("$(time_us vipsthumbnail "$work/large.png" -s 256 -o "$work/theirs.png")")
done

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
ours_median=$(median "${ours[@]}")
theirs_median=$(median "${theirs[@]}")
echo "vfkthumb --size 256 (.vfk, zlib 1024x1024): ${ours_median} us (median of $runs)"
echo "vipsthumbnail -s 256 (.png 1024x1024):      ${theirs_median} us (median of $runs)"
awk -v a="$ours_median" -v b="$theirs_median" 'BEGIN {printf "ratio: %.2f\n", a / b}'
