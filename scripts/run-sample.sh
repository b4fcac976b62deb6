#!/usr/bin/env bash
# Builds fanmesh and runs it on the bundled torus sample in a fresh folder run/;
# the mesh is written to run/outOFFFile.ply.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target fanmesh
rm -rf run
mkdir run
cp samples/torus5k.txt run/rawPoints.txt
cd run
../build/fanmesh < /dev/null
echo
echo "Mesh written to $(pwd)/outOFFFile.ply"
