#!/usr/bin/env bash
# Sets up, builds the release preset and runs the main job: for now the
# block allocator's benchmark against malloc and mimalloc.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)"
build/linux/bench/memory_bench --benchmark_min_time=0.2
