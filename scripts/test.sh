#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the suite as built for use, the suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"

for preset in dev asan-ubsan; do
    echo "== $preset: build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
    echo "== $preset: tests"
    ctest --preset "$preset" -j"$jobs"
done

echo "== fuzz: build and a short run of every target"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"
bash scripts/fuzz.sh "${TERVALO_FUZZ_SECONDS:-30}"
