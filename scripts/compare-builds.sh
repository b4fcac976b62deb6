#!/usr/bin/env bash
# Compares two fanmesh builds byte for byte over generated samples: a change meant to keep
# every mesh (a speed-up, a refactor) must print "same" on every row.
#
#   bash scripts/compare-builds.sh MODE OLD NEW [--large]
#
# MODE is folder (the no-argument mode in a fresh folder: every file written, the console
# without its timing lines, and the exit status) or path (`fanmesh IN -o OUT.ply -q`: the
# mesh and the exit status; extra options in the environment variable PATH_OPTIONS).
# --large adds a torus of 10^5 points. Outputs are kept per build (by checksum of the
# binary) under build/compare/, so a later comparison against the same OLD runs only NEW.
# Builds generate_sample in Release. Prints one row per sample and a summary; exits with
# status 1 when any sample differs.
set -uo pipefail
cd "$(dirname "$0")/.."
mode=${1:?MODE is folder or path}
old=$(realpath "${2:?OLD binary}")
new=$(realpath "${3:?NEW binary}")
large=${4:-}
case "$mode" in folder | path) ;; *) echo "MODE is folder or path" >&2; exit 2 ;; esac

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target generate_sample >/dev/null
samples=(
    "torus 5000 1" "torus 10000 2" "halftorus 10000 1" "sphere 10000 1" "twospheres 10000 1"
    "cube 10000 1" "knot 1549 1" "knot 3200 1" "knot 10000 1" "plate 2000 1" "plate 4000 2"
    "legs 3139 7" "legs 2180 5" "sheets 6000 4" "sheets 7944 3" "noisebox 3300 1"
    "clusters 3300 1" "torus 3300 3 --noise 2" "sheets 3300 1 --noise 1"
    "torus 10000 1 --uneven 4" "torus 2000 11 --noise 1" "knot 1300 2" "plate 10000 1 --noise 2"
)
[ "$large" = --large ] && samples+=("torus 100000 1")
store=$PWD/build/compare
mkdir -p "$store/samples"
options=${PATH_OPTIONS:-}
key=$(echo "$mode $options" | md5sum | cut -c1-8)
old_sum=$(md5sum <"$old" | cut -c1-12)
new_sum=$(md5sum <"$new" | cut -c1-12)

# Runs one build on one sample into its folder of outputs, unless already there.
run() {
    local binary=$1 points=$2 out=$3
    [ -f "$out/done" ] && return
    rm -rf "$out"
    mkdir -p "$out"
    if [ "$mode" = path ]; then
        # shellcheck disable=SC2086
        "$binary" "$points" -o "$out/mesh.ply" -q $options >/dev/null 2>/dev/null
        echo $? >"$out/status"
    else
        cp "$points" "$out/rawPoints.txt"
        (cd "$out" && "$binary" </dev/null >console.full 2>/dev/null; echo $? >status)
        rm -f "$out/rawPoints.txt"
        grep -v "^Timing for" "$out/console.full" >"$out/console.txt"
        rm -f "$out/console.full"
    fi
    touch "$out/done"
}

same=0
differ=0
for sample in "${samples[@]}"; do
    name=$(echo "$sample" | tr ' ' '_')
    points=$store/samples/$name.txt
    # shellcheck disable=SC2086
    [ -s "$points" ] || build/generate_sample $sample >"$points"
    run "$old" "$points" "$store/$old_sum/$key/$name" &
    [ "$new_sum" != "$old_sum" ] && run "$new" "$points" "$store/$new_sum/$key/$name" &
    wait
    if diff -r "$store/$old_sum/$key/$name" "$store/$new_sum/$key/$name" >/dev/null; then
        echo "same $name"
        same=$((same + 1))
    else
        echo "DIFF $name"
        differ=$((differ + 1))
    fi
done
echo "$same same, $differ different ($mode mode${options:+, $options})"
[ "$differ" = 0 ]
