#!/usr/bin/env bash
# Cross-builds the layer, the package, the game and the headless tests for
# 64-bit ARM (aarch64-linux-gnu, the arm64 libraries through multiarch) into
# build-arm/, without the SDL2 backend, and runs the tests under qemu-user:
# there the layer takes its paths without x86 vector instructions.
#   scripts/test-arm.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
scripts/install-deps.sh arm

build="$root/build-arm"
cmake --preset arm -B "$build" > /dev/null
targets=(gdi_tests platform_tests package_tests game_tests failure_tests windows_smoke_tests kaplo_game)
cmake --build "$build" --target "${targets[@]}" > "$build/build.log" 2>&1 ||
    { grep -E 'error|FAILED' "$build/build.log" | head -n 30 >&2; exit 1; }
file "$build/game/kaplo_game" | grep -q 'ARM aarch64' ||
    { echo "test-arm: kaplo_game is not an ARM program" >&2; exit 1; }

# Each test program runs whole under qemu-aarch64 (a process per test, as
# CTest would start, costs qemu's start-up every time). There is no display:
# this build has no desktop backend, and its tests skip or see it refused.
# Death tests are left out: gtest starts them by executing the test program
# again, which the host cannot do for an ARM program without binfmt_misc.
cd "$build/tests"
total=0
status=0
for program in gdi_tests platform_tests package_tests game_tests failure_tests windows_smoke_tests; do
    if env -u DISPLAY timeout 600 qemu-aarch64 "./$program" --gtest_filter='-*DeathTest*' \
            > "$build/$program.log" 2>&1; then
        passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$build/$program.log")
        echo "test-arm: $program: ${passed:-0} tests passed under qemu-aarch64"
        total=$((total + ${passed:-0}))
    else
        status=1
        echo "test-arm: $program failed under qemu-aarch64 (log: build-arm/$program.log):" >&2
        grep -E '^\[  FAILED  \]|Failure|error' "$build/$program.log" | head -n 20 >&2
    fi
done
echo "test-arm: $total tests passed on aarch64"
exit $status
