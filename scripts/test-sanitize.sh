#!/usr/bin/env bash
# Builds the whole project and its tests with sanitizers and runs them with
# CTest; any finding fails its test.
#   scripts/test-sanitize.sh [address|thread]
# address (the default): AddressSanitizer and UndefinedBehaviorSanitizer
# (KAPLO_SANITIZE) in build-asan/, every test.
# thread: ThreadSanitizer (KAPLO_TSAN) in build-tsan/, for the threads the
# layer starts (the headless run's watchdog). The SDL2 tests are left out: the
# X and SDL libraries are not built with the sanitizer, so it cannot see their
# locks.
set -euo pipefail
cd "$(dirname "$0")/.."
# allocator_may_return_null: an allocation too large to make returns NULL, as
# the C library's would, since the layer's callers check for it.
case "${1:-address}" in
address)
    dir=build-asan preset=asan skip=()
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=1:strict_string_checks=1:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    export LSAN_OPTIONS="suppressions=$(pwd)/fuzz/lsan.supp"
    ;;
thread)
    dir=build-tsan preset=tsan skip=(-E '^Sdl')
    export TSAN_OPTIONS="halt_on_error=1:allocator_may_return_null=1"
    ;;
*)
    echo "test-sanitize: unknown sanitizer '$1' (address or thread)" >&2
    exit 2
    ;;
esac
scripts/install-deps.sh
cmake --preset "$preset" > /dev/null
cmake --build "$dir"
cd "$dir"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 --timeout 600 "${skip[@]}"
