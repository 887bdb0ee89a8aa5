#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang, ASan, UBSan), one per
# document format, and runs each for a bounded time, seeded with the small
# example documents of the linux build (build/linux/examples; the corpus
# grows in build/fuzz/corpus). Exits
# non-zero when a target finds a crash, a leak, a timeout or runaway memory;
# the input is left in build/fuzz/ as crash-*, leak-*, timeout-* or oom-*.
#   scripts/fuzz.sh [seconds per target]   (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

# Seeds: the small examples of each format (the large ones slow every run).
for format in vfk vfq; do
  target=${format}_fuzz
  corpus=build/fuzz/corpus/$target
  mkdir -p "$corpus"
  for seed in build/linux/examples/{icon,landscape,portrait}.$format; do
    [[ -f $seed ]] && cp -n "$seed" "$corpus/"
  done
  echo "== fuzz $target for $seconds s"
  (cd build/fuzz && "fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=300000 -print_final_stats=1 "../../$corpus" 2>&1 | tail -n 12)
done
