#!/usr/bin/env bash
# A program that stops asking for events, on its own Xvfb: a second and a half
# of being busy leaves its caption alone; a loop that never asks again is
# marked "(Not Responding)" about 5 s after its last event, and a click on its
# close box then ends it with status 5, its recording written out.
#   not-responding.sh NEVER_ASKS CLOSE_REQUEST   (exit 77: skipped, no Xvfb or xdotool)
set -u
program_file="$1" close_request="$2"
source "$(dirname "$0")/../support/own-xvfb.sh"

cd "$work"
"$program_file" 2> "$work/stderr.txt" &
program=$!
await xdotool search --onlyvisible --name "KAPLO Graphics" || fail "the window did not appear"
window=$(xdotool search --onlyvisible --name "KAPLO Graphics" | head -n 1)
caption() { xdotool getwindowname "$window"; }

# Recording on, then b: busy for 1.5 s with a key waiting, which is no hang.
xdotool mousemove 300 300 key ctrl+r key b key n
sleep 2.5
[ "$(caption)" = "KAPLO Graphics" ] || fail "marked while busy for 1.5 s: '$(caption)'"

# x: the loop that never asks again; a key waits for it.
xdotool key x
stuck=$(milliseconds)
xdotool key y
for _ in $(seq 150); do [[ "$(caption)" == *"(Not Responding)" ]] && break; sleep 0.1; done
took=$(($(milliseconds) - stuck))
[ "$(caption)" = "KAPLO Graphics (Not Responding)" ] || fail "not marked 15 s after the last event: '$(caption)'"
echo "marked $took ms after the program's last event"
[ "$took" -ge 4500 ] || fail "marked after $took ms, before 5 s"
grep -q "usually means a loop that never calls KAPLO_next_event" "$work/stderr.txt" || fail "no word on stderr"

"$close_request" "$window" || fail "the close request could not be sent"
await_end "$(milliseconds)" "its close box"
echo "ended $took ms after its close box, with status $status"
[ "$status" -eq 5 ] || fail "status $status, not 5"
grep -q "the window was closed while the program was not responding" "$work/stderr.txt" || fail "no word on the end"
[ "$(tail -n 1 KAPLO.SCR 2> /dev/null)" = $'KAPLO_KBD(120);\r' ] || fail "the recording lacks its last key: '$(cat KAPLO.SCR 2> /dev/null)'"
exit 0
