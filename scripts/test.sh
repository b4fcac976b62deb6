#!/usr/bin/env bash
# Builds fanmesh and runs every test through CTest, first in a normal release build,
# then under AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DFANMESH_PYTHON=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DFANMESH_SANITIZE=ON
cmake --build build-sanitize -j"$jobs"
ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
# The parsers' fuzz targets (clang, libFuzzer, sanitizers): replay each seed corpus and its
# regression inputs, then fuzz each target briefly (about 60 s in all).
for target in $(ls fuzz/*.cpp | xargs -n1 basename | sed 's/\.cpp$//'); do
  FUZZ_BUILD_JOBS=$jobs bash scripts/fuzz.sh "$target" 0
done
targets=$(ls fuzz/*.cpp | wc -l)
for target in $(ls fuzz/*.cpp | xargs -n1 basename | sed 's/\.cpp$//'); do
  FUZZ_BUILD_JOBS=$jobs bash scripts/fuzz.sh "$target" $((60 / targets)) -print_final_stats=1
done
