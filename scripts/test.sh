#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the suite as built for use, the suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, the suite without the window under
# ThreadSanitizer, a short run of every fuzz target, the Debian package built afresh and
# checked, and the Windows build's suite under Wine (TERVALO_WINDOWS=0 leaves that out).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"

passed=0
failed=0
skipped=0
# Runs one preset's tests and adds them to the counts; stops at the first preset that fails.
run_tests() {
    local preset="$1"
    echo "== $preset: tests"
    local log="build/$preset/ctest-summary.log"
    local status=0
    ctest --preset "$preset" -j"$jobs" | tee "$log" || status=$?
    local summary total failures skips
    summary="$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)"
    total="$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")"
    failures="$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")"
    skips="$(grep -c '\*\*\*Skipped' "$log" || true)"
    passed=$((passed + ${total:-0} - ${failures:-0} - skips))
    failed=$((failed + ${failures:-0}))
    skipped=$((skipped + skips))
    if [ "$status" -ne 0 ]; then
        echo "tests: $passed passed, $((failed > 0 ? failed : 1)) failed, $skipped skipped"
        exit "$status"
    fi
}

for preset in dev asan-ubsan tsan; do
    echo "== $preset: build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
    run_tests "$preset"
done

echo "== fuzz: build and a short run of every target"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"
bash scripts/fuzz.sh "${TERVALO_FUZZ_SECONDS:-30}"

echo "== package: a release build made into the Debian package, its contents and validators"
bash scripts/package-linux.sh
bash scripts/check-linux-package.sh

if [ "${TERVALO_WINDOWS:-1}" != 0 ]; then
    echo "== windows: Qt for Windows, cross build with MinGW-w64, tests under Wine"
    bash scripts/setup.sh windows
    # An unpack of ../shared/windows/ when it is there, otherwise Qt built from source (long).
    bash scripts/build-qt-windows.sh >/dev/null
    bash scripts/build-expat-windows.sh >/dev/null
    cmake --preset windows >/dev/null
    cmake --build --preset windows -j"$jobs"
    bash scripts/wine-prefix.sh build/windows/wine-prefix
    run_tests windows
fi

echo "tests: $passed passed, $failed failed, $skipped skipped"
