#!/usr/bin/env bash
# Builds KAPLO for 64-bit Windows with mingw-w64 (cmake/mingw-w64.cmake) into
# build-windows/ (or the folder given as $1) and runs every test program under
# Wine on a virtual display, in a fresh Wine prefix made for the run. Ends with
# the line "N passed, N failed" (test cases; a program that crashes or hangs
# counts as one failure), plus one for the smoke test of the real game
# (scripts/wine-game-smoke.sh), two for each example program of examples/:
# it builds, and under Wine it draws and ends on Ctrl+Q
# (scripts/wine-example-smoke.sh), and one for typing on French and German
# keyboards (tests/keyboard/layouts.sh, with build/'s Linux game too when it
# has been built). Exit status 0 only when nothing failed.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

# Inside the virtual display: prepare the prefix, then run each program.
if [ "${1:-}" = "--under-display" ]; then
    build="$2" work="$3"
    began=$(date +%s)
    timeout 120 wineboot --init > "$work/wineboot.log" 2>&1 || {
        echo "test-windows: wineboot failed" >&2
        cat "$work/wineboot.log" >&2
        exit 1
    }
    echo "wine prefix ready ($(($(date +%s) - began)) s)"
    for exe in "$build"/tests/*.exe; do
        name="$(basename "$exe" .exe)"
        log="$work/$name.log"
        status=0 began=$(date +%s)
        (cd "$build/tests" && timeout 300 wine "$exe" --gtest_color=no) > "$log" 2>&1 || status=$?
        passed="$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -n 1)"
        failed="$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -n 1)"
        passed="${passed:-0}" failed="${failed:-0}"
        if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then
            failed=1  # crashed, hung or never reported
            echo "test-windows: $name ended with status $status" >&2
        fi
        if [ "$failed" -ne 0 ]; then
            grep -E '^\[  FAILED  \]|Failure|error' "$log" | head -n 40 >&2 || true
            tail -n 5 "$log" >&2
        fi
        echo "$name: $passed passed, $failed failed ($(($(date +%s) - began)) s)"
        echo "$name $passed $failed" >> "$work/results"
    done
    # The real game in the same prefix and display: click "Energy Shield", then Ctrl+Q.
    began=$(date +%s)
    if timeout 240 "$root/scripts/wine-game-smoke.sh" "$build/game/kaplo_game.exe" "$build/wine-game-smoke" \
        > "$work/smoke.log" 2>&1; then
        echo "1 0" > "$work/smoke"
        cat "$work/smoke.log"
        echo "wine-game-smoke: passed ($(($(date +%s) - began)) s)"
    else
        echo "0 1" > "$work/smoke"
        cat "$work/smoke.log" >&2
        echo "wine-game-smoke: failed ($(($(date +%s) - began)) s)"
    fi
    # The example programs in the same prefix and display: each draws and ends on Ctrl+Q.
    began=$(date +%s)
    examples=("$build"/examples/*.exe)
    if [ -e "${examples[0]}" ]; then
        timeout 600 "$root/scripts/wine-example-smoke.sh" "$build/wine-example-smoke" "${examples[@]}" \
            > "$work/examples.log" 2>&1
        cat "$work/examples.log"
        sed -n 's/^\([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p' "$work/examples.log" | tail -n 1 > "$work/examples"
        echo "wine-example-smoke: $(($(date +%s) - began)) s"
    fi
    # Real typing on French and German keyboards (on a display of its own):
    # the game built here, and the Linux build's beside it when there is one,
    # must record the same bytes.
    wineserver -k 2> /dev/null || true
    began=$(date +%s)
    native="$root/build/game/kaplo_game"
    [ -x "$native" ] || native=-
    if timeout 300 bash "$root/tests/keyboard/layouts.sh" "$native" "$build/game/kaplo_game.exe" \
        > "$work/layouts.log" 2>&1; then
        echo "1 0" > "$work/layouts"
    else
        echo "0 1" > "$work/layouts"
    fi
    cat "$work/layouts.log"
    echo "keyboard layouts: $(($(date +%s) - began)) s"
    wineserver -k 2> /dev/null || true
    exit 0
fi

start=$(date +%s)
build="$(realpath -m "${1:-build-windows}")"
scripts/install-deps.sh windows
cmake --preset windows -B "$build" > /dev/null
# Build all that builds; a test program that does not build counts as a failure
# (old copies, and the game's, are removed first so that none of them runs in its place).
rm -f "$build"/tests/*.exe "$build/game/kaplo_game.exe" "$build"/examples/*.exe
build_failures=0
if ! cmake --build "$build" -- -k 0 > "$build/build.log" 2>&1; then
    grep -E 'error|FAILED' "$build/build.log" | head -n 40 >&2
    build_failures=$(grep -c '^FAILED: ' "$build/build.log" || true)
    echo "test-windows: $build_failures build steps failed (log: $build/build.log)" >&2
fi
# Each example program counts as one check: it must build for Windows unchanged.
examples_built=0 examples_failed=0
for source in examples/*.c examples/*.cpp; do
    name="$(basename "${source%.*}")"
    if [ -f "$build/examples/example_$name.exe" ]; then
        examples_built=$((examples_built + 1))
    else
        echo "test-windows: examples/$(basename "$source") did not build for Windows" >&2
        examples_failed=$((examples_failed + 1))
    fi
done
echo "test-windows: $examples_built example programs built, $examples_failed failed"

built=$(date +%s)
. "$root/scripts/wine-prefix.sh"
touch "$work/results"
timeout 1800 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --under-display "$build" "$work" || {
    echo "test-windows: the run under Wine did not finish" >&2
    echo "0 passed, 1 failed"
    exit 1
}

passed=$examples_built failed=$((build_failures + examples_failed)) programs=0
while read -r _ p f; do
    passed=$((passed + p)) failed=$((failed + f)) programs=$((programs + 1))
done < "$work/results"
[ "$programs" -gt 0 ] || { echo "test-windows: no test program was built" >&2; failed=1; }
# Each example that ran under Wine counts as one more check (one that did not
# build is counted above).
if [ -s "$work/examples" ] && read -r p f < "$work/examples"; then
    passed=$((passed + p)) failed=$((failed + f))
elif [ "$examples_built" -gt 0 ]; then
    echo "test-windows: the examples' smoke test under Wine did not run" >&2
    failed=$((failed + 1))
fi
# The keyboard layout test counts as one more check.
if [ -s "$work/layouts" ] && read -r p f < "$work/layouts"; then
    passed=$((passed + p)) failed=$((failed + f))
else
    echo "test-windows: the keyboard layout test did not run" >&2
    failed=$((failed + 1))
fi
# The game's smoke test counts as one more check.
if [ -s "$work/smoke" ] && read -r p f < "$work/smoke"; then
    passed=$((passed + p)) failed=$((failed + f))
else
    echo "test-windows: the game's smoke test did not run" >&2
    failed=$((failed + 1))
fi
echo "test-windows: $programs programs, $examples_built examples and the game's smoke test; build $((built - start)) s, run under Wine $(($(date +%s) - built)) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
