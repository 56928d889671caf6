#!/usr/bin/env bash
# Smoke test of the example programs built for Windows, under Wine: starts each
# program, waits for its window "KAPLO Graphics", keeps a screenshot of it and
# checks that something is drawn, sends Ctrl+Q, and checks that the program
# ends with status 0.
#   scripts/wine-example-smoke.sh PICTURE-FOLDER EXAMPLE.exe...
# Needs DISPLAY and a ready WINEPREFIX (scripts/test-windows.sh runs it inside
# its virtual display). Prints a line for each program and ends with
# "N passed, N failed"; exit status 0 only when none failed.
set -uo pipefail

pictures="$(realpath -m "${1:?usage: wine-example-smoke.sh PICTURE-FOLDER EXAMPLE.exe...}")"
shift
rm -rf "$pictures"
mkdir -p "$pictures"
passed=0 failed=0 pid=""

# On exit: ends a program that still runs.
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; then kill "$pid" 2> /dev/null || true; fi
}
trap cleanup EXIT

# Sets result to why a check failed and returns 1.
failing() {
    result="$1"
    return 1
}

# Runs one program through its checks, setting result; status 1 when one failed.
smoke() {
    local exe name window="" status=0 colors until
    exe="$(realpath -m "$1")"
    name="$(basename "$exe" .exe)"
    (cd "$(dirname "$exe")" && exec wine "$exe") > "$pictures/$name.log" 2>&1 &
    pid=$!
    until=$(($(date +%s) + 60))
    while [ -z "$window" ]; do
        kill -0 "$pid" 2> /dev/null || { failing "ended before its window appeared"; return; }
        [ "$(date +%s)" -lt "$until" ] || { failing "no window \"KAPLO Graphics\" within 60 s"; return; }
        window="$(timeout 10 xdotool search --onlyvisible --name '^KAPLO Graphics$' 2> /dev/null | tail -n 1)"
        [ -n "$window" ] || sleep 0.5
    done
    # The first frame reaches the window with the first messages; give it a moment.
    sleep 1
    timeout 20 import -window "$window" "$pictures/$name.png" 2> /dev/null ||
        { failing "no screenshot of its window"; return; }
    colors="$(convert "$pictures/$name.png" -format '%k' info: 2> /dev/null)"
    [ "${colors:-0}" -ge 3 ] || { failing "its window shows nothing drawn ($colors colours)"; return; }
    timeout 10 xdotool key --window "$window" ctrl+q 2> /dev/null
    until=$(($(date +%s) + 20))
    while kill -0 "$pid" 2> /dev/null && [ "$(date +%s)" -lt "$until" ]; do sleep 0.25; done
    kill -0 "$pid" 2> /dev/null && { failing "still running 20 s after Ctrl+Q"; return; }
    wait "$pid" || status=$?
    pid=""
    [ "$status" -eq 0 ] || { failing "ended with status $status after Ctrl+Q"; return; }
    result="passed ($colors colours on the screen)"
}

for exe in "$@"; do
    began=$(date +%s)
    result=""
    if smoke "$exe"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
    cleanup
    pid=""
    echo "wine-example-smoke: $(basename "$exe"): $result ($(($(date +%s) - began)) s)"
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
