#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang, ASan, UBSan) and runs
# each for a bounded time, seeded by the document writers
# (build/fuzz/seeds/<target>, written by make_fuzz_seeds) and with the
# format's dictionary; the corpus grows in build/fuzz/corpus/<target>.
# Exits non-zero when a target finds a crash, a leak, a timeout, runaway
# memory or an allocation above its limit; the input is left in
# build/fuzz/artifacts/<target>/. Keep what a target found, minimised
# (-minimize_crash=1), in tests/regressions/.
#   scripts/fuzz.sh [seconds per target] [target...]   (default 60, all)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(vfk_fuzz xml_shape_fuzz vfq_fuzz vfq_structured_fuzz tnw_root_fuzz page_store_fuzz
    resample_fuzz)
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
build/fuzz/fuzz/make_fuzz_seeds build/fuzz/seeds

failed=()
for target in "${targets[@]}"; do
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
  case $target in
    vfk_fuzz) options+=(-max_len=1200000 -dict=fuzz/vfk.dict) ;;
    xml_shape_fuzz) options+=(-max_len=65536 -dict=fuzz/vfk.dict) ;;
    vfq_fuzz) options+=(-max_len=300000 -dict=fuzz/vfq.dict) ;;
    # Pictures here are at most 16 MiB: an allocation far beyond is a length
    # that the file did not back.
    vfq_structured_fuzz) options+=(-max_len=4096 -malloc_limit_mb=160) ;;
    tnw_root_fuzz | page_store_fuzz) options+=(-max_len=300000 -dict=fuzz/vfq.dict) ;;
    resample_fuzz) options+=(-max_len=30000) ;;
  esac
  corpus=build/fuzz/corpus/$target
  artifacts=build/fuzz/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  echo "== fuzz $target for $seconds s"
  status=0
  build/fuzz/fuzz/"$target" "${options[@]}" -artifact_prefix="$artifacts/" "$corpus" \
    "build/fuzz/seeds/$target" >"$artifacts/log" 2>&1 || status=$?
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^(==[0-9]+==)?ERROR|^SUMMARY|^artifact_prefix|Test unit written' \
    "$artifacts/log" || true
  if ((status != 0)); then failed+=("$target"); fi
done
if ((${#failed[@]} > 0)); then
  echo "fuzz: findings in ${failed[*]} (inputs in build/fuzz/artifacts/)" >&2
  exit 1
fi
