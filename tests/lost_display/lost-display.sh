#!/usr/bin/env bash
# The game, recording a script, loses its X server: it must end within a
# second with a message on standard error, through its own quit, so that the
# recording is written out with its pending periodic run; never hang or crash.
#   lost-display.sh GAME_PROGRAM        (exit 77: skipped, no Xvfb or xdotool)
set -u
game="$1"
source "$(dirname "$0")/../support/own-xvfb.sh"

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

await_end "$lost" "the display was lost"
echo "the game ended $took ms after its display was lost, with status $status"

[ "$status" -lt 128 ] || fail "ended by signal $((status - 128))"
[ "$took" -le 1000 ] || fail "took $took ms to end (more than a second)"
grep -q "connection to the display was lost" "$work/stderr.txt" || fail "no message about the lost display"
[ -f KAPLO.SCR ] || fail "no recording was written (did Ctrl+R reach the game?)"
line=$(cat KAPLO.SCR)
echo "recording: $line"
[[ "$line" =~ ^KAPLO_PERIODIC\([1-9][0-9]*\)\;$'\r'$ ]] || fail "the recording is not one periodic run: '$line'"
exit 0
