#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   1. the test suite built with AddressSanitizer and UndefinedBehaviorSanitizer,
#   2. the headless tests built with ThreadSanitizer,
#   3. each fuzzer for a short bounded time (KAPLO_FUZZ_SECONDS, default 30),
#   4. the native Windows build (mingw-w64) and its tests under Wine,
#   5. learners' own programs: scripts/kaplo.sh and the installed package
#      (find_package, pkg-config, the Debian package, the mingw-w64 install),
#   6. the 64-bit ARM cross build and its headless tests under qemu-user,
#   7. the game and an example built for the web, tested in headless Chromium,
#   8. the test suite itself with CTest (headless backend; the SDL2 tests on a
#      virtual X display).
# Every stage runs even when an earlier one failed; the exit status is non-zero
# when any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows fuzz arm web || exit 1

failed=()
stage() {
    local name="$1"
    shift
    echo "==== $name (at $SECONDS s)"
    local began=$SECONDS
    # Nothing is printed after a stage that passed, so that the last lines of a
    # good run are CTest's own summary.
    if ! "$@"; then
        echo "==== $name: FAILED after $((SECONDS - began)) s"
        failed+=("$name")
    fi
}

run_suite() {
    scripts/build.sh build || return 1
    (cd build && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 --timeout 300)
}

stage sanitizers scripts/test-sanitize.sh
stage threads scripts/test-sanitize.sh thread
stage fuzzers scripts/fuzz.sh "${KAPLO_FUZZ_SECONDS:-30}"
stage windows scripts/test-windows.sh
stage install scripts/test-install.sh
stage arm scripts/test-arm.sh
stage web scripts/test-web.sh
stage tests run_suite

if [ ${#failed[@]} -gt 0 ]; then
    echo "failed stages: ${failed[*]}"
    exit 1
fi
