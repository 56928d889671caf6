#!/usr/bin/env bash
# Times the battle game's frame on real GDI (Wine, on a virtual display) and on
# our layer, in alternating rounds, with the same program (tools/frame_timer).
# This machine's speed changes from minute to minute, so a frame time means
# most beside real GDI's time for the same frame measured in the same minute.
#   scripts/bench-reference.sh [ROUNDS] [FRAMES]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
rounds="${1:-8}"
frames="${2:-1500}"
scripts/install-deps.sh windows

cmake --preset bench > /dev/null
cmake --build build-bench --target frame_timer > /dev/null
cmake --preset windows > /dev/null
cmake --build build-windows --target frame_timer > /dev/null

. "$root/scripts/wine-prefix.sh"
wine_cmd=wine
command -v wine64 > /dev/null && wine_cmd=wine64

cat > "$work/run.sh" << RUN
set -e
for i in \$(seq 1 $rounds); do
    echo "gdi \$("$wine_cmd" "$root/build-windows/tools/frame_timer/frame_timer.exe" $frames)"
    echo "ours \$("$root/build-bench/tools/frame_timer/frame_timer" $((frames * 2)))"
done
RUN
timeout 1200 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/run.sh" > "$work/times.log" 2>&1 ||
    { cat "$work/times.log" >&2; exit 1; }

# Each round: both medians and their ratio; then the medians over the rounds.
awk -f scripts/median.awk -f /dev/stdin "$work/times.log" << 'AWK'
$1 == "gdi" { gdi = $5 }
$1 == "ours" && gdi > 0 {
    n++; g[n] = gdi; o[n] = $5; r[n] = $5 / gdi
    printf "round %2d: real GDI %8.1f us, ours %6.1f us, ratio %.3f\n", n, gdi, $5, r[n]
}
END {
    if (n == 0) { print "bench-reference: no rounds completed" > "/dev/stderr"; exit 1 }
    printf "medians over %d rounds: real GDI %.1f us, ours %.1f us, ratio %.3f\n", n, median(g, n), median(o, n), median(r, n)
}
AWK
