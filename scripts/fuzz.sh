#!/usr/bin/env bash
# Builds the fuzzers with clang (libFuzzer, ASan, UBSan) into build-fuzz/ and
# runs each one for the given number of seconds (default 30) on its seed corpus
# in fuzz/corpus/<name>/. New inputs found go to build-fuzz/corpus/<name>/, a
# crashing input to build-fuzz/crash-*. Fails when any fuzzer finds a fault.
#   scripts/fuzz.sh [seconds] [fuzzer names...]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
seconds="${1:-30}"
shift || true
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(script_fuzz script_reader_fuzz messages_fuzz draw_fuzz transcript_fuzz)

scripts/install-deps.sh fuzz
build="$root/build-fuzz"
cmake --preset fuzz > /dev/null
cmake --build "$build" --target "${names[@]}"

# Leaks are checked after every input that allocated more than it freed; the
# check at exit is off, since the layer's tables are torn down by static
# destructors then and what the package leaves to process exit would show.
export ASAN_OPTIONS="detect_leaks=1:leak_check_at_exit=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp"
status=0
for name in "${names[@]}"; do
    seeds="$root/fuzz/corpus/${name%_fuzz}"
    found="$build/corpus/${name%_fuzz}"
    mkdir -p "$found"
    echo "== $name for $seconds s"
    if ! "$build/fuzz/$name" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
            -max_len=4096 -print_final_stats=1 -artifact_prefix="$build/" "$found" "$seeds" \
            > "$build/$name.log" 2>&1; then
        status=1
        echo "fuzz: $name found a fault (log: build-fuzz/$name.log):" >&2
        grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$build/$name.log" | head -n 20 >&2
    fi
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$build/$name.log" || true
done
exit $status
