#!/usr/bin/env bash
# Batch throughput: vfkthumb --jobs 1 and --jobs 2 --size 256 over 40 copies
# of the zlib-compressed 1024 × 1024 example, in documents per second
# (median of several runs of each). Needs the linux preset built.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-7}
copies=40
vfkthumb=build/linux/vfkthumb
document=build/linux/examples/large.vfk
for needed in "$vfkthumb" "$document"; do
  [[ -e $needed ]] || { echo "compare-batch: $needed is missing; build the linux preset" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in" "$work/out"
for ((i = 0; i < copies; i++)); do cp "$document" "$work/in/large-$i.vfk"; done

# Wall time of one batch in microseconds.
time_us() {
  local start end
  start=$(date +%s%N)
  "$vfkthumb" --size 256 --jobs "$1" --output-dir "$work/out" "$work"/in/*.vfk >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
for jobs in 1 2; do
  times=()
  for ((i = 0; i < runs; i++)); do times+=("$(time_us "$jobs")"); done
  us=$(median "${times[@]}")
  awk -v n="$copies" -v us="$us" -v j="$jobs" -v r="$runs" \
    'BEGIN {printf "--jobs %d: %.1f documents/s (%d documents in %d us, median of %d)\n", j, n / (us / 1e6), n, us, r}'
done
