#!/usr/bin/env bash
# Renders the program's windows to docs/images/ (offscreen, no display or projector needed):
# the gamma editor with all channels linked, with one channel selected, in formula mode and with
# a falling curve, each tab of the DEMO-100 control panel, and the connection dialog listing two
# simulated projectors. Builds what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

"./scripts/install-deps.sh"
cmake -S . -B build -G Ninja > /dev/null
cmake --build build --parallel "$(nproc)" --target tonedesk-screenshots
QT_QPA_PLATFORM=offscreen build/bin/tonedesk-screenshots docs/images
