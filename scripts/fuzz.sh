#!/usr/bin/env bash
# The fuzz targets under libFuzzer with the address and undefined-behaviour sanitizers, each for a
# bounded time over a copy of its corpus, built in build-fuzz/ with clang. Without clang++ the
# timed run is skipped; CTest runs the same targets as plain programs in every configuration.
#   scripts/fuzz.sh [SECONDS]    seconds for each target (30 by default)
# A crash, a hang, a leak or a sanitizer report fails the run. The input that found it is left in
# build-fuzz/fuzz-runs/TARGET/ (crash-*, timeout-*, leak-*): keep it in the target's corpus.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
if ! command -v clang++ >/dev/null 2>&1; then
    echo "fuzz: clang++ is not installed: the timed libFuzzer run is skipped"
    exit 0
fi

dir=build-fuzz
# The whole core under the sanitizers too, not only the sources each target builds again.
cmake -S . -B "$dir" -G Ninja -DTONEDESK_WERROR=ON -DTONEDESK_FUZZ=ON -DTONEDESK_SANITIZE=ON \
    -DCMAKE_CXX_COMPILER=clang++ -DTONEDESK_UI=OFF -DTONEDESK_BENCHMARKS=OFF
mapfile -t targets < <(cut -d' ' -f1 "$dir/fuzz-targets.txt")
cmake --build "$dir" --parallel "$(nproc)" --target "${targets[@]}"

failed=()
while read -r target corpus; do
    work=$dir/fuzz-runs/$target
    rm -rf "$work"
    mkdir -p "$work/corpus"
    for source in $corpus; do
        if [ -d "$source" ]; then
            cp -r "$source"/. "$work/corpus/"
        else
            cp "$source" "$work/corpus/"
        fi
    done
    echo "fuzz: $target for $seconds s"
    if ! "$dir/bin/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" >"$work/log" 2>&1; then
        tail -n 40 "$work/log" >&2
        failed+=("$target")
    fi
    grep -E '^stat::number_of_executed_units|^Done' "$work/log" || true
done <"$dir/fuzz-targets.txt"

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz: FAILED: ${failed[*]} (inputs in $dir/fuzz-runs/)" >&2
    exit 1
fi
echo "fuzz: every target ran $seconds s without a fault"
