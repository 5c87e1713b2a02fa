#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs from there, far
# from the build folder: they must find their bundles and model files in the installed tree.
#   install-tree.sh BUILD_DIR WITH_PROGRAM(0|1) INSTALL_DIR
set -euo pipefail
build=$1
with_program=$2
install_dir=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > "$work/install.log" || {
    cat "$work/install.log"
    exit 1
}

mkdir -p "$work/config/VANTO" "$work/runtime" "$work/elsewhere"
chmod 700 "$work/runtime"
printf '[PORTS]\nSYSTEM=0\n' > "$work/config/VANTO/Vanto Tonedesk.conf"
# No model of the user's own folder reaches the installed tree's.
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime XDG_DATA_HOME=$work/data
cd "$work/elsewhere"

fail() {
    echo "install-tree: $*" >&2
    exit 1
}

model=$("$prefix/bin/tonedesk-cli" model DEMO-100) || fail "tonedesk-cli model DEMO-100 failed"
grep -q '"resourceFile":"demo100.rcc"' <<< "$model" || fail "the installed model is not DEMO-100's: $model"
"$prefix/bin/tonedesk-cli" lint "$prefix/$install_dir/DEMO-100.ini" > "$work/lint.log" 2>&1 ||
    { cat "$work/lint.log"; fail "the installed DEMO-100 does not pass lint (bundle or gamma files missing)"; }

pages=(tonedesk-cli projector-sim)
[ "$with_program" = 1 ] && pages+=(tonedesk)
for page in "${pages[@]}"; do
    gzip -t "$prefix/share/man/man1/$page.1.gz" 2> /dev/null || fail "no manual page $page(1)"
done
[ -s "$prefix/share/bash-completion/completions/tonedesk-cli" ] ||
    fail "the bash completion of tonedesk-cli is not installed"

if [ "$with_program" = 1 ]; then
    # Without a port the program waits in its connection dialog: it is ended once shown.
    QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES=tonedesk.app.info=true \
        "$prefix/bin/tonedesk" 2> "$work/program.log" &
    program=$!
    for _ in $(seq 200); do
        grep -q "connection dialog shown" "$work/program.log" && break
        kill -0 "$program" 2> /dev/null || break
        sleep 0.1
    done
    if ! grep -q "connection dialog shown" "$work/program.log"; then
        kill "$program" 2> /dev/null || true
        cat "$work/program.log"
        fail "the installed program did not show its connection dialog"
    fi
    kill "$program"
    wait "$program" || true
    if grep -q "resource bundle not loaded" "$work/program.log"; then
        cat "$work/program.log"
        fail "the installed program did not find lumidesk.rcc"
    fi

    # The menu entry, the AppStream metadata and the icon in every size the menus use.
    share=$prefix/share
    desktop-file-validate "$share/applications/tonedesk.desktop" ||
        fail "the installed desktop entry is not valid"
    appstreamcli validate --no-net "$share/metainfo/"*.metainfo.xml > "$work/appstream.log" 2>&1 ||
        { cat "$work/appstream.log"; fail "the installed AppStream metadata is not valid"; }
    grep -q '<svg' "$share/icons/hicolor/scalable/apps/tonedesk.svg" || fail "the SVG icon is missing"
    for size in 16 22 24 32 48 64 128 256; do
        png=$share/icons/hicolor/${size}x$size/apps/tonedesk.png
        got=$(python3 -c 'import struct, sys; d = open(sys.argv[1], "rb").read(24)
print("%dx%d" % struct.unpack(">II", d[16:24]) if d[1:4] == b"PNG" else "no PNG")' "$png" 2>&1) ||
            got="missing"
        [ "$got" = "${size}x$size" ] || fail "icon $png: $got, not ${size}x$size"
    done
fi
echo "install-tree: the installed programs run from $prefix"
