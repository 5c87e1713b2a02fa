#!/usr/bin/env bash
# Checks a model author's working folder as docs/MODEL-FILES.md lays it out: in a copy of the
# folder, builds each bundle with the documented command (rcc in the bundle's source folder,
# the bundle written beside the model file), then runs tonedesk-cli lint on the model file.
#   lint-model-folder.sh RCC TONEDESK_CLI FOLDER WORK
set -euo pipefail
rcc=$1 cli=$2 folder=$3 work=$4

rm -rf "$work"
mkdir -p "$work"
cp -R "$folder"/. "$work"/
models=("$work"/*.ini)
[ ${#models[@]} -eq 1 ] && [ -f "${models[0]}" ] || { echo "expected one model file in $folder" >&2; exit 1; }
bundles=0
for qrc in "$work"/*/*.qrc; do
    [ -f "$qrc" ] || continue
    (cd "$(dirname "$qrc")" && "$rcc" --binary -o "../$(basename "$qrc" .qrc).rcc" "$(basename "$qrc")")
    bundles=$((bundles + 1))
done
[ "$bundles" -gt 0 ] || { echo "no bundle source (*/NAME.qrc) in $folder" >&2; exit 1; }
"$cli" lint "${models[0]}"
