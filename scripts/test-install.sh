#!/usr/bin/env bash
# Checks what a learner uses to build a program of their own: scripts/kaplo.sh
# (its program, its messages for bad input, a system without apt, rebuilding
# the package after an edit, --watch, --windows), the package built without
# Xlib, and the installed package: find_package(kaplo) and pkg-config from a
# project outside the source tree, the Debian package CPack makes, and the
# same install made for Windows with mingw-w64. Runs on a virtual X display.
# Ends with the line "N passed, N failed"; exit status 0 only when nothing
# failed.
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
    'bash "$0" "$@" 2>&1 | tee /dev/stderr | grep -q "there is no desktop here"; [ "${PIPESTATUS[0]}" -ne 0 ]' \
    "${kaplo[@]}" "$project/ticks.c"

# ---- off Debian: with no dpkg or apt on PATH, nothing is installed
# Folders of links: to every command on PATH but dpkg's and apt's (and ninja,
# for the second case), and to every pkg-config file but SDL2's.
links_to_all_but() {
    local dir="$1" left_out="$2" d f targets=()
    local -A seen=()
    shift 2
    for d in "$@"; do
        for f in "$d"/*; do
            [[ " $left_out " == *" ${f##*/} "* || -n "${seen[${f##*/}]:-}" || ! -e "$f" ]] && continue
            seen[${f##*/}]=1
            targets+=("$f")
        done
    done
    mkdir -p "$dir" && ln -s -t "$dir" "${targets[@]}"
}
IFS=: read -ra path_dirs <<< "$PATH"
IFS=: read -ra pc_dirs <<< "$(pkg-config --variable pc_path pkg-config)"
hidden="dpkg dpkg-query apt apt-get"
links_to_all_but "$work/no-apt" "$hidden" "${path_dirs[@]}"
links_to_all_but "$work/no-apt-ninja" "$hidden ninja" "${path_dirs[@]}"
links_to_all_but "$work/no-sdl2" "sdl2.pc" "${pc_dirs[@]}"
check "without apt, everything there: kaplo.sh builds and runs a program" bash -c '
    PATH="$1" timeout 600 bash "$2" "$3" 2>&1 | tee /dev/stderr | (! grep -q install-deps) &&
    [ "${PIPESTATUS[0]}" -eq 0 ]' _ "$work/no-apt" "${kaplo[@]}" "$project/ticks.c"
without_apt_names_the_missing() {
    PATH="$work/no-apt-ninja" PKG_CONFIG_LIBDIR="$work/no-sdl2" refused_with "missing:" "$project/ticks.c" &&
        grep -qx '    ninja, SDL2' "$work/refused.err" &&
        grep -qx '    Fedora:           sudo dnf install ninja-build SDL2-devel' "$work/refused.err" &&
        grep -qx '    Arch:             sudo pacman -S --needed ninja sdl2' "$work/refused.err" &&
        grep -qx '    openSUSE:         sudo zypper install ninja libSDL2-devel' "$work/refused.err" &&
        grep -qx '    macOS (Homebrew): brew install ninja sdl2' "$work/refused.err"
}
check "without apt, SDL2 and ninja missing: one message with the packages" without_apt_names_the_missing

# ---- the package is built again when any input of its build changes, even
# during a build: in a copy of the tree, with a cmake that records its calls,
# installs the package built above, and saves an edit while it "builds".
package_rebuilt_on_edits() {
    local tree="$work/tree" stub="$work/stub" calls="$work/cmake.calls" f n=1
    mkdir -p "$tree" "$stub"
    cp -r CMakeLists.txt CMakePresets.json cmake package platform game tools examples scripts "$tree"
    printf '%s\n' '#!/usr/bin/env bash' 'echo "$*" >> "$CALLS"' 'case "$1" in' \
        '--build) [ -z "${EDIT_WHILE_BUILDING:-}" ] || printf "\n" >> "$EDIT_WHILE_BUILDING" ;;' \
        '--install) mkdir -p "$4" && cp -r "$BUILT/." "$4" ;;' 'esac' > "$stub/cmake"
    chmod +x "$stub/cmake"
    # Runs kaplo.sh in the copy; succeeds when it has built the package $1 times in all.
    builds_after_run() {
        PATH="$stub:$PATH" CALLS="$calls" BUILT="$root/build-kaplo/prefix" \
            bash "$tree/scripts/kaplo.sh" --build-only "$project/ticks.c" > /dev/null || return 1
        # The package's builds, not those of the end_words tool beside it.
        [ "$(grep -c -- '--build .* --target kaplo ' "$calls")" -eq "$1" ] || { echo "not built $1 times"; return 1; }
    }
    builds_after_run 1 && builds_after_run 1 || return 1
    for f in CMakePresets.json CMakeLists.txt cmake/install.cmake platform/CMakeLists.txt game/CMakeLists.txt \
        package/kaplo.h platform/gdi/dc.cpp; do
        printf '\n' >> "$tree/$f"
        n=$((n + 1))
        builds_after_run $n || { echo "after an edit to $f"; return 1; }
    done
    printf '\n' >> "$tree/package/kaplo.h"
    EDIT_WHILE_BUILDING="$tree/platform/gdi/dc.cpp" builds_after_run $((n + 1)) &&
        builds_after_run $((n + 2)) && builds_after_run $((n + 2)) || { echo "after an edit during the build"; return 1; }
}
check "an edit to a preset, a CMake file or a source rebuilds the package, even during a build" package_rebuilt_on_edits

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

# ---- without Xlib (as on a desktop system other than X11): the package
# builds with none of the layer's X11 code, and a program runs on SDL alone
built_without_xlib() {
    local build="$root/build-kaplo-nox11" prefix="$work/prefix-nox11"
    cmake --preset package -B "$build" -DKAPLO_X11=OFF > /dev/null &&
        cmake --build "$build" --target kaplo platform kaplo_main &&
        cmake --install "$build" --prefix "$prefix" > /dev/null || return 1
    ! nm -u "$prefix/lib/libkaplo_platform.a" | grep -E ' X(Open|Set|Get)' || { echo "Xlib calls left"; return 1; }
    (cd "$project" && export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" &&
        cc ticks.c $(pkg-config --cflags --libs kaplo) -o "$work/ticks-nox11" && timeout 60 "$work/ticks-nox11")
}
check "without Xlib the package builds and a program runs" built_without_xlib

# ---- the install: headers in a folder of their own, find_package and pkg-config
prefix="$work/prefix"
cmake --install build-kaplo --prefix "$prefix" > /dev/null
check "the layer's windows.h is in include/kaplo, not in include" \
    test -f "$prefix/include/kaplo/windows.h" -a ! -e "$prefix/include/windows.h"
check "find_package(kaplo) builds a program that runs" bash -c '
    cmake -S "$1" -B "$2" -G Ninja -DCMAKE_PREFIX_PATH="$3" && cmake --build "$2" &&
    timeout 60 "$2/ticks"' _ "$project" "$work/build-cmake" "$prefix"
check "find_package(kaplo): main instead of WinMain is refused" refuses_main "$work/build-cmake/main_instead"

# ---- a program that goes wrong: the one command says what and where
faulty="$work/faulty"
cp -r tests/install/faulty "$faulty"
# Runs scripts/kaplo.sh with the arguments after "--"; succeeds when it ends
# with status $1 and says each argument before "--" on stderr.
ends_saying() {
    local want="$1" status=0 messages=() m
    shift
    while [ "$1" != -- ]; do messages+=("$1"); shift; done
    shift
    bash "${kaplo[@]}" "$@" > /dev/null 2> "$work/ends.err" || status=$?
    cat "$work/ends.err"
    [ "$status" -eq "$want" ] || { echo "status $status, not $want"; return 1; }
    for m in "${messages[@]}"; do grep -qF -- "$m" "$work/ends.err" || { echo "missing: $m"; return 1; }; done
}
check "a null pointer: its file and line" ends_saying 1 \
    "kaplo: null_radius.c crashed: line 7 of null_radius.c reads memory through a null pointer (in radius_of, called from line 14 of null_radius.c)." \
    -- "$faulty/null_radius.c" --kaplo-headless
check "an index past an array's end" ends_saying 1 \
    "line 8 of past_the_end.c writes past the end of the array 'heights' (made at line 14" -- "$faulty/past_the_end.c"
check "no KAPLO_end: a clean end, and the mended arguments on the terminal" ends_saying 0 \
    "log: Illegal color 99; using RED." "log: Radius of -40 not possible, using radius 40" -- "$faulty/no_end.c"
crash_without_display() {
    (unset DISPLAY WAYLAND_DISPLAY && ends_saying 1 "null_radius.c crashed: line 7" -- --kaplo-headless "$faulty/null_radius.c") &&
        ! grep -q "no desktop" "$work/ends.err"
}
check "a crash with no display is a crash" crash_without_display

# ---- the class grader through the one command: a passing and a differing
# learner, and a report (tests/grade_class/ grades a whole class)
grades_a_class() {
    mkdir -p "$work/class" && cp examples/paint.c "$work/class/alice.c" &&
        sed 's/color = GREEN/color = ORANGE/' examples/paint.c > "$work/class/bob.c" &&
        printf 'KAPLO_KBD(103);\r\nKAPLO_MOUSE(-100, 50);\r\n' > "$work/paint.SCR" || return 1
    timeout 600 bash "${kaplo[@]}" grade "$work/class" --solution examples/paint.c --script "$work/paint.SCR" || return 1
    grep -q 'alice.*paint.SCR.*passed' "$work/class-grade/results.csv" &&
        grep -q 'bob.*differs' "$work/class-grade/results.csv" && test -s "$work/class-grade/report.html"
}
check "kaplo.sh grade grades a class into a report" grades_a_class
check "kaplo.sh grade --help" bash -c 'bash "$0" grade --help | grep -q "kaplo.sh check TASK_FILE PROGRAM"' "${kaplo[@]}"

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
