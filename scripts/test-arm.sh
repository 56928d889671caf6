#!/usr/bin/env bash
# Cross-builds the layer, the package, the game and the headless tests for
# 64-bit ARM (aarch64-linux-gnu, the arm64 libraries through multiarch) into
# build-arm/, without the SDL2 backend, and runs the tests under qemu-user:
# there the layer takes its paths without x86 vector instructions.
#   scripts/test-arm.sh [ctest options...]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
scripts/install-deps.sh arm

build="$root/build-arm"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake" \
    -DKAPLO_SDL=OFF -DKAPLO_BENCH=OFF > /dev/null
targets=(platform_tests package_tests game_tests failure_tests windows_smoke_tests kaplo_game)
cmake --build "$build" --target "${targets[@]}" > "$build/build.log" 2>&1 ||
    { grep -E 'error|FAILED' "$build/build.log" | head -n 30 >&2; exit 1; }
file "$build/game/kaplo_game" | grep -q 'ARM aarch64' ||
    { echo "test-arm: kaplo_game is not an ARM program" >&2; exit 1; }

# No display: the desktop tests skip, as this build has no desktop backend.
cd "$build"
env -u DISPLAY ctest --output-on-failure -j2 --timeout 600 "$@"
