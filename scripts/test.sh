#!/usr/bin/env bash
# Installs every package the build and the tests need, builds from scratch and runs the whole
# suite: headless tests, display tests (each starts its own Xvfb), then the headless tests
# again under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --test
jobs=$(nproc)

scripts/check-format.sh
scripts/check-layers.sh

rm -rf build-test build-asan
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_WERROR=ON -DTAV_BENCH=ON
cmake --build build-test -j"$jobs"
ctest --test-dir build-test --output-on-failure -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTAV_WERROR=ON -DTAV_SANITIZE=ON -DTAV_WITH_X=OFF
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan -L headless --output-on-failure -j"$jobs"
