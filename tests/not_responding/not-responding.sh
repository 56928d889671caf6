#!/usr/bin/env bash
# A program that stops asking for events, on its own Xvfb: a second and a half
# of being busy leaves its caption alone; a loop that never asks again is
# marked "(Not Responding)" about 5 s after its last event, and a click on its
# close box then ends it with status 5, its recording written out.
#   not-responding.sh NEVER_ASKS CLOSE_REQUEST   (exit 77: skipped, no Xvfb or xdotool)
set -u
program_file="$1" close_request="$2"
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
    echo "not-responding: $*" >&2
    echo "--- the program's standard error:" >&2
    cat "$work/stderr.txt" >&2 2> /dev/null
    exit 1
}
await() {
    for _ in $(seq 100); do "$@" > /dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
milliseconds() { echo $(($(date +%s%N) / 1000000)); }

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
server=$!
await test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"

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
closed=$(milliseconds)
while kill -0 "$program" 2> /dev/null && [ $(($(milliseconds) - closed)) -lt 5000 ]; do sleep 0.05; done
kill -0 "$program" 2> /dev/null && fail "still running 5 s after its close box"
wait "$program"
status=$?
program=""
echo "ended $(($(milliseconds) - closed)) ms after its close box, with status $status"
[ "$status" -eq 5 ] || fail "status $status, not 5"
grep -q "the window was closed while the program was not responding" "$work/stderr.txt" || fail "no word on the end"
[ "$(tail -n 1 KAPLO.SCR 2> /dev/null)" = $'KAPLO_KBD(120);\r' ] || fail "the recording lacks its last key: '$(cat KAPLO.SCR 2> /dev/null)'"
exit 0
