#!/usr/bin/env bash
# Builds the Debian package of the programs, tonedesk_<version>_amd64.deb, from a Release
# configuration of its own in build-package/ (the programs only: no tests, no benchmarks;
# warnings are errors; Debian's hardening flags), and leaves it in OUTDIR (default:
# build-package/). Installs what it needs first. Where lintian is installed (or with --lintian,
# which installs it) the package is checked by it, and an error of lintian fails the script.
#
#   scripts/package.sh [--lintian] [OUTDIR]
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
    echo "package.sh: $*" >&2
    exit 1
}

lintian=0
if [ "${1:-}" = "--lintian" ]; then
    lintian=1
    shift
fi
dir=build-package
outdir=${1:-$dir}

# dpkg-shlibdeps (dpkg-dev) and file find the package's dependencies.
extra=(dpkg-dev file)
if [ "$lintian" -eq 1 ]; then extra+=(lintian); fi
"./scripts/install-deps.sh" "${extra[@]}" || fail "the packages the build needs could not be installed."

# The compiler and linker flags of Debian's own packages, with every hardening feature; no
# debug information, since the package's programs are stripped.
# CMake reads no CPPFLAGS: they go with the compiler's flags.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
CXXFLAGS="$CPPFLAGS ${CXXFLAGS//-g /}"
export CXXFLAGS

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTONEDESK_WERROR=ON \
    -DTONEDESK_TESTS=OFF -DTONEDESK_BENCHMARKS=OFF -DTONEDESK_REQUIRE_ICONS=ON ||
    fail "the build could not be configured (see above)."
cmake --build "$dir" --parallel "$(nproc)" || fail "the build failed (see above)."
rm -f "$dir"/tonedesk_*.deb
(cd "$dir" && cpack -G DEB) || fail "cpack could not make the package (see above)."

debs=("$dir"/tonedesk_*_amd64.deb)
[ -f "${debs[0]}" ] || fail "cpack made no tonedesk_*_amd64.deb in $dir."
deb=${debs[0]}

# The links in /usr/bin must point into the program folder relative to themselves, never into
# cpack's staging folder.
for program in tonedesk tonedesk-cli projector-sim; do
    target=$(dpkg-deb -c "$deb" | awk -v p="./usr/bin/$program" '$6 == p { print $8 }')
    [ "$target" = "../lib/tonedesk/$program" ] ||
        fail "/usr/bin/$program in the package links to '$target', not ../lib/tonedesk/$program."
done

if command -v lintian > /dev/null; then
    echo "package.sh: lintian $deb" >&2
    lintian --display-info "$deb" || fail "lintian found errors in the package (see above)."
fi

if [ "$outdir" != "$dir" ]; then
    mkdir -p "$outdir"
    cp "$deb" "$outdir/"
    deb="$outdir/$(basename "$deb")"
fi
echo "$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")"
