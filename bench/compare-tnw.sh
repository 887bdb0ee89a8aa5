#!/usr/bin/env bash
# Runs bench/tnw_bench (linux preset) and prints the extraction of a 256 × 256
# thumbnail from a TNW document with a 1024 × 1024 Zstandard thumbnail over
# the sum of its two main parts measured in the same run (decompressing the
# blob, resampling the picture), then the extraction's peak heap growth
# beside its budget.
set -euo pipefail
cd "$(dirname "$0")/.."

bench=build/linux/bench/tnw_bench
[[ -x $bench ]] || { echo "compare-tnw: $bench is missing; build the linux preset" >&2; exit 2; }

medians=$("$bench" --benchmark_repetitions=9 --benchmark_report_aggregates_only=true \
  2>/dev/null | awk '/_median/ {sub(/_median/, "", $1); print $1, $2}')
echo "$medians" | awk '{printf "%-22s %8.2f ms (median)\n", $1, $2}'
echo "$medians" | awk '
  /BM_ExtractThumbnail/ {whole = $2}
  /BM_DecompressBlob/ {parts += $2}
  /BM_ResamplePicture/ {parts += $2}
  END {printf "whole / (decompress + resample): %.2f\n", whole / parts}'
"$bench" --peak-memory
