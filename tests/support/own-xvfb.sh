# Sourced by the desktop tests that need an X server of their own (they end
# it or must not share it): a work folder, Xvfb on a free display (DISPLAY set
# to it), waits, and a failure that shows the program's standard error, which
# the test writes to $work/stderr.txt. The test puts its program's pid in
# $program; both are killed on exit. Exits 77 (skipped) without Xvfb or xdotool.
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
    echo "$(basename "$0" .sh): $*" >&2
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

# The server reports the display number it found free.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
server=$!
await test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"

# Waits up to 5 s for $program to end after the moment $1 (milliseconds),
# failing with "still running 5 s after $2"; sets status and took (ms).
await_end() {
    while kill -0 "$program" 2> /dev/null && [ $(($(milliseconds) - $1)) -lt 5000 ]; do sleep 0.02; done
    took=$(($(milliseconds) - $1))
    kill -0 "$program" 2> /dev/null && fail "still running 5 s after $2"
    status=0
    wait "$program" || status=$?
    program=""
}
