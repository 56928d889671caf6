#!/usr/bin/env bash
# The game, recording a script, loses its X server: it must end within a
# second with a message on standard error, through its own quit, so that the
# recording is written out with its pending periodic run; never hang or crash.
#   lost-display.sh GAME_PROGRAM        (exit 77: skipped, no Xvfb or xdotool)
set -u
game="$1"
command -v Xvfb > /dev/null && command -v xdotool > /dev/null || { echo "no Xvfb or xdotool"; exit 77; }
work="$(mktemp -d)"
server="" program=""
cleanup() {
    [ -n "$program" ] && kill -9 "$program" 2> /dev/null
    [ -n "$server" ] && kill "$server" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "lost-display: $*" >&2
    echo "--- the program's standard error:" >&2
    cat "$work/stderr.txt" >&2 2> /dev/null
    exit 1
}
# Waits up to 10 s for a command to succeed.
await() {
    for _ in $(seq 100); do "$@" > /dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
milliseconds() { echo $(($(date +%s%N) / 1000000)); }

# A server of our own on a free display number, which it reports itself.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
server=$!
await test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"

cd "$work"
"$game" 2> "$work/stderr.txt" &
program=$!
await xdotool search --name "KAPLO Graphics" || fail "the game's window did not appear"
# Ctrl+R in the drawing window starts the recording; a second of periodic events follows.
xdotool mousemove 300 300 key ctrl+r
sleep 1
kill "$server"
wait "$server"
server=""
lost=$(milliseconds)

while kill -0 "$program" 2> /dev/null && [ $(($(milliseconds) - lost)) -lt 5000 ]; do sleep 0.02; done
took=$(($(milliseconds) - lost))
kill -0 "$program" 2> /dev/null && fail "still running 5 s after the display was lost"
wait "$program"
status=$?
program=""
echo "the game ended $took ms after its display was lost, with status $status"

[ "$status" -lt 128 ] || fail "ended by signal $((status - 128))"
[ "$took" -le 1000 ] || fail "took $took ms to end (more than a second)"
grep -q "connection to the display was lost" "$work/stderr.txt" || fail "no message about the lost display"
[ -f KAPLO.SCR ] || fail "no recording was written (did Ctrl+R reach the game?)"
line=$(cat KAPLO.SCR)
echo "recording: $line"
[[ "$line" =~ ^KAPLO_PERIODIC\([1-9][0-9]*\)\;$'\r'$ ]] || fail "the recording is not one periodic run: '$line'"
exit 0
