#!/usr/bin/env bash
# Installs what the project needs, builds everything and runs every test.
#   scripts/test.sh              the normal build in build/
#   scripts/test.sh --sanitize   the core, the tools and their tests under the address and
#                                undefined-behaviour sanitizers, in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

"./scripts/install-deps.sh"

dir=build
extra=()
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-asan
    extra=(-DTONEDESK_SANITIZE=ON -DTONEDESK_UI=OFF -DTONEDESK_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug)
fi

cmake -S . -B "$dir" -G Ninja "${extra[@]}"
cmake --build "$dir" --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)" --timeout 300
