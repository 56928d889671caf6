#!/usr/bin/env bash
# Regenerates the GDI reference pixels (tests/data/gdi_reference/gdi_reference.txt)
# by running tools/gdi_probe, built for Windows with mingw-w64, on real GDI
# under Wine with a virtual display. Run it on purpose only: the file is test
# data that the conformance test compares the portable layer against.
#   scripts/gdi-reference.sh [SEED]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
scripts/install-deps.sh windows

build="$root/build-windows"
cmake --preset windows -B "$build" > /dev/null
cmake --build "$build" --target gdi_probe null_probe > "$build/gdi_probe_build.log" 2>&1 ||
    { grep -E 'error|FAILED' "$build/gdi_probe_build.log" >&2; exit 1; }

. "$root/scripts/wine-prefix.sh"
wine_cmd=wine
command -v wine64 > /dev/null && wine_cmd=wine64

# Real GDI under Wine is not repeatable on every case (stray brush pixels on
# some ellipses): the probe runs several times, and a case drawn differently by
# any run is marked "~ " (the probe marks those drawn out of reach itself).
runs=5
echo "gdi-reference: running the probe $runs times under $($wine_cmd --version)"
cat > "$work/run.sh" << RUN
set -e
for i in \$(seq 1 $runs); do
    "$wine_cmd" "$build/tools/gdi_probe/gdi_probe.exe" "Z:$work/run\$i.txt" ${1:-}
done
"$wine_cmd" "$build/tools/null_probe/null_probe.exe" "Z:$work/null.txt"
RUN
timeout 600 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/run.sh" > "$work/probe.log" 2>&1 ||
    { cat "$work/probe.log" >&2; exit 1; }
for i in $(seq 1 $runs); do
    grep -q '^0 ' "$work/run$i.txt" || { echo "gdi-reference: run $i wrote no cases" >&2; exit 1; }
done
awk 'FNR == 1 { file++ }
     file == 1 { line[FNR] = $0; n = FNR; next }
     $0 != line[FNR] { unstable[FNR] = 1 }
     END {
         for (i = 1; i <= n; i++) {
             s = line[i]
             if (unstable[i] && substr(s, 1, 1) != "#" && substr(s, 1, 2) != "~ ") s = "~ " s
             print s
         }
     }' $(for i in $(seq 1 $runs); do echo "$work/run$i.txt"; done) > "$work/reference.txt"

out="$root/tests/data/gdi_reference/gdi_reference.txt"
mkdir -p "$(dirname "$out")"
{
    head -n 1 "$work/reference.txt"
    echo "# drawn by $($wine_cmd --version) on a 32-bit memory DC, $runs runs; regenerate with scripts/gdi-reference.sh"
    echo "# a line starting with '~ ' is a case real GDI did not draw the same way every run: not compared"
    tail -n +2 "$work/reference.txt"
} > "$out"
echo "gdi-reference: $(grep -vc '^#' "$out") cases ($(grep -c '^~ ' "$out") not repeatable)," \
    "$(wc -c < "$out") bytes in ${out#$root/}"

null_out="$root/tests/data/null_handles/null_handles.txt"
mkdir -p "$(dirname "$null_out")"
{
    echo "# what GDI does with NULL handles, written by tools/null_probe under $($wine_cmd --version);"
    echo "# regenerate with scripts/gdi-reference.sh"
    tr -d '\r' < "$work/null.txt"
} > "$null_out"
echo "gdi-reference: $(grep -vc '^#' "$null_out") NULL-handle cases in ${null_out#$root/}"
