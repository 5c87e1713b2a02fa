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
# The demo projector knows a value for every code of the DEMO-100 model file.
"$bin/projector-sim" --name DEMO-100 --baud 38400 --link "$link" \
    --value BRIT=50 --value CONT=50 --value SHRP=8 --value COLT=6500 --value PMOD=0 \
    --value INPT=0 --value MUTE=0 --value VOLM=20 --value FOCN=0 --value PATT=0 \
    --value FANS=1 --value KEYS=0 --value GAMA=0 > /dev/null &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done

# The simulated projector is COM1; no other port exists for the demo.
conf="$profile/VANTO/Vanto Tonedesk.conf"
if [ ! -f "$conf" ] || ! grep -q '^\[PORTS\]' "$conf"; then
    printf '[PORTS]\nSYSTEM=0\nCOM1=%s\n' "$link" >> "$conf"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: starting the program offscreen." >&2
    export QT_QPA_PLATFORM=offscreen
fi
XDG_CONFIG_HOME="$profile" "$bin/tonedesk"
