#!/usr/bin/env bash
# Regenerates the GDI reference pixels (tests/data/gdi_reference/gdi_reference.txt)
# by running tools/gdi_probe, built for Windows with mingw-w64, on real GDI
# under Wine with a virtual display. Run it on purpose only: the file is test
# data that the conformance test compares the portable layer against.
#   scripts/gdi-reference.sh [SEED]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
scripts/install-deps.sh windows

build="$root/build-windows"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" > /dev/null
cmake --build "$build" --target gdi_probe > /dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_cmd=wine
command -v wine64 > /dev/null && wine_cmd=wine64

echo "gdi-reference: running the probe under $($wine_cmd --version)"
timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$wine_cmd" "$build/tools/gdi_probe/gdi_probe.exe" "Z:$work/reference.txt" ${1:-} \
    > "$work/probe.log" 2>&1 || { cat "$work/probe.log" >&2; exit 1; }
grep -q '^0 ' "$work/reference.txt" || { echo "gdi-reference: no cases written" >&2; exit 1; }

out="$root/tests/data/gdi_reference/gdi_reference.txt"
mkdir -p "$(dirname "$out")"
{
    head -n 1 "$work/reference.txt"
    echo "# drawn by $($wine_cmd --version) on a 32-bit memory DC; regenerate with scripts/gdi-reference.sh"
    tail -n +2 "$work/reference.txt"
} > "$out"
echo "gdi-reference: $(grep -vc '^#' "$out") cases, $(wc -c < "$out") bytes in ${out#$root/}"
