#!/usr/bin/env bash
# Renders the program's windows to docs/images/ (offscreen, no display or projector needed):
# the gamma editor with all channels linked, with one channel selected, in formula mode, with
# a falling curve and with a .cal file imported, the target dialog, each tab of the DEMO-100
# control panel, and the connection dialog listing two simulated projectors; and the editor
# with one channel selected once more on a desktop at 200 %.
# Builds what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

"./scripts/install-deps.sh"
cmake -S . -B build -G Ninja > /dev/null
cmake --build build --parallel "$(nproc)" --target tonedesk-screenshots
QT_QPA_PLATFORM=offscreen build/bin/tonedesk-screenshots docs/images

# At 200 %: the same windows at device pixel ratio 2, of which the README shows the editor.
scaled="$(mktemp -d)"
trap 'rm -rf "$scaled"' EXIT
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 build/bin/tonedesk-screenshots "$scaled"
cp "$scaled/gamma-channel.png" docs/images/gamma-channel-200.png
