#!/usr/bin/env bash
# Smoke test of the real battle game under Wine: starts kaplo_game.exe, finds
# its drawing window on the X display, clicks "Energy Shield", checks on
# screenshots that the action plays (the action panel's black box disappears
# while it runs and comes back after it), then sends Ctrl+Q and checks that the
# program ends with status 0.
#   scripts/wine-game-smoke.sh GAME.exe PICTURE-FOLDER
# Needs DISPLAY and a ready WINEPREFIX (scripts/test-windows.sh runs it inside
# its virtual display). Screenshots are kept in PICTURE-FOLDER. Exit status 0
# only when every step passed; each failure prints one line saying which step.
set -uo pipefail

exe="$(realpath -m "${1:?usage: wine-game-smoke.sh GAME.exe PICTURE-FOLDER}")"
pictures="$(realpath -m "${2:?usage: wine-game-smoke.sh GAME.exe PICTURE-FOLDER}")"
rm -rf "$pictures"
mkdir -p "$pictures"
game_pid=""
began=$(date +%s)

# Prints the seconds since the start and a message.
say() {
    echo "wine-game-smoke: [$(($(date +%s) - began)) s] $*"
}

# Reports a failed step with the end of the game's output, then exits non-zero.
fail() {
    echo "wine-game-smoke: FAILED: $*" >&2
    if [ -s "$pictures/game.log" ]; then
        echo "wine-game-smoke: last lines of the game's output:" >&2
        tail -n 5 "$pictures/game.log" >&2
    fi
    echo "wine-game-smoke: screenshots in $pictures" >&2
    exit 1
}

# On exit: ends the game if it still runs and stops every Wine process of the prefix.
cleanup() {
    if [ -n "$game_pid" ] && kill -0 "$game_pid" 2> /dev/null; then
        kill "$game_pid" 2> /dev/null || true
    fi
    wineserver -k 2> /dev/null || true
    wineserver -w 2> /dev/null || true
}
trap cleanup EXIT

# Returns 0 while the game's wine process is still running.
game_running() {
    kill -0 "$game_pid" 2> /dev/null
}

# Saves a picture of the whole screen as $1 (bounded, since a lost X server would block).
screenshot() {
    timeout 20 import -window root "$1" 2> /dev/null
}

# Prints "x colour" for each pixel of row $2 of picture $1 (screen columns $3..$3+$4-1).
row_pixels() {
    convert "$1" -crop "${4}x1+${3}+${2}" +repage txt:- 2> /dev/null |
        awk -v x0="$3" 'NR > 1 { split($1, p, /[,:]/); print x0 + p[1], $3 }'
}

# Prints "y colour" for each pixel of column $2 of picture $1 (screen rows $3..$3+$4-1).
column_pixels() {
    convert "$1" -crop "1x${4}+${2}+${3}" +repage txt:- 2> /dev/null |
        awk -v y0="$3" 'NR > 1 { split($1, p, /[,:]/); print y0 + p[2], $3 }'
}

# Prints the share (0..1) of black pixels in the rectangle $2 (WxH+X+Y) of picture $1.
black_share() {
    convert "$1" -crop "$2" +repage -colorspace Gray -threshold 5% -format '%[fx:1-mean]' info: 2> /dev/null
}

# Returns 0 when the number $1 is at least $2 (both decimals).
at_least() {
    awk -v a="$1" -v b="$2" 'BEGIN { exit !(a != "" && a + 0 >= b + 0) }'
}

for tool in wine wineserver xdotool import convert; do
    command -v "$tool" > /dev/null || fail "the tool '$tool' is not installed (scripts/install-deps.sh windows)"
done
[ -n "${DISPLAY:-}" ] || fail "no X display (DISPLAY is not set)"
[ -f "$exe" ] || fail "the game was not built: $exe is missing"

# 1. Start the game from its own folder.
(cd "$(dirname "$exe")" && exec wine "$exe") > "$pictures/game.log" 2>&1 &
game_pid=$!
say "started $(basename "$exe") (pid $game_pid)"

# Sets window to the X window of "KAPLO Graphics", looking again every half second
# for at most $1 seconds; returns non-zero when there is none.
find_window() {
    local until=$(($(date +%s) + $1))
    window=""
    while [ -z "$window" ]; do
        game_running || return 1
        [ "$(date +%s)" -lt "$until" ] || return 1
        window="$(timeout 10 xdotool search --onlyvisible --name '^KAPLO Graphics$' 2> /dev/null | tail -n 1)"
        [ -n "$window" ] || sleep 0.5
    done
}

# 2. Wait for the drawing window.
find_window 60 || {
    game_running || fail "the game ended before its window \"KAPLO Graphics\" appeared"
    fail "no window \"KAPLO Graphics\" appeared within 60 s"
}
say "window \"KAPLO Graphics\" found (X window $window)"

# 3. Find the client area on the screen. The X window holds the menu bar and the
# client area (Wine draws no caption of its own without a window manager), so the
# client area's top is measured from the game's drawing: the sea-green ground
# fills the client area from package y -50 down to its bottom edge and from its
# left edge to its right edge. Retried until the first frame is on the screen.
sea_green="#33CC99"
measured=0
deadline=$(($(date +%s) + 30))
while [ "$measured" -eq 0 ]; do
    [ "$(date +%s)" -lt "$deadline" ] || fail "the game's scene (its sea-green ground) never appeared in the window within 30 s"
    game_running || fail "the game ended while its first frame was awaited"
    eval "$(timeout 10 xdotool getwindowgeometry --shell "$window" 2> /dev/null)" || true
    if [ -n "${WIDTH:-}" ] && [ "${WIDTH:-0}" -gt 20 ] && screenshot "$pictures/start.png"; then
        # The column 3 pixels inside the window's right edge: sky, hill, ground.
        read -r ground_top ground_bottom < <(column_pixels "$pictures/start.png" $((X + WIDTH - 3)) "$Y" "$HEIGHT" |
            awk -v c="$sea_green" '$2 == c { if (top == "") top = $1; bottom = $1 } END { print top, bottom }')
        if [ -n "$ground_top" ] && [ $((ground_bottom - ground_top)) -gt 50 ]; then
            # A row 3 pixels above the ground's bottom, across the whole screen width.
            read -r left right < <(row_pixels "$pictures/start.png" $((ground_bottom - 3)) 0 $((X + WIDTH + 50)) |
                awk -v c="$sea_green" '$2 == c { if (l == "") l = $1; r = $1 } END { print l, r }')
            [ -n "$left" ] && measured=1
        fi
    fi
    [ "$measured" -eq 1 ] || sleep 0.5
done
client_width=$((right - left + 1))
origin_x=$((left + client_width / 2))
origin_y=$((ground_top - 50))
client_height=$(((ground_bottom + 1 - origin_y) * 2))
client_top=$((ground_bottom + 1 - client_height))
say "X window ${WIDTH}x${HEIGHT} at ($X, $Y); client area ${client_width}x${client_height} at ($left, $client_top); package origin at screen ($origin_x, $origin_y)"
if [ "$left" -ne "$X" ] || [ "$client_width" -ne "$WIDTH" ] || [ $((ground_bottom + 1)) -ne $((Y + HEIGHT)) ] ||
    [ "$client_top" -lt "$Y" ]; then
    fail "the measured client area does not fit inside the X window"
fi

# Screen column of package x $1.
screen_x() { echo $((origin_x + $1)); }
# Screen row of package y $1.
screen_y() { echo $((origin_y - $1)); }
# The strip that holds the sliding black box wherever it is: package x -140..110,
# y -147..-205 (the box is 130 wide, between y -145 and -207, its left edge
# between -140 and 10; the shield's oval starts at x 120, the fighters are outside).
panel="250x58+$(screen_x -140)+$(screen_y -147)"

# Takes screenshots as $1 until the panel strip is at least 25 % black ($2 "above": the
# box is there) or under 2 % black ($2 "below": no panel drawn), for at most $3 seconds;
# prints the last share measured.
wait_for_panel() {
    local file="$1" want="$2" limit="$3" share="" ok
    local until=$(($(date +%s) + limit))
    while [ "$(date +%s)" -le "$until" ]; do
        if screenshot "$pictures/$file"; then
            share="$(black_share "$pictures/$file" "$panel")"
            ok=0
            if [ -z "$share" ]; then
                ok=0  # the picture could not be read
            elif [ "$want" = below ]; then
                at_least "$share" 0.02 || ok=1
            else
                at_least "$share" 0.25 && ok=1
            fi
            if [ "$ok" -eq 1 ]; then
                echo "$share"
                return 0
            fi
        fi
        game_running || break
    done
    echo "${share:-none}"
    return 1
}

# 4. Before the click the panel, with its black box, is on the screen.
share="$(wait_for_panel before.png above 10)" ||
    fail "the action panel's black box is not where it belongs before the click (black share of the panel strip $share, 0.25 or more expected)"
say "before the click the panel strip is ${share} black (the box is there)"

# 5. Click "Energy Shield" at package (20, -180); while the action plays the panel
# is not drawn, so the strip shows only the ground. The action lasts 41 events
# (about 2 s at the 50 ms timer), so screenshots are taken at once for up to 8 s.
click_x=$(screen_x 20) click_y=$(screen_y -180)
timeout 10 xdotool mousemove --sync "$click_x" "$click_y" click 1 || fail "xdotool could not click at ($click_x, $click_y)"
say "clicked \"Energy Shield\" at screen ($click_x, $click_y)"
share="$(wait_for_panel during.png below 8)" ||
    fail "the Energy Shield did not play: the panel's black box stayed on the screen after the click (last black share $share)"
say "while the shield plays the panel strip is ${share} black (the panel is gone)"

# 6. After the action the main loop draws the panel again.
share="$(wait_for_panel after.png above 20)" ||
    fail "the action panel did not come back within 20 s of the Energy Shield (last black share $share)"
say "after the shield the panel strip is ${share} black again"

# 7. Ctrl+Q quits: the program ends within 20 s with status 0. The window is looked
# up again first, in case Wine made a new X window. xdotool's error is only shown
# when the game keeps running: it often reports BadWindow because the game has
# already closed its window when the key releases are sent.
find_window 10 || fail "the window \"KAPLO Graphics\" was gone before Ctrl+Q was sent"
timeout 10 xdotool key --window "$window" ctrl+q 2> "$pictures/key.log"
say "sent Ctrl+Q to X window $window"
deadline=$(($(date +%s) + 20))
while game_running && [ "$(date +%s)" -lt "$deadline" ]; do
    sleep 0.25
done
if game_running; then
    fail "the game was still running 20 s after Ctrl+Q (xdotool: $(grep -v XGetInputFocus "$pictures/key.log" | head -n 1))"
fi
status=0
wait "$game_pid" || status=$?
game_pid=""
[ "$status" -eq 0 ] || fail "the game ended with status $status after Ctrl+Q (0 expected)"
say "the game ended with status 0 after Ctrl+Q"
echo "wine-game-smoke: passed"
