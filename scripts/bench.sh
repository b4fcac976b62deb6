#!/usr/bin/env bash
# Benchmark of whole runs: builds fanmesh in Release, generates the benchmark samples, runs
# each in the no-argument mode in a fresh folder under /usr/bin/time -v and prints one table:
# points, wall seconds, CPU seconds (user + system, steadier than wall time on a busy
# machine), peak memory, faces and the share of points the mesh uses.
#
#   bash scripts/bench.sh [--quick] [--binary PATH] [SAMPLE...]
#
# --quick leaves out the 10^6-point torus. --binary runs another fanmesh build (for example
# one built from an earlier commit) on the same samples, to compare before and after. SAMPLE names pick rows of the list below (for
# example "torus-1e5 noisebox-5e3"). Samples and runs go to build/bench/. Timings depend on
# the machine and its load; this script is not part of the test suite.
# scripts/bench-hopeless.sh runs the inputs that cost most per point beside the clean torus
# of the same size and prints their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
binary=
picked=()
while [ $# -gt 0 ]; do
    case "$1" in
    --quick) quick=1 ;;
    --binary)
        binary=$(realpath "${2:?--binary needs a path}")
        shift
        ;;
    *) picked+=("$1") ;;
    esac
    shift
done

# name | generate_sample arguments
samples=(
    "torus-1e4|torus 10000 1"
    "torus-1e5|torus 100000 1"
    "torus-1e6|torus 1000000 1"
    "torus-noisy-1e4|torus 10000 2 --noise 1"
    "torus-noisy-3300|torus 3300 3 --noise 2"
    "knot-thin-1e4|knot 10000 4"
    "knot-coarse-2e3|knot 2000 13"
    "legs-thin-1e4|legs 10000 5"
    "sheets-close-1e4|sheets 10000 6"
    "plate-thin-1e4|plate 10000 7"
    "torus-uneven-1e4|torus 10000 8 --uneven 8"
    "noisebox-5e3|noisebox 5000 9"
    "noisebox-1e4|noisebox 10000 10"
    "sphere-1e5|sphere 100000 11"
    "cube-1e5|cube 100000 12"
)

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target fanmesh generate_sample mesh_check >/dev/null

bench=build/bench
mkdir -p "$bench"
printf '%-18s %9s %8s %8s %8s %9s %6s\n' sample points wall_s cpu_s peak_MB faces used
for entry in "${samples[@]}"; do
    name=${entry%%|*}
    arguments=${entry#*|}
    if [ "${#picked[@]}" -gt 0 ] && [[ ! " ${picked[*]} " == *" $name "* ]]; then
        continue
    fi
    if [ "$quick" = 1 ] && [ "$name" = torus-1e6 ]; then
        continue
    fi
    points="$bench/$name.txt"
    if [ ! -s "$points" ]; then
        # shellcheck disable=SC2086
        build/generate_sample $arguments >"$points"
    fi
    run="$bench/run-$name"
    rm -rf "$run"
    mkdir -p "$run"
    cp "$points" "$run/rawPoints.txt"
    (cd "$run" && /usr/bin/time -v "${binary:-../../fanmesh}" </dev/null >console.txt 2>time.txt) || true
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {
        n = split($2, t, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + t[i]; printf "%.2f", s }' \
        "$run/time.txt")
    cpu=$(awk -F': ' '/User time/ { u = $2 } /System time/ { s = $2 } END { printf "%.2f", u + s }' \
        "$run/time.txt")
    peak=$(awk -F': ' '/Maximum resident set size/ { printf "%.0f", $2 / 1024 }' "$run/time.txt")
    faces="-"
    used="-"
    if [ -s "$run/outOFFFile.ply" ]; then
        build/mesh_check "$points" "$run/outOFFFile.ply" >"$run/check.txt" 2>/dev/null || true
        faces=$(awk -F': ' '/^faces:/ { print $2 }' "$run/check.txt")
        used=$(awk -F': ' '/^used fraction:/ { printf "%.3f", $2 }' "$run/check.txt")
    fi
    printf '%-18s %9s %8s %8s %8s %9s %6s\n' "$name" "$(wc -l <"$points")" "$wall" "$cpu" "$peak" \
        "${faces:--}" "${used:--}"
done
