#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds each (default 30), starting from the
# seed corpora; findings stop the script. Build first with: cmake --preset fuzz && cmake --build --preset fuzz
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shopt -s nullglob
targets=(build/fuzz/fuzz/fuzz_*)
if ((${#targets[@]} == 0)); then
    echo "no fuzz targets built"
    exit 0
fi
for target in "${targets[@]}"; do
    [ -x "$target" ] || continue
    name="$(basename "$target")"
    corpus="build/fuzz/corpus/$name"
    mkdir -p "$corpus"
    seeds=()
    [ -d "fuzz/seeds/${name#fuzz_}" ] && seeds+=("fuzz/seeds/${name#fuzz_}")
    dict=()
    [ -f "fuzz/${name#fuzz_}.dict" ] && dict+=("-dict=fuzz/${name#fuzz_}.dict")
    echo "-- $name for ${seconds}s"
    log="build/fuzz/$name.log"
    if ! "$target" -max_total_time="$seconds" -print_final_stats=1 "${dict[@]}" "$corpus" \
        "${seeds[@]}" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "$name found a problem (the input is saved in the current folder as crash-*)"
        exit 1
    fi
    grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec' "$log" || true
done
