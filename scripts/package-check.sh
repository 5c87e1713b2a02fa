#!/usr/bin/env bash
# Checks the Debian package as a user meets it, in a bare Debian 12 root (as root): installs it
# with every dependency, runs tonedesk-cli, finds its manual page, lets tonedesk-cli scan find
# the packaged projector-sim, starts the program without a display up to its connection dialog,
# and removes the package again. Stops with a message at the first step that fails.
#
#   scripts/package-check.sh [--skip-man] DEB
#
# --skip-man passes over the manual page step, for a package built from a tree without them.
#   ../shared/tools/fresh-debian --bind OUTDIR:/work/out scripts/package-check.sh /work/out/tonedesk_*.deb
set -euo pipefail

skipMan=0
if [ "${1:-}" = "--skip-man" ]; then
    skipMan=1
    shift
fi
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "usage: scripts/package-check.sh [--skip-man] DEB (an existing tonedesk_*.deb)" >&2
    exit 2
fi
deb=$(realpath "$1")
work=$(mktemp -d)
sim=""
app=""
finish() {
    for pid in $app $sim; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap finish EXIT

step=0
begin() {
    step=$((step + 1))
    echo "package-check: $step. $*"
}
fail() {
    echo "package-check: FAILED at step $step: $*" >&2
    exit 1
}
export DEBIAN_FRONTEND=noninteractive

begin "install $(basename "$deb") with its dependencies"
apt-get update -q > "$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get update failed."; }
apt-get install -y -q "$deb" >> "$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get install of the package failed."; }

begin "tonedesk-cli --version"
version=$(tonedesk-cli --version) || fail "tonedesk-cli --version failed."
echo "   $version"
[[ $version == "tonedesk-cli "* ]] || fail "tonedesk-cli --version printed '$version'."

begin "man -w tonedesk-cli"
if [ "$skipMan" -eq 1 ]; then
    echo "   passed over (--skip-man)"
else
    apt-get install -y -q --no-install-recommends man-db >> "$work/apt.log" 2>&1 ||
        { cat "$work/apt.log" >&2; fail "man-db could not be installed."; }
    page=$(man -w tonedesk-cli 2>&1) || fail "no manual page for tonedesk-cli: $page"
    echo "   $page"
fi

begin "tonedesk-cli scan finds the packaged projector-sim as COM1"
link="$work/projector"
projector-sim --name DEMO-100 --baud 38400 --link "$link" > /dev/null 2> "$work/sim.log" &
sim=$!
for _ in $(seq 100); do
    [ -e "$link" ] && break
    kill -0 "$sim" 2>/dev/null || break
    sleep 0.1
done
[ -e "$link" ] || fail "projector-sim did not start: $(cat "$work/sim.log")"
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/VANTO"
printf '[PORTS]\nSYSTEM=0\nCOM1=%s\n' "$link" > "$XDG_CONFIG_HOME/VANTO/Vanto Tonedesk.conf"
found=$(tonedesk-cli scan --timeout 60 2>&1) || fail "tonedesk-cli scan failed: $found"
echo "$found" | sed 's/^/   /'
grep -qx 'COM1 / DEMO-100 / 38400' <<< "$found" || fail "the scan did not list COM1 / DEMO-100 / 38400."

# The program states its start-up steps in the logging category tonedesk.app (off by default).
begin "tonedesk starts without a display and shows its connection dialog"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
: > "$work/app.log"
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="tonedesk.app.info=true" tonedesk > "$work/app.log" 2>&1 &
app=$!
shown=0
for _ in $(seq 600); do
    if grep -q "connection dialog shown" "$work/app.log"; then
        shown=1
        break
    fi
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
if [ "$shown" -ne 1 ]; then
    cat "$work/app.log" >&2
    fail "tonedesk did not reach its connection dialog within 60 s."
fi
sed 's/^/   /' "$work/app.log"
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
app=""
kill "$sim" 2>/dev/null || true
wait "$sim" 2>/dev/null || true
sim=""

begin "apt-get remove tonedesk leaves nothing in the program folder"
apt-get remove -y -q tonedesk >> "$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get remove tonedesk failed."; }
[ ! -e /usr/lib/tonedesk ] || fail "/usr/lib/tonedesk is still there: $(find /usr/lib/tonedesk | head)"
for program in tonedesk tonedesk-cli projector-sim; do
    [ ! -e "/usr/bin/$program" ] && [ ! -L "/usr/bin/$program" ] || fail "/usr/bin/$program is still there."
done

echo "package-check: every step passed."
