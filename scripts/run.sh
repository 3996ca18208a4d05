#!/usr/bin/env bash
# Installs what is missing, builds Tervalo and opens its window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target tervalo -j"$(nproc)"
exec ./build/dev/tervalo "$@"
