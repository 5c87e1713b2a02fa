#!/usr/bin/env bash
# Installs what the program needs, builds it and starts it with a simulated projector as its
# peer, so that it works without hardware. The demo keeps its own profile in build/demo-profile
# and never touches the machine's serial ports.
#
# Without a display (no DISPLAY or WAYLAND_DISPLAY, and no QT_QPA_PLATFORM chosen by the user)
# nobody could see the program's windows, so the script runs the program's session with
# tonedesk-cli instead: it scans the ports, writes bank 0 of the DEMO-100 model's first gamma
# file into the simulated projector and prints the blocks the projector stored. Each step that
# fails stops the script with a message and exit status 1.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
    echo "run.sh: $*" >&2
    exit 1
}

"./scripts/install-deps.sh" || fail "the packages the program needs could not be installed (see above)."
cmake -S . -B build -G Ninja -DTONEDESK_TESTS=OFF -DTONEDESK_BENCHMARKS=OFF ||
    fail "the build could not be configured (see above)."
cmake --build build --parallel "$(nproc)" || fail "the build failed (see above)."

bin=build/bin
if [ ! -x "$bin/tonedesk" ] || [ ! -x "$bin/tonedesk-cli" ] || [ ! -x "$bin/projector-sim" ]; then
    fail "the program is not built: build/bin/tonedesk, tonedesk-cli or projector-sim is missing."
fi

profile="$PWD/build/demo-profile"
mkdir -p "$profile/VANTO"
link="$profile/projector"
simLog="$profile/projector-sim.log"
dump="$profile/gamma-dump.txt"
# The program's own record of every command and answer (--log), kept for one run.
serviceLog="$profile/service.log"
rm -f "$link" "$dump" "$serviceLog"
# The demo projector starts with a value for every code of the DEMO-100 model file (see
# projector-sim --help). It logs every command and answer, and keeps the gamma blocks it stored
# in a file.
"$bin/projector-sim" --name DEMO-100 --baud 38400 --link "$link" --dump-gamma "$dump" --verbose \
    > /dev/null 2> "$simLog" &
sim=$!
stopSimulator() {
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
}
trap stopSimulator EXIT
for _ in $(seq 50); do
    [ -e "$link" ] && [ -e "$dump" ] && break
    kill -0 "$sim" 2>/dev/null || break
    sleep 0.1
done
if [ ! -e "$link" ]; then
    fail "the simulated projector did not start; its log ($simLog) says: $(cat "$simLog")"
fi

# The simulated projector is COM1 and no other port exists for the demo: any PORTS section the
# demo profile has is replaced, whatever else the program keeps there stays.
conf="$profile/VANTO/Vanto Tonedesk.conf"
touch "$conf"
awk '/^[[:space:]]*\[/ { skip = ($1 == "[PORTS]") } !skip' "$conf" > "$conf.new"
printf '[PORTS]\nSYSTEM=0\nCOM1=%s\n' "$link" >> "$conf.new"
mv "$conf.new" "$conf"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    XDG_CONFIG_HOME="$profile" "$bin/tonedesk" --log "$serviceLog"
    exit
fi

# No display: the program's session through tonedesk-cli, with the demo profile.
cli() { XDG_CONFIG_HOME="$profile" "$bin/tonedesk-cli" "$@"; }
# The commands that talk to the projector append their exchanges to the service log.
cliLogged() { cli "$1" --log "$serviceLog" "${@:2}"; }
simulatorNote() {
    if ! kill -0 "$sim" 2>/dev/null; then
        echo "run.sh: the simulated projector is no longer running."
    fi
    echo "run.sh: its log of commands and answers: $simLog"
}

echo "No display found (DISPLAY and WAYLAND_DISPLAY are not set): the program's windows cannot"
echo "be shown here. Running its session with tonedesk-cli against the simulated projector."
echo

echo "1. Scan for projectors (tonedesk-cli scan; the demo profile has only COM1):"
if ! found=$(cliLogged scan --timeout 60); then
    simulatorNote >&2
    fail "the scan listed no projector with a model file."
fi
printf '%s\n' "$found" | sed 's/^/   /'
if ! entry=$(printf '%s\n' "$found" | grep -m1 '^COM[0-9]* / DEMO-100 / [0-9]*$'); then
    fail "the scan did not list the DEMO-100 projector."
fi
port=${entry%% / *}
port=${port#COM}
baud=${entry##* / }
echo

model="$bin/DEMO-100.ini"
gammaName=$(sed -n 's/^GAMMAFILE1=//p' "$model" | tr -d '\r' | sed -n 1p)
[ -n "$gammaName" ] || fail "the model file $model names no GAMMAFILE1."
gamma="$bin/$gammaName"
[ -f "$gamma" ] || fail "the gamma file $gamma that $model names is missing."
levels="$profile/levels.txt"
echo "2. Write bank 0 with the tables of $gammaName (the model's GAMMAFILE1) to COM$port"
echo "   at $baud bit/s (tonedesk-cli write-gamma --port $port --baud $baud --bank 0 $gamma):"
cli levels "$gamma" > "$levels" || fail "tonedesk-cli could not read the level tables of $gamma."
if ! cliLogged write-gamma --timeout 120 --port "$port" --baud "$baud" --bank 0 "$gamma"; then
    simulatorNote >&2
    fail "the gamma tables were not written."
fi
# What the projector's log shows: the announces ("GAMM   n") and blocks answered OK.
read -r announces blocks refused < <(awk '
    / << GAMM / { kind = "announce"; next }
    / << gamma block / { kind = "block"; next }
    / >> OK<13>$/ { if (kind == "announce") a++; if (kind == "block") b++ }
    / >> ERR<13>$/ { if (kind != "") e++ }
    { kind = "" }
    END { print a + 0, b + 0, e + 0 }' "$simLog")
echo "   Done: the projector's log shows $announces announces and $blocks blocks answered OK."
if [ "$refused" -gt 0 ]; then
    echo "   ($refused of its gamma answers were ERR; those blocks were sent again and taken.)"
fi
echo

echo "3. The blocks the projector stored (from projector-sim --dump-gamma):"
if ! python3 scripts/gamma-dump-summary.py "$dump" "$levels" 0 | sed 's/^/   /'; then
    simulatorNote >&2
    fail "the projector did not store the blocks of bank 0 as written."
fi
echo

echo "4. The conversation as the program logged it (tonedesk-cli --log; last lines of"
echo "   $serviceLog):"
if [ -s "$serviceLog" ]; then
    tail -n 12 "$serviceLog" | sed 's/^/   /'
    echo "   ($(wc -l < "$serviceLog") lines in all: one per command, answer, open, close or time-out.)"
else
    echo "   (the log is empty or missing)"
fi
echo

echo "Done. To see the program's windows, run scripts/run.sh in a desktop session, over"
echo "'ssh -X' from a machine with a display, or under a virtual display:"
echo "'xvfb-run scripts/run.sh' (Debian package xvfb)."
