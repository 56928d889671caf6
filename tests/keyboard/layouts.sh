#!/usr/bin/env bash
# Real typing on French and German keyboards: on a virtual display of its own
# (started with -noreset, so that the layout set by setxkbmap stays), the game
# records a script while physical keys are pressed (X key codes, as a user's
# keyboard sends them), the layout switched from fr to de half-way; the
# script must hold the characters printed on those keys, non-ASCII ones as
# their UTF-8 bytes, and Ctrl with the key labelled Q must end the game with
# status 0 on both layouts. The same for the Windows build under Wine when
# it is given (and Wine is installed): both must record the same bytes.
#   layouts.sh GAME|- [GAME.exe]    (-: no native game; exit 77: skipped, no Xvfb,
#                                    setxkbmap or xdotool)
set -u
game="$1"
[ "$game" = - ] || game="$(realpath -m "$game")"
windows_game="${2:+$(realpath -m "$2")}"
for tool in Xvfb setxkbmap xdotool; do
    command -v "$tool" > /dev/null || { echo "no $tool"; exit 77; }
done
work="$(mktemp -d)"
server="" program="" own_prefix=""
cleanup() {
    [ -n "$program" ] && kill -9 "$program" 2> /dev/null
    [ -n "$own_prefix" ] && { wineserver -k 2> /dev/null; wineserver -w 2> /dev/null; }
    [ -n "$server" ] && kill "$server" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "layouts: $*" >&2
    failures=$((failures + 1))
}
# Waits up to $1 tenths of a second for a command to succeed.
await() {
    local tenths="$1"
    shift
    for _ in $(seq "$tenths"); do "$@" > /dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}

# Key codes of the US positions Q W A Z 1 2 ; [ then space ...
fr_keys="24 25 38 52 10 11 47 34 65 34 26"  # a z q w & é m, dead ^ and space, dead ^ and e
fr_bytes="97 122 113 119 38 195 169 109 94 195 170"
de_keys="24 25 29 52 10 11 47 48 34 20 65 108+24"  # q w z y 1 2 ö ä ü ß space, AltGr+Q @
de_bytes="113 119 122 121 49 50 195 182 195 164 195 188 195 159 32 64"
# The key labelled Q: where A is on US keyboards in France, where Q is in Germany.
declare -A q_key=([fr]=38 [de]=24)
r_key=27  # labelled R on all three

# A server of our own on a free display number, which it reports itself.
Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
server=$!
await 100 test -s "$work/display" || { echo "layouts: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"

# Starts a program (native, or .exe under Wine) in a fresh folder $work/$1.
start() {
    local name="$1" exe="$2"
    mkdir -p "$work/$name"
    cd "$work/$name" || return 1
    if [[ "$exe" == *.exe ]]; then wine "$exe" > out.txt 2>&1 & else "$exe" > out.txt 2>&1 & fi
    program=$!
    cd - > /dev/null || return 1
    # The window, then the pointer onto it and the keyboard focus to it (no
    # window manager here to give it).
    await 600 xdotool search --onlyvisible --name '^KAPLO Graphics$' || { fail "$name: no window"; return 1; }
    sleep 1
    xdotool mousemove 0 0 sleep 0.1 mousemove 300 300
    xdotool windowfocus "$(xdotool search --onlyvisible --name '^KAPLO Graphics$' | tail -n 1)"
    sleep 0.3
}

# Presses keys by key code, one after another.
press() {
    for key in "$@"; do xdotool key --delay 40 "$key"; sleep 0.05; done
}

# Ctrl with the key labelled Q; the program must end with status 0.
quit() {
    local name="$1" layout="$2" status=0
    press "ctrl+${q_key[$layout]}"
    await 200 bash -c "! kill -0 $program" || {
        fail "$name: still running after Ctrl+Q on $layout"
        tail -n 20 "$work/$name/out.txt" >&2
        return
    }
    wait "$program" || status=$?
    program=""
    [ "$status" -eq 0 ] || fail "$name: ended with status $status after Ctrl+Q on $layout"
}

# One program: records fr typing, then de typing after the switch; a second
# run ends on the French Ctrl+Q.
check() {
    local name="$1" exe="$2" got
    setxkbmap fr
    start "$name" "$exe" || return
    press "ctrl+$r_key" $fr_keys
    setxkbmap de
    sleep 0.5
    press $de_keys "ctrl+$r_key"
    quit "$name" de
    got="$(sed -n 's/^KAPLO_KBD(\([0-9]*\));\r\?$/\1/p' "$work/$name/KAPLO.SCR" 2> /dev/null | tr '\n' ' ')"
    [ "$got" = "$fr_bytes $de_bytes " ] ||
        fail "$name: typed bytes were: $got
  expected: $fr_bytes $de_bytes"
    echo "layouts: $name recorded: $got"
    setxkbmap fr
    start "$name-fr-quit" "$exe" || return
    quit "$name" fr
}

[ "$game" = - ] || check sdl "$game"
if [ -n "$windows_game" ]; then
    if [ ! -f "$windows_game" ] || ! command -v wine > /dev/null; then
        echo "layouts: no Windows build or no Wine: the Windows game was not checked"
    else
        if [ -z "${WINEPREFIX:-}" ]; then
            export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
            own_prefix=1
            timeout 120 wineboot --init > "$work/wineboot.log" 2>&1 || fail "wineboot failed"
        fi
        check windows "$windows_game"
    fi
fi
[ "$failures" -eq 0 ] && echo "layouts: passed"
[ "$failures" -eq 0 ]
