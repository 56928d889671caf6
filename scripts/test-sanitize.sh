#!/usr/bin/env bash
# Builds the whole project and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (KAPLO_SANITIZE) into build-asan/ (or the folder
# given as $1) and runs every test with CTest. Any finding fails its test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir="${1:-build-asan}"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAPLO_SANITIZE=ON -DKAPLO_BENCH=OFF > /dev/null
cmake --build "$dir"
# allocator_may_return_null: an allocation too large to make returns NULL, as
# the C library's would, since the layer's callers check for it.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$(pwd)/fuzz/lsan.supp"
cd "$dir"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 --timeout 600
