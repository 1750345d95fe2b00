#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks and runs them against the simulated drive.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
install_missing_packages
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKIROTUNE_BUILD_BENCH=ON \
    -DKIROTUNE_BUILD_TESTS=OFF
cmake --build build-bench --target bench_link bench_params bench_currentloop bench_verify \
    bench_gainsearch
build-bench/bin/bench_link "${1:-100}"
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" build-bench/bin/bench_params
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" build-bench/bin/bench_currentloop
build-bench/bin/bench_verify
build-bench/bin/bench_gainsearch
