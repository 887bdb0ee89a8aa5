#!/usr/bin/env bash
# Line coverage of the readers and the image code reached by the fuzz
# corpora: builds the targets with source-based coverage (preset
# fuzz-coverage), runs each once over its corpus and seeds
# (build/fuzz/corpus, build/fuzz/seeds: run scripts/fuzz.sh first), and
# prints llvm-cov's report for src/formats, src/pagestore and src/image.
# The per-line listing is left in build/fuzz-coverage/coverage.txt.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset fuzz-coverage >/dev/null
cmake --build --preset fuzz-coverage -j "$(nproc)"
out=build/fuzz-coverage/profiles
rm -rf "$out"
mkdir -p "$out"
objects=()
for binary in build/fuzz-coverage/fuzz/*_fuzz; do
  target=$(basename "$binary")
  inputs=()
  for folder in "build/fuzz/corpus/$target" "build/fuzz/seeds/$target"; do
    [[ -d $folder ]] && inputs+=("$folder")
  done
  ((${#inputs[@]} > 0)) || continue
  LLVM_PROFILE_FILE="$out/$target.profraw" "$binary" -runs=0 -rss_limit_mb=4096 \
    -timeout=30 "${inputs[@]}" >/dev/null 2>&1 || echo "fuzz-coverage: $target stopped early" >&2
  objects+=(-object "$binary")
done
llvm-profdata merge -sparse "$out"/*.profraw -o "$out/all.profdata"
sources=(src/formats src/pagestore src/image)
llvm-cov report -instr-profile="$out/all.profdata" "${objects[@]:1}" "${sources[@]}"
llvm-cov show -instr-profile="$out/all.profdata" "${objects[@]:1}" -show-line-counts-or-regions \
  "${sources[@]}" >build/fuzz-coverage/coverage.txt
