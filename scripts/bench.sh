#!/usr/bin/env bash
# Builds KAPLO with optimisation and debug symbols (RelWithDebInfo) into
# build-bench/ and runs the benchmarks: the game's frame, the scripted run of
# the whole game, the GDI and text micro-benchmarks, and the class grader
# against a bare build-and-run loop. Extra arguments go to
# every benchmark program (for example --benchmark_filter=Redraw).
#   scripts/bench.sh [benchmark options]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh bench
cmake --preset bench > /dev/null
cmake --build build-bench
for program in frame_bench scripted_run_bench gdi_bench text_bench grade_bench; do
    if [ -x "build-bench/bench/$program" ]; then
        echo "== $program"
        "build-bench/bench/$program" "$@"
    fi
done
