#!/usr/bin/env bash
# Times the battle game's frame (tools/frame_timer) in a web page (headless
# Chromium) and natively on our layer, in alternating rounds on the same
# machine, and prints both frame times and their ratio.
#   scripts/bench-web.sh [ROUNDS] [FRAMES]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-5}"
frames="${2:-3000}"
scripts/install-deps.sh web
site="$(pwd)/build-web/site"
bash scripts/web.sh --frame-timer -o "$site/frame_timer" > /dev/null
cmake --preset bench > /dev/null
cmake --build build-bench --target frame_timer > /dev/null
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error > /dev/null)

log="$(mktemp)"
trap 'rm -f "$log"' EXIT
for i in $(seq 1 "$rounds"); do
    echo "web $(timeout 300 node tests/web/frame_page.js "$site" "$frames")" >> "$log"
    echo "native $(build-bench/tools/frame_timer/frame_timer "$frames")" >> "$log"
done
# Each round: both medians (and means) and the ratio of the medians; then the
# medians over the rounds. The machine is shared: a frame now and then waits
# for the processor, which the means show and the medians leave out.
awk -f scripts/median.awk -f /dev/stdin "$log" << 'AWK'
$1 == "web" { web = $5; web_mean = $11 }
$1 == "native" && web > 0 {
    n++; w[n] = web; d[n] = $5; r[n] = web / $5
    printf "round %2d: page %6.1f us (mean %6.1f), native %6.1f us (mean %6.1f), ratio %.2f\n",
           n, web, web_mean, $5, $11, r[n]
}
END {
    if (n == 0) { print "bench-web: no rounds completed" > "/dev/stderr"; exit 1 }
    printf "medians over %d rounds: page %.1f us, native %.1f us, ratio %.2f\n", n, median(w, n), median(d, n), median(r, n)
}
AWK
