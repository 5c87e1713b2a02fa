#!/usr/bin/env bash
# Installs what the program needs, builds it and starts it with a simulated projector as its
# peer, so that it works without hardware. The demo keeps its own profile in build/demo-profile
# and never touches the machine's serial ports.
set -euo pipefail
cd "$(dirname "$0")/.."

"./scripts/install-deps.sh"
cmake -S . -B build -G Ninja -DTONEDESK_TESTS=OFF -DTONEDESK_BENCHMARKS=OFF
cmake --build build --parallel "$(nproc)"

bin=build/bin
if [ ! -x "$bin/tonedesk" ] || [ ! -x "$bin/projector-sim" ]; then
    echo "The program is not built yet: build/bin/tonedesk or build/bin/projector-sim is missing." >&2
    exit 1
fi

profile="$PWD/build/demo-profile"
mkdir -p "$profile/VANTO"
link="$profile/projector"
rm -f "$link"
"$bin/projector-sim" --name DEMO-100 --baud 38400 --link "$link" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done

# The simulated projector is COM1; no other port exists for the demo.
conf="$profile/VANTO/Vanto Tonedesk.conf"
if [ ! -f "$conf" ] || ! grep -q '^\[PORTS\]' "$conf"; then
    printf '[PORTS]\nSYSTEM=0\nCOM1=%s\n' "$link" >> "$conf"
fi
XDG_CONFIG_HOME="$profile" "$bin/tonedesk"
