#!/usr/bin/env bash
# Checks what a learner uses to build a program of their own: scripts/kaplo.sh
# (its program, its messages for bad input, --watch, --windows), and the
# installed package: find_package(kaplo) and pkg-config from a project outside
# the source tree, the Debian package CPack makes, and the same install made
# for Windows with mingw-w64. Runs on a virtual X display. Ends with the line
# "N passed, N failed"; exit status 0 only when nothing failed.
set -uo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
[ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"

work="$(mktemp -d /tmp/kaplo-install.XXXXXX)"
trap 'rm -rf "$work"' EXIT
kaplo=("$root/scripts/kaplo.sh")
passed=0 failed=0

# Records one check: its name, then the command that must succeed.
check() {
    local name="$1"
    shift
    if "$@" > "$work/last.log" 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "test-install: FAILED: $name" >&2
        tail -n 20 "$work/last.log" >&2
    fi
}

# Runs scripts/kaplo.sh; succeeds when it fails with status 1 and says $1 on stderr.
refused_with() {
    local message="$1"
    shift
    local status=0
    bash "${kaplo[@]}" "$@" 2> "$work/refused.err" > /dev/null || status=$?
    cat "$work/refused.err"
    [ "$status" -eq 1 ] && grep -qF -- "$message" "$work/refused.err"
}

# Waits up to 30 s until $2 lines of file $1 match $3.
wait_for_lines() {
    local i
    for i in $(seq 300); do
        [ "$(grep -c -- "$3" "$1")" -ge "$2" ] && return 0
        sleep 0.1
    done
    return 1
}

# Runs a built program that starts in main instead of WinMain: it must stop
# at once, with status 1 and the one command's words.
refuses_main() {
    local status=0
    timeout 20 "$1" 2> "$work/main.err" > /dev/null || status=$?
    cat "$work/main.err"
    [ "$status" -eq 1 ] && grep -qF "$(basename "$1") has no WinMain: a KAPLO program starts in WinMain, not in main" "$work/main.err"
}

project="$work/project"  # a learner's project, outside the source tree
mkdir -p "$project"
cp tests/install/ticks.c tests/install/sketch.c tests/install/main_instead.c tests/install/CMakeLists.txt "$project"

# ---- scripts/kaplo.sh: builds the package once, then the program; it runs and ends
check "kaplo.sh builds and runs a program" timeout 600 bash "${kaplo[@]}" "$project/ticks.c"

# ---- bad input: a clear word and status 1
printf 'int x;\n' > "$work/notes.txt"
printf '#include <kaplo.h>\nint WINAPI WinMain(HINSTANCE i, HINSTANCE p, LPSTR c, int s) {\n    KAPLO_begin(i, p, c, s)\n}\n' \
    > "$work/broken.c"
printf '#include <kaplo.h>\nint main(void) { return KAPLO_wipe(); }\n' > "$work/nowinmain.c"
check "a missing file" refused_with "no such file or folder: $work/none.c" "$work/none.c"
check "not a source" refused_with "is not a C or C++ source" "$work/notes.txt"
check "the compiler's message, naming the line" refused_with "broken.c:3:28: error: expected" "$work/broken.c"
check "a program without WinMain" refused_with "nowinmain.c has no WinMain" "$work/nowinmain.c"
check "a folder of two programs" refused_with "holds several programs (WinMain in sketch.c ticks.c)" "$project"
check "no display" env -u DISPLAY -u WAYLAND_DISPLAY bash -c \
    'bash "$0" "$@" 2>&1 | tee /dev/stderr | grep -q "cannot open a display"; [ "${PIPESTATUS[0]}" -ne 0 ]' \
    "${kaplo[@]}" "$project/ticks.c"

# ---- --watch: a save restarts the program; ending the watch ends the program
watch_restarts() {
    local log="$work/watch.log"
    bash "${kaplo[@]}" --watch "$project/sketch.c" > "$log" 2>&1 &
    local watch=$!
    wait_for_lines "$log" 1 "started sketch.c" &&
        echo "/* saved again */" >> "$project/sketch.c" &&
        wait_for_lines "$log" 2 "started sketch.c" || { kill "$watch"; cat "$log"; return 1; }
    kill -TERM "$watch"
    timeout 10 tail --pid="$watch" -f /dev/null
    cat "$log"
    local pid
    for pid in $(sed -n 's/.*started sketch.c (process \([0-9]*\)).*/\1/p' "$log"); do
        ! kill -0 "$pid" 2> /dev/null || { echo "process $pid still runs"; return 1; }
    done
}
check "--watch restarts on a save and cleans up" watch_restarts

# ---- the install: headers in a folder of their own, find_package and pkg-config
prefix="$work/prefix"
cmake --install build-kaplo --prefix "$prefix" > /dev/null
check "the layer's windows.h is in include/kaplo, not in include" \
    test -f "$prefix/include/kaplo/windows.h" -a ! -e "$prefix/include/windows.h"
check "find_package(kaplo) builds a program that runs" bash -c '
    cmake -S "$1" -B "$2" -G Ninja -DCMAKE_PREFIX_PATH="$3" && cmake --build "$2" &&
    timeout 60 "$2/ticks"' _ "$project" "$work/build-cmake" "$prefix"
check "find_package(kaplo): main instead of WinMain is refused" refuses_main "$work/build-cmake/main_instead"

# ---- the Debian package: its files, and pkg-config from it where it is unpacked
deb_holds_the_package() {
    (cd build-kaplo && cpack -G DEB -B "$work/deb") || return 1
    local deb
    deb="$(ls "$work"/deb/libkaplo-dev_*.deb)" || return 1
    dpkg-deb -c "$deb" | awk '{ print $6 }' > "$work/deb.files"
    cat "$work/deb.files"
    local f
    for f in include/kaplo/kaplo.h include/kaplo/windows.h lib/libkaplo.a lib/libkaplo_platform.a \
        lib/libkaplo_main.a lib/cmake/kaplo/kaplo-config.cmake lib/pkgconfig/kaplo.pc; do
        grep -qx "./usr/$f" "$work/deb.files" || { echo "missing: /usr/$f"; return 1; }
    done
    ! grep -qx "./usr/include/windows.h" "$work/deb.files" && dpkg-deb -x "$deb" "$work/debroot"
}
check "cpack -G DEB holds the headers, libraries and descriptions" deb_holds_the_package
check "cc prog.c \$(pkg-config --cflags --libs kaplo) builds a program that runs" bash -c '
    cd "$1" && export PKG_CONFIG_PATH="$2" &&
    cc ticks.c $(pkg-config --cflags --libs kaplo) -o ticks-pc && timeout 60 ./ticks-pc' \
    _ "$project" "$work/debroot/usr/lib/pkgconfig"
# The same through pkg-config on one line, and through make's built-in rule.
main_refused_through_pkg_config() (
    cd "$project" && export PKG_CONFIG_PATH="$work/debroot/usr/lib/pkgconfig" || return 1
    cc main_instead.c $(pkg-config --cflags --libs kaplo) -o main_instead-pc && refuses_main ./main_instead-pc || return 1
    printf 'CFLAGS = $(shell pkg-config --cflags kaplo)\nLDLIBS = $(shell pkg-config --libs kaplo)\n' > Makefile
    make main_instead && refuses_main ./main_instead
)
check "pkg-config and make: main instead of WinMain is refused" main_refused_through_pkg_config

# ---- Windows: kaplo.sh --windows, and find_package from a cross build
check "kaplo.sh --windows makes an .exe" bash -c '
    timeout 600 bash "$0" --windows --out "$1" "$2/ticks.c" && test -s "$1/ticks.exe"' \
    "${kaplo[@]}" "$work/windows" "$project"
check "find_package(kaplo) in a mingw-w64 cross build" bash -c '
    cmake -S "$1" -B "$2" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$3/cmake/mingw-w64.cmake" \
        -Dkaplo_DIR="$3/build-kaplo-windows/prefix/lib/cmake/kaplo" && cmake --build "$2" &&
    x86_64-w64-mingw32-objdump -p "$2/ticks.exe" | grep -q "(Windows GUI)"' \
    _ "$project" "$work/build-mingw" "$root"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
