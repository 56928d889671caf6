#!/usr/bin/env bash
# Builds a learner's own program against the KAPLO package and starts it.
# The package is built once into build-kaplo/ (build-kaplo-windows/ for the
# Windows .exe) and installed into a prefix there; after that a run compiles
# only the program. Run with --help for the options.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
me="kaplo"

usage() {
    cat << EOF
Usage: bash scripts/kaplo.sh [options] PROGRAM [arguments for the program]
       bash scripts/kaplo.sh grade|check|expect|merge ... (the class grader: add --help)

Builds PROGRAM against the KAPLO package and starts it. PROGRAM is one C or
C++ source file (.c, .cpp, .cc, .cxx) or a folder: then every such file in
it (not in its subfolders) is part of the program. The program starts in the
folder of its sources, so that KAPLO.SCR is written there.

The first run installs what is missing (scripts/install-deps.sh, as root or
through sudo) and builds the package, which takes a minute; later runs
compile only the program.

The program is built with checks that stop it at the first memory fault or
undefined arithmetic and name the line of its source; when it ends badly the
script says how, in one sentence and a hint. Mended arguments, script
messages and the program's own log lines are copied to the terminal.

Options:
  --windows      build a Windows program (PROGRAM.exe, with mingw-w64) beside
                 the sources instead of starting it; run it on Windows, or here
                 with: wine PROGRAM.exe
  --web          build it for a web page instead: a folder PROGRAM-web beside
                 the sources, with index.html, to put on any web server
  --out DIR      with --windows: put the .exe into DIR instead; with --web:
                 make the page's folder DIR
  --watch        a sketchbook: start the program, and whenever a source is
                 saved build it again and restart it (a failed build leaves
                 the running program alone); Ctrl+C ends
  --build-only   build the program and stop (prints where it is)
  --no-checks    build without the checks (AddressSanitizer and
                 UndefinedBehaviorSanitizer): a crash is then named without
                 its line
  --raw-report   after a crash, show the checks' whole report as well
  --all-log      copy every log line to the terminal, drawing calls too
  --build-log    show the whole output of the package's build instead of
                 one line of progress
  -h, --help     this text

Options of the layer, which begin with --kaplo- and may stand anywhere before
a "--" (after "--" every word goes to the program), run the program without
a display and record what it does (docs/running.md; --kaplo-clock, --kaplo-scale
and --kaplo-echo keep the display):
  --kaplo-script=FILE  --kaplo-frames=DIR  --kaplo-every=N
  --kaplo-last-frame=FILE  --kaplo-gif=FILE  --kaplo-log=FILE
  --kaplo-max-ms=MS  --kaplo-max-frames=N  --kaplo-timeout=SECONDS
  --kaplo-headless  --kaplo-clock=TIME  --kaplo-scale=N  --kaplo-echo=WHICH
Any built program explains them: PROGRAM --kaplo-help.

A teacher grades a whole class with "grade", a learner checks a program
against a task before handing it in with "check" (docs/grading.md).
EOF
}

fail() {
    echo "$me: $*" >&2
    exit 1
}

# Copies a build's output into the file $1. On a terminal one line shows
# ninja's progress, "[12/140] Building CXX object ...", written over in place;
# with --build-log the whole output shows instead.
show_progress() {
    local line width log_fd
    exec {log_fd}> "$1"
    if [ "$build_log" -eq 1 ]; then
        tee /dev/fd/$log_fd >&2
    elif [ -t 2 ]; then
        width=$(($(tput cols 2> /dev/null || echo 80) - ${#me} - 3))
        while IFS= read -r line; do
            printf '%s\n' "$line" >&$log_fd
            case "$line" in \[*/*\]*) printf '\r\033[K%s: %s' "$me" "${line:0:width}" >&2 ;; esac
        done
        printf '\r\033[K' >&2
    else
        cat >&$log_fd
    fi
    exec {log_fd}>&-
}
export NINJA_STATUS="[%f/%t] "

# What the builds need: installed where missing on Debian; elsewhere
# install-deps.sh says what is missing (and the message is its own).
ensure_dependencies() {
    "$root/scripts/install-deps.sh" "$@" || exit 1
}

# A fingerprint of every input of the package's build: the presets, every
# CMake file that configuring reads, the package's and the layer's files. Made
# of contents and names, not times, so a file copied in with an old time, or
# removed, counts too.
package_fingerprint() {
    (cd "$root" && find CMakeLists.txt CMakePresets.json cmake package platform game tools examples \
        -type f \( -path 'cmake/*' -o -path 'package/*' -o -path 'platform/*' \
        -o -name CMakeLists.txt -o -name CMakePresets.json -o -name '*.cmake' \) -print0 |
        LC_ALL=C sort -z | xargs -0 cksum | cksum)
}

# Builds and installs the package unless it was built from these very inputs.
# The fingerprint is taken before the build, so that a file saved while it
# runs is built by the next run.
build_package() {
    local fingerprint log="$pkg_build/package-build.log"
    prefix="$pkg_build/prefix"
    stamp="$pkg_build/package.stamp"  # the fingerprint of what the installed package was built from
    fingerprint="$(package_fingerprint)"
    if [ -f "$prefix/lib/pkgconfig/kaplo.pc" ] && [ "$(cat "$stamp" 2> /dev/null)" = "$fingerprint" ]; then
        return 0
    fi
    echo "$me: building the KAPLO package into $pkg_build (once; about a minute)"
    mkdir -p "$pkg_build"
    rm -f "$stamp"
    if ! { (cd "$root" && cmake --preset "$preset") &&
        cmake --build "$pkg_build" --target "${targets[@]}" &&
        cmake --install "$pkg_build" --prefix "$prefix"; } 2>&1 | show_progress "$log"; then
        tail -n 30 "$log" >&2
        fail "the package did not build (whole log: $log)"
    fi
    echo "$fingerprint" > "$stamp"
}

# The native build of the package: its folder, preset, targets and compilers.
native_package() {
    pkg_build="$root/build-kaplo" deps=() preset=package
    targets=(kaplo platform kaplo_main end_words)
    cc=cc cxx=c++ nm=nm link_extra=()
    # gold links the package's static libraries in a third of the time.
    if command -v ld.gold > /dev/null; then link_extra=(-fuse-ld=gold); fi
}

# Builds a tool of the package's build again when one of its sources is newer
# than it: $1 its target, $2 its folder under tools/, $3 what it is, for a failure.
refresh_tool() {
    local tool="$pkg_build/tools/$2/$1"
    if [ ! -x "$tool" ] || [ -n "$(find "$root/tools/$2" -newer "$tool" -type f -print -quit)" ]; then
        cmake --build "$pkg_build" --target "$1" > "$pkg_build/$1-build.log" 2>&1 ||
            fail "could not build $3 (log: $pkg_build/$1-build.log)"
    fi
}

# ---- the class grader: tools/grade, built with the package
case "${1:-}" in
grade | check | expect | merge)
    native_package
    targets+=(kaplo_grade)
    build_log=0
    ensure_dependencies
    build_package
    refresh_tool kaplo_grade grade "the grader, which needs nlohmann-json and GLib"
    exec "$pkg_build/tools/grade/kaplo_grade" "$@" --package "$prefix"
    ;;
esac

# ---- the command line
windows=0 watch=0 build_only=0 web=0 out_dir="" checks=1 raw_report=0 echo=notes build_log=0
layer_options=()  # the --kaplo- options, wherever they stand before "--"
while [ $# -gt 0 ]; do
    case "$1" in
        -h | --help) usage; exit 0 ;;
        --kaplo-*) layer_options+=("$1") ;;
        --no-checks) checks=0 ;;
        --raw-report) raw_report=1 ;;
        --all-log) echo=all ;;
        --build-log) build_log=1 ;;
        --windows) windows=1 ;;
        --web) web=1 ;;
        --watch) watch=1 ;;
        --build-only) build_only=1 ;;
        --out)
            [ $# -ge 2 ] || fail "--out needs a folder"
            out_dir="$2"
            shift
            ;;
        --) shift; break ;;
        -*) echo "$me: unknown option $1 (see --help)" >&2; exit 2 ;;
        *) break ;;
    esac
    shift
done
[ $# -ge 1 ] || { usage >&2; exit 2; }
program="$1"
shift
program_args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --) shift; program_args+=("$@"); break ;;
        --kaplo-*) layer_options+=("$1") ;;
        *) program_args+=("$1") ;;
    esac
    shift
done
[ "$windows" -eq 0 ] || [ "$watch" -eq 0 ] || fail "--windows and --watch do not go together"
[ "$web" -eq 0 ] || [ $((windows + watch)) -eq 0 ] || fail "--web goes with neither --windows nor --watch"
[ -z "$out_dir" ] || [ $((windows + web)) -eq 1 ] || fail "--out is for --windows or --web"
# ---- the program's sources
is_source() { case "$1" in *.c | *.cpp | *.cc | *.cxx) return 0 ;; *) return 1 ;; esac; }

[ -e "$program" ] || fail "no such file or folder: $program"
sources=()
if [ -d "$program" ]; then
    src_dir="$(cd "$program" && pwd)"
    name="$(basename "$src_dir")"
    for f in "$src_dir"/*; do
        [ -f "$f" ] && is_source "$f" && sources+=("$f")
    done
    [ ${#sources[@]} -gt 0 ] || fail "$program holds no C or C++ sources (.c, .cpp, .cc, .cxx)"
    shown="$program"
else
    is_source "$program" || fail "$program is not a C or C++ source (.c, .cpp, .cc, .cxx)"
    src_dir="$(cd "$(dirname "$program")" && pwd)"
    sources=("$src_dir/$(basename "$program")")
    name="$(basename "$program")"
    name="${name%.*}"
    shown="$(basename "$program")"
fi

# ---- a web page: built by scripts/web.sh, as quietly as the native build
if [ "$web" -eq 1 ]; then
    page="${out_dir:-$src_dir/$name-web}"
    log="$root/build-web/web-build.log"
    mkdir -p "$root/build-web"
    echo "$me: building $shown for the web (the first time takes a few minutes)"
    if ! bash "$root/scripts/web.sh" "$program" -o "$page" 2>&1 | show_progress "$log"; then
        tail -n 30 "$log" >&2
        fail "$shown did not build for the web (whole log: $log)"
    fi
    echo "$me: built $(cd "$page" && pwd)/index.html"
    exit 0
fi

# ---- the package, built and installed once (again only when its sources change)
if [ "$windows" -eq 1 ]; then
    pkg_build="$root/build-kaplo-windows"
    deps=(windows)
    preset=package-windows
    targets=(kaplo)
    triple=x86_64-w64-mingw32
    cc="$triple-gcc-posix" cxx="$triple-g++-posix" nm="$triple-nm"
    # No DLLs of the compiler's runtime needed beside the .exe.
    link_extra=(-static)
else
    native_package
fi

ensure_dependencies "${deps[@]+"${deps[@]}"}"
build_package

# ---- the program
if [ "$windows" -eq 1 ]; then
    out_dir="${out_dir:-$src_dir}"
    mkdir -p "$out_dir"
fi
# One folder of objects per program folder and name.
obj_dir="$pkg_build/programs/${name// /_}-$(printf '%s' "$src_dir" | cksum | cut -d' ' -f1)"
if [ "$windows" -eq 1 ]; then
    exe="$(cd "$out_dir" && pwd)/$name.exe"
else
    exe="$obj_dir/$name"
fi
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
# Without -r: pkg-config writes a space in a path as "\ ".
read -a cflags <<< "$(pkg-config --cflags kaplo)"
read -a libs <<< "$(pkg-config --libs kaplo)"
color=()
[ -t 2 ] && color=(-fdiagnostics-color=always)
# The checks: a memory fault or undefined arithmetic stops the program at its
# line with a report, which end_words puts into words. Only the program's own
# code is checked; the package's libraries stay as they are.
check_flags=()
if [ "$windows" -eq 0 ] && [ "$checks" -eq 1 ]; then
    check_flags=(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
fi

# The tool that words how the program ended, kept up to date with its sources.
end_words="$pkg_build/tools/end_words/end_words"
[ "$windows" -eq 1 ] || refresh_tool end_words end_words tools/end_words

# Compiles the sources one by one, checks for WinMain and links; 1 with the
# compiler's own messages (or a word on WinMain) on stderr when that fails.
build_program() {
    mkdir -p "$obj_dir"
    rm -f "$obj_dir"/*.o
    local objects=() linker="$cc" src obj compiler
    for src in "${sources[@]}"; do
        obj="$obj_dir/${#objects[@]}.o"  # numbered: nm's lines split at spaces
        compiler="$cc"
        case "$src" in *.c) ;; *) compiler="$cxx" linker="$cxx" ;; esac
        # From the sources' folder, so that messages name the file as the learner does.
        if ! (cd "$src_dir" && "$compiler" -c -g -Wall "${color[@]}" "${check_flags[@]}" -o "$obj" "$(basename "$src")" "${cflags[@]}"); then
            echo "$me: $(basename "$src") did not compile (the compiler's messages are above)" >&2
            return 1
        fi
        objects+=("$obj")
    done
    # The sources that define WinMain: exactly one must.
    local with_winmain=() n
    for n in $("$nm" -A -P --defined-only "${objects[@]}" 2> /dev/null |
        awk '$2 == "WinMain" { sub(/\.o:$/, "", $1); sub(/.*\//, "", $1); print $1 }'); do
        with_winmain+=("$(basename "${sources[$n]}")")
    done
    if [ ${#with_winmain[@]} -eq 0 ]; then
        cat >&2 << EOF
$me: $shown has no WinMain: a KAPLO program starts in WinMain, not in main, written as
    int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
and begins with KAPLO_begin(instance, previous, command_line, show); see examples/.
EOF
        return 1
    fi
    if [ ${#with_winmain[@]} -gt 1 ]; then
        echo "$me: $shown holds several programs (WinMain in ${with_winmain[*]}): give the script one of the files" >&2
        return 1
    fi
    if ! "$linker" -o "$exe.new" "${objects[@]}" "${check_flags[@]}" "${libs[@]}" "${link_extra[@]}"; then
        echo "$me: $shown did not link (the linker's messages are above)" >&2
        return 1
    fi
    mv -f "$exe.new" "$exe"
}

# The program's environment: leaks are not faults to stop a learner at (and
# the layer's tables live to the end); a report names the calls that led there.
export ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
run_args=(--kaplo-echo="$echo" "${layer_options[@]+"${layer_options[@]}"}" "${program_args[@]+"${program_args[@]}"}")

if [ "$watch" -eq 0 ]; then
    build_program || exit 1
    if [ "$build_only" -eq 1 ] || [ "$windows" -eq 1 ]; then
        echo "$me: built $exe"
        exit 0
    fi
    # The program's standard error passes through end_words, which keeps a
    # sanitizer's report aside for the words at the end.
    kept="$obj_dir/report.txt"
    exec {to_filter}> >(exec "$end_words" filter "$kept")
    filter=$!
    # In the background so that a signal to this script ends the program too
    # (such a job ignores Ctrl+C's SIGINT: it gets a SIGTERM instead).
    (cd "$src_dir" && exec "$exe" "${run_args[@]}") 2>&$to_filter &
    child=$! stopped=0
    exec {to_filter}>&-
    trap 'stopped=1; kill -TERM "$child" 2> /dev/null || true' INT TERM HUP
    while :; do
        status=0
        wait "$child" 2> /dev/null || status=$?  # our own word on a crash, not the shell's
        kill -0 "$child" 2> /dev/null || break  # woken by a signal: wait on
    done
    wait "$filter" 2> /dev/null || true
    if [ "$stopped" -eq 0 ] && [ "$status" -ne 0 ]; then
        [ "$raw_report" -eq 0 ] || cat "$kept" >&2
        explain=(--program "$shown" --dir "$src_dir" --status "$status")
        [ ${#layer_options[@]} -eq 0 ] || explain+=(--layer-run)
        [ ${#check_flags[@]} -gt 0 ] || explain+=(--no-checks)
        "$end_words" explain "${explain[@]}" "$kept" >&2
    fi
    exit "$status"
fi

# ---- --watch: rebuild and restart on every save
command -v inotifywait > /dev/null || fail "--watch needs inotifywait (Debian package inotify-tools)"
running=""
watcher=""

# Ends the running program: SIGTERM, then SIGKILL if it is still there after 2 s.
stop_program() {
    [ -n "$running" ] || return 0
    if ! kill -TERM "$running" 2> /dev/null; then  # it has ended already
        wait "$running" 2> /dev/null || true
        running=""
        return 0
    fi
    sleep 2 &
    local timer=$! ended=""
    wait -n -p ended "$running" "$timer" 2> /dev/null || true
    if [ "$ended" = "$running" ]; then
        kill "$timer" 2> /dev/null || true
        wait "$timer" 2> /dev/null || true
    else
        kill -KILL "$running" 2> /dev/null || true
        wait "$running" 2> /dev/null || true
    fi
    running=""
}

# Starts the program built last.
start_program() {
    (cd "$src_dir" && exec "$exe" "$@") &
    running=$!
    echo "$me: started $shown (process $running)"
}

cleanup() {
    trap - EXIT INT TERM
    stop_program
    [ -z "$watcher" ] || kill "$watcher" 2> /dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Saves arrive as writes, or as a new file moved over the old one. The watch is
# set up before the first build, so that no save is missed.
exec {events}< <(exec inotifywait -m -e close_write -e moved_to --format '%f' "$src_dir" 2>&1)
watcher=$!
while read -r -u "$events" line && [ "$line" != "Watches established." ]; do
    case "$line" in Setting\ up*) ;; *) echo "$line" >&2 ;; esac
done
kill -0 "$watcher" 2> /dev/null || fail "could not watch $src_dir"
if build_program; then start_program "${run_args[@]}"; fi
echo "$me: watching $shown: save to restart it, Ctrl+C ends"
while read -r -u "$events" changed; do
    # The program's sources, and any header beside them.
    case "$changed" in
        *.h | *.hpp) ;;
        *) is_source "$changed" && { [ -d "$program" ] || [ "$changed" = "$shown" ]; } || continue ;;
    esac
    # An editor's save can be several events: take them as one.
    while read -r -t 0.2 -u "$events" _; do :; done
    echo "$me: $changed saved: building"
    if build_program; then
        stop_program
        start_program "${run_args[@]}"
    else
        echo "$me: still watching; the running program is the one built last"
    fi
done
fail "the watch on $src_dir ended"
