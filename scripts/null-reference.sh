#!/usr/bin/env bash
# Regenerates tests/data/null_handles/null_handles.txt: what real GDI (under
# Wine) does with the NULL a failed creation returns, written by
# tools/null_probe built for Windows with mingw-w64. Run it on purpose only:
# the file is test data that platform_tests compares the portable layer with.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
scripts/install-deps.sh windows

build="$root/build-windows"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" > /dev/null
cmake --build "$build" --target null_probe > "$build/null_probe_build.log" 2>&1 ||
    { grep -E 'error|FAILED' "$build/null_probe_build.log" >&2; exit 1; }

. "$root/scripts/wine-prefix.sh"
wine_cmd=wine
command -v wine64 > /dev/null && wine_cmd=wine64
timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$wine_cmd" "$build/tools/null_probe/null_probe.exe" "Z:$work/null.txt" > "$work/probe.log" 2>&1 ||
    { cat "$work/probe.log" >&2; exit 1; }

out="$root/tests/data/null_handles/null_handles.txt"
mkdir -p "$(dirname "$out")"
{
    echo "# what GDI does with NULL handles, written by tools/null_probe under $($wine_cmd --version);"
    echo "# regenerate with scripts/null-reference.sh"
    tr -d '\r' < "$work/null.txt"
} > "$out"
echo "null-reference: $(grep -vc '^#' "$out") cases in ${out#$root/}"
