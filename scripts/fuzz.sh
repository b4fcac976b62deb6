#!/usr/bin/env bash
# Runs one libFuzzer target for a given time: scripts/fuzz.sh TARGET SECONDS [extra libFuzzer
# options]. TARGET is a file name in fuzz/ without .cpp (point_file, settings_file, ...).
# The fuzzer starts from the seed corpus fuzz/corpus/TARGET and keeps what it finds in
# build-fuzz/corpus/TARGET; crashing inputs go to build-fuzz/artifacts/TARGET/ (copy them
# to fuzz/regressions/TARGET/ once fixed). SECONDS 0 only replays the corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: scripts/fuzz.sh TARGET SECONDS}
seconds=${2:?usage: scripts/fuzz.sh TARGET SECONDS}
shift 2
[ -f "fuzz/$target.cpp" ] || { echo "fuzz.sh: no target fuzz/$target.cpp" >&2; exit 2; }
jobs=${FUZZ_BUILD_JOBS:-2}
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DFANMESH_FUZZ=ON > /dev/null
cmake --build build-fuzz -j"$jobs" --target "fuzz_$target" > /dev/null
mkdir -p "build-fuzz/corpus/$target" "build-fuzz/artifacts/$target"
seeds=("fuzz/corpus/$target")
[ -d "fuzz/regressions/$target" ] && seeds+=("fuzz/regressions/$target")
if [ "$seconds" -eq 0 ]; then
    exec "build-fuzz/fuzz_$target" -runs=0 "${seeds[@]}" "$@"
fi
exec "build-fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
    -artifact_prefix="build-fuzz/artifacts/$target/" "$@" "build-fuzz/corpus/$target" "${seeds[@]}"
