#!/usr/bin/env bash
# Measures the program's performance figures on this machine and writes docs/PERFORMANCE.md:
# the gamma write and the start-up scan against simulated projectors at each rate, the start-up
# time to the connection dialog, the CPU of the resting program with 1 and 16 ports, its
# resident memory, and the drag and fit benchmarks. Builds the Release programs in build-perf/
# first. Takes about three minutes; nothing is asserted.
#
#   scripts/perf-figures.sh                      measure and write docs/PERFORMANCE.md
#   scripts/perf-figures.sh --baseline DIR [--baseline-name TEXT]
#                                                also measure the idle CPU and the gamma write of
#                                                an earlier build's programs in DIR (its bin/
#                                                folder, idle_session included), for comparison
set -euo pipefail
cd "$(dirname "$0")/.."

"./scripts/install-deps.sh"
cmake -S . -B build-perf -G Ninja -DCMAKE_BUILD_TYPE=Release -DTONEDESK_TESTS=OFF \
    -DTONEDESK_BENCHMARKS=ON -DTONEDESK_WERROR=ON
cmake --build build-perf --parallel "$(nproc)"
python3 scripts/perf-figures.py build-perf/bin docs/PERFORMANCE.md "$@"
