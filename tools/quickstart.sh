#!/usr/bin/env bash
# From a fresh clone to a trained model: installs the Debian packages the programs need, builds
# kelvor, kelvor-predict and kelvor-prep (not the tests, fuzz targets or benchmarks) and trains
# on the shipped example set in examples/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_packages.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKELVOR_BUILD_TESTS=OFF -DKELVOR_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)" --target kelvor kelvor-predict kelvor-prep
cd examples
../build/kelvor "$@"
