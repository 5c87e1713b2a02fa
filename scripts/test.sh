#!/usr/bin/env bash
# Installs what the project needs, builds everything and runs every test. Compiler warnings are
# errors here.
#   scripts/test.sh              the normal build in build/
#   scripts/test.sh --sanitize   the core, tonedesk-cli, the tools and their tests under the
#                                address and undefined-behaviour sanitizers, in build-asan/
#   scripts/test.sh --release    the Release build with every test, in build-release/
set -euo pipefail
cd "$(dirname "$0")/.."

"./scripts/install-deps.sh"

dir=build
extra=()
case "${1:-}" in
"") ;;
--sanitize)
    dir=build-asan
    extra=(-DTONEDESK_SANITIZE=ON -DTONEDESK_UI=OFF -DTONEDESK_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug)
    ;;
--release)
    dir=build-release
    extra=(-DCMAKE_BUILD_TYPE=Release)
    ;;
*)
    echo "usage: scripts/test.sh [--sanitize | --release]" >&2
    exit 2
    ;;
esac

cmake -S . -B "$dir" -G Ninja -DTONEDESK_WERROR=ON "${extra[@]}"
cmake --build "$dir" --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)" --timeout 300
