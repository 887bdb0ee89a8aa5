#!/usr/bin/env bash
# Times whole vfkthumb processes, the common case on Linux (the desktop's
# thumbnail factory starts one per file), with hyperfine:
#   fixed cost: vfkthumb --size 256 on the smallest example (icon.vfk)
#     against `true`;
#   large picture: vfkthumb --size 256 on the zlib-compressed 1024 × 1024
#     example against vipsthumbnail (libvips-tools) -s 256 on that picture
#     saved as PNG with libvips' default settings (taken from vfkthumb's own
#     1024 × 1024 output, an exact copy).
# Prints the median of each, the fixed cost above `true` and the ratio to
# vipsthumbnail. Needs the linux preset built.
#   compare-cli.sh [RUNS]   (default 101)
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-101}
vfkthumb=build/linux/vfkthumb
examples=build/linux/examples
for needed in "$vfkthumb" "$examples/icon.vfk" "$examples/large.vfk"; do
  [[ -e $needed ]] || { echo "compare-cli: $needed is missing; build the linux preset" >&2; exit 2; }
done
for tool in hyperfine vipsthumbnail; do
  command -v "$tool" >/dev/null || { echo "compare-cli: $tool is missing (scripts/setup.sh)" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$vfkthumb" --size 1024 "$examples/large.vfk" "$work/copy.png"
vips copy "$work/copy.png" "$work/large.png"

hyperfine -N --warmup 10 --runs "$runs" --export-json "$work/times.json" \
  "true" \
  "$vfkthumb --size 256 $examples/icon.vfk $work/icon.png" \
  "$vfkthumb --size 256 $examples/large.vfk $work/ours.png" \
  "vipsthumbnail $work/large.png -s 256 -o $work/theirs.png" >/dev/null

python3 - "$work/times.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
true, icon, ours, theirs = (r["median"] * 1000 for r in results)
print(f"true:                                        {true:7.2f} ms (median)")
print(f"vfkthumb --size 256 icon.vfk:                {icon:7.2f} ms, {icon - true:.2f} ms above true")
print(f"vfkthumb --size 256 large.vfk (zlib 1024^2): {ours:7.2f} ms")
print(f"vipsthumbnail -s 256 (.png 1024^2):          {theirs:7.2f} ms")
print(f"ratio large.vfk / vipsthumbnail: {ours / theirs:.2f}")
PY
