#!/usr/bin/env bash
# Coverage of coarse thin parts: runs fanmesh in path mode over generated samples whose
# thinnest part (a leg, a knotted tube) is 5 to 6 point spacings across and prints, per run,
# the share of points the mesh uses, edges with more than two faces, components, boundary
# loops and the share of consistently oriented interior edges (from mesh_check), then how
# many runs use at least 97% of their points.
#
#   bash scripts/thin-coverage.sh [[--binary] PATH] [fanmesh options...]
#
# Builds fanmesh, generate_sample and mesh_check in Release; with a binary (--binary PATH,
# or PATH alone as the first argument) it builds nothing, runs that fanmesh and takes the
# two tools from build/ or from beside that binary. Samples and meshes go to build/thin/.
# Not part of the test suite.
set -uo pipefail
binary=
if [ "${1:-}" = --binary ]; then
    binary=$(realpath "${2:?--binary needs a path}")
    shift 2
elif [ -n "${1:-}" ] && [ "${1#-}" = "$1" ] && [ -f "$1" ] && [ -x "$1" ]; then
    binary=$(realpath "$1")
    shift
fi
# The binary's path is taken from where the script was started, before this.
cd "$(dirname "$0")/.." || exit 1
tools=$PWD/build
if [ -n "$binary" ]; then
    fanmesh=$binary
    if [ ! -x "$tools/generate_sample" ] || [ ! -x "$tools/mesh_check" ]; then
        tools=$(dirname "$binary")
    fi
    for tool in generate_sample mesh_check; do
        if [ ! -x "$tools/$tool" ]; then
            echo "thin-coverage.sh: no $tool in build/ or beside $binary" \
                "(cmake --build build --target generate_sample mesh_check)" >&2
            exit 2
        fi
    done
else
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build -j"$(nproc)" --target fanmesh generate_sample mesh_check >/dev/null
    fanmesh=$PWD/build/fanmesh
fi
dir=build/thin
mkdir -p "$dir"

runs=("legs 2180 5" "legs 2180 6")
for count in 2300 2500; do
    for seed in 1 2 3 4 5 6; do runs+=("legs $count $seed"); done
done
for seed in $(seq 1 12); do runs+=("legs 3139 $seed"); done
for seed in $(seq 1 12); do runs+=("knot 1549 $seed"); done
for seed in $(seq 1 12); do runs+=("knot 1300 $seed"); done

reached=0
for entry in "${runs[@]}"; do
    name=$(echo "$entry" | tr ' ' '_')
    points=$dir/$name.txt
    # shellcheck disable=SC2086
    [ -s "$points" ] || "$tools/generate_sample" $entry >"$points"
    rm -f "$dir/$name.ply"
    "$fanmesh" "$points" -o "$dir/$name.ply" -q "$@" >/dev/null 2>&1
    if [ ! -s "$dir/$name.ply" ]; then
        echo "$name: no mesh"
        continue
    fi
    row=$("$tools/mesh_check" "$points" "$dir/$name.ply" | awk -F': ' '
        /used fraction/ { used = $2 } /more than two/ { over = $2 }
        /consistent/ { consistent = $2 } /^components/ { parts = $2 } /boundary loops/ { loops = $2 }
        END { printf "%.4f used, %s edges >2 faces, %s components, %s loops, %.3f consistent",
                     used, over, parts, loops, consistent }')
    echo "$name: $row"
    used=${row%% used*}
    awk -v u="$used" 'BEGIN { exit !(u >= 0.97) }' && reached=$((reached + 1))
done
echo "at least 97% of the points used: $reached of ${#runs[@]} runs"
