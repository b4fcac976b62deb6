#!/usr/bin/env bash
# Hopeless inputs: the classes of cloud found to cost most per point (heavy noise on thin
# or flat shapes, points filling a box, many tight clusters), each run beside the clean
# torus of the same size, in both modes, so that the bound on how much longer a bad input
# of a given size can take reads off one table. Builds fanmesh in Release and prints per
# run: sample, points, mode (path: `fanmesh IN -o OUT -q`; folder: the no-argument mode),
# user CPU seconds, peak memory, faces, and the ratio of the CPU seconds to those of the
# clean torus of the same size in the same mode.
#
#   bash scripts/bench-hopeless.sh [--binary PATH] [--size 100000|10000|3300] [--bound R]
#                                  [SAMPLE...]
#
# --binary runs another fanmesh build on the same samples and builds nothing (the samples
# come from build/generate_sample, or the one beside that binary); --size keeps the samples
# of one size; SAMPLE names pick rows. The last lines give the worst ratio of each mode;
# with --bound the script exits with status 1 when any ratio exceeds R, naming the rows, so
# the bound stated for the program is checked by a benchmark rather than by a timed test.
# Samples and runs go to build/bench/. CPU seconds are steadier than wall time on a shared
# machine, but still drift with its load; this script is not part of the test suite.
set -euo pipefail

binary=
size=
bound=
picked=()
while [ $# -gt 0 ]; do
    case "$1" in
    --binary)
        binary=$(realpath "${2:?--binary needs a path}")
        shift
        ;;
    --size)
        size=${2:?--size needs a point count}
        shift
        ;;
    --bound)
        bound=${2:?--bound needs a ratio}
        shift
        ;;
    *) picked+=("$1") ;;
    esac
    shift
done
# Paths given are taken from where the script was started, before this.
cd "$(dirname "$0")/.."

# name | generate_sample arguments. The clean torus of each size comes first: it is the
# reference of the rows after it.
samples=(
    "torus-1e5|torus 100000 1"
    "sheets-noise1-1e5|sheets 100000 1 --noise 1"
    "plate-noise2-1e5|plate 100000 1 --noise 2"
    "torus-noise2-1e5|torus 100000 1 --noise 2"
    "noisebox-1e5|noisebox 100000 1"
    "clusters-1e5|clusters 100000 1"
    "torus-1e4|torus 10000 1"
    "sheets-noise1-1e4|sheets 10000 1 --noise 1"
    "plate-noise2-1e4|plate 10000 1 --noise 2"
    "legs-noise1-1e4|legs 10000 1 --noise 1"
    "legs-noise2-1e4|legs 10000 1 --noise 2"
    "cube-noise2-1e4|cube 10000 1 --noise 2"
    "knot-noise2-1e4|knot 10000 1 --noise 2"
    "sphere-noise2-1e4|sphere 10000 1 --noise 2"
    "torus-noise2-1e4|torus 10000 1 --noise 2"
    "noisebox-1e4|noisebox 10000 1"
    "clusters-1e4|clusters 10000 1"
    "torus-3300|torus 3300 1"
    "sheets-noise1-3300|sheets 3300 1 --noise 1"
    "plate-noise2-3300|plate 3300 1 --noise 2"
    "legs-noise2-3300|legs 3300 1 --noise 2"
    "cube-noise2-3300|cube 3300 1 --noise 2"
    "torus-noise2-3300|torus 3300 3 --noise 2"
    "noisebox-3300|noisebox 3300 1"
    "clusters-3300|clusters 3300 1"
)

generate=$PWD/build/generate_sample
if [ -n "$binary" ]; then
    fanmesh=$binary
    [ -x "$generate" ] || generate=$(dirname "$binary")/generate_sample
else
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build -j"$(nproc)" --target fanmesh generate_sample >/dev/null
    fanmesh=$PWD/build/fanmesh
fi

bench=build/bench
mkdir -p "$bench"
# Runs one sample in one mode; prints "CPU_SECONDS PEAK_MB FACES".
run() {
    local points=$1 mode=$2 run=$3
    rm -rf "$run"
    mkdir -p "$run"
    local mesh
    if [ "$mode" = path ]; then
        mesh="$run/out.ply"
        /usr/bin/time -f '%U %M' -o "$run/time.txt" "$fanmesh" "$points" -o "$mesh" -q \
            >/dev/null 2>"$run/errors.txt" || true
    else
        mesh="$run/outOFFFile.ply"
        cp "$points" "$run/rawPoints.txt"
        (cd "$run" && /usr/bin/time -f '%U %M' -o time.txt "$fanmesh" </dev/null \
            >console.txt 2>errors.txt) || true
    fi
    local faces
    faces=$(awk '/^element face/ { print $3; exit }' "$mesh" 2>/dev/null || true)
    awk -v faces="${faces:--}" 'END { printf "%.2f %.0f %s\n", $1, $2 / 1024, faces }' \
        "$run/time.txt"
}

printf '%-20s %7s %-6s %7s %8s %7s %7s\n' sample points mode cpu_s peak_MB faces ratio
declare -A clean
declare -A worst worst_row
over=()
for entry in "${samples[@]}"; do
    name=${entry%%|*}
    arguments=${entry#*|}
    read -r -a words <<<"$arguments"
    count=${words[1]}
    if [ -n "$size" ] && [ "$count" != "$size" ]; then
        continue
    fi
    reference=0
    [ "${words[0]}" = torus ] && [ "${#words[@]}" = 3 ] && reference=1
    if [ "$reference" = 0 ] && [ "${#picked[@]}" -gt 0 ] &&
        [[ ! " ${picked[*]} " == *" $name "* ]]; then
        continue
    fi
    points="$PWD/$bench/$name.txt"
    if [ ! -s "$points" ]; then
        if [ ! -x "$generate" ]; then
            echo "bench-hopeless.sh: no generate_sample in build/ or beside $fanmesh" \
                "(cmake --build build --target generate_sample)" >&2
            exit 2
        fi
        "$generate" "${words[@]}" >"$points"
    fi
    for mode in path folder; do
        read -r cpu peak faces < <(run "$points" "$mode" "$PWD/$bench/hopeless-$mode-$name")
        if [ "$reference" = 1 ]; then
            clean[$count-$mode]=$cpu
        fi
        ratio=$(awk -v a="$cpu" -v b="${clean[$count-$mode]:-0}" \
            'BEGIN { if (b > 0) printf "%.1f", a / b; else print "-" }')
        printf '%-20s %7s %-6s %7s %8s %7s %7s\n' "$name" "$count" "$mode" "$cpu" "$peak" \
            "$faces" "$ratio"
        if [ "$ratio" != - ]; then
            if awk -v a="$ratio" -v b="${worst[$mode]:-0}" 'BEGIN { exit !(a > b) }'; then
                worst[$mode]=$ratio
                worst_row[$mode]=$name
            fi
            if [ -n "$bound" ] && awk -v a="$ratio" -v b="$bound" 'BEGIN { exit !(a > b) }'; then
                over+=("$name ($mode, $ratio)")
            fi
        fi
    done
done
for mode in path folder; do
    if [ -n "${worst[$mode]:-}" ]; then
        echo "worst ratio, $mode mode: ${worst[$mode]} (${worst_row[$mode]})"
    fi
done
if [ "${#over[@]}" -gt 0 ]; then
    echo "over the bound of $bound: ${over[*]}"
    exit 1
fi
