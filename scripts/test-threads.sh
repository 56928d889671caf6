#!/usr/bin/env bash
# Builds the project and its tests with ThreadSanitizer (KAPLO_TSAN) into
# build-tsan/ (or the folder given as $1) and runs the headless tests with
# CTest: shapes on bitmaps are drawn by two threads, and any data race between
# them fails its test. The SDL2 tests are left out: the X and SDL libraries
# are not built with the sanitizer, so it cannot see their locks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir="${1:-build-tsan}"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAPLO_TSAN=ON -DKAPLO_BENCH=OFF > /dev/null
cmake --build "$dir"
# allocator_may_return_null: as in test-sanitize.sh, a request too large to
# make returns NULL, since the layer's callers check for it.
export TSAN_OPTIONS="halt_on_error=1:allocator_may_return_null=1"
cd "$dir"
ctest --output-on-failure -j2 --timeout 600 -E '^Sdl'
