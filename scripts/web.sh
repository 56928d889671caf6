#!/usr/bin/env bash
# Builds a KAPLO program for the web: the layer, the package and the program
# compiled to WebAssembly with Debian's emscripten, written to a folder with
# index.html, NAME.js and NAME.wasm that runs when served as static files.
#   scripts/web.sh PROGRAM|--game|--frame-timer [-o FOLDER] [--serve [PORT]]
# PROGRAM is a C or C++ file, or a folder of them (one defines WinMain).
# The folder is build-web/site/NAME unless -o names another; --serve then
# serves it on http://localhost:PORT/ (8000 by default) until Ctrl+C.
set -euo pipefail
usage() {
    sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}
root="$(cd "$(dirname "$0")/.." && pwd)"
program="" out="" serve="" port=8000
while [ $# -gt 0 ]; do
    case "$1" in
        -o) [ $# -ge 2 ] || usage; out="$2"; shift 2 ;;
        --serve) serve=1; shift
                 if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then port="$1"; shift; fi ;;
        -h|--help) usage ;;
        -*) [ "$1" = --game ] || [ "$1" = --frame-timer ] || usage; program="$1"; shift ;;
        *) program="$1"; shift ;;
    esac
done
[ -n "$program" ] || usage
"$root/scripts/install-deps.sh" web

# Debian's emcc runs its optimizer passes with node and finds their modules here.
export NODE_PATH=/usr/share/nodejs
build="$root/build-web"
program_args=(-UKAPLO_WEB_PROGRAM -UKAPLO_WEB_NAME)  # no program left from a build before
case "$program" in
    --game) name=kaplo_game; target=kaplo_game; dir="$build/game" ;;
    --frame-timer) name=frame_timer; target=frame_timer; dir="$build/tools/frame_timer" ;;
    *)
        # One C or C++ file, or a folder: every such file directly in it.
        files=""
        if [ -d "$program" ]; then
            folder="$(cd "$program" && pwd)"
            name="$(basename "$folder")"
            for f in "$folder"/*.c "$folder"/*.cpp "$folder"/*.cc "$folder"/*.cxx; do
                [ -f "$f" ] && files="${files:+$files;}$f"
            done
        elif [ -f "$program" ]; then
            files="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
            name="$(basename "${program%.*}")"
        fi
        [ -n "$files" ] || { echo "web.sh: no C or C++ program at $program" >&2; exit 1; }
        name="$(printf '%s' "$name" | tr -c 'A-Za-z0-9_' '_')"
        target=kaplo_program; dir="$build"
        program_args=(-DKAPLO_WEB_PROGRAM="$files" -DKAPLO_WEB_NAME="$name") ;;
esac
(cd "$root" && cmake --preset web -B "$build" "${program_args[@]+"${program_args[@]}"}") > /dev/null
cmake --build "$build" --target "$target"

out="${out:-$build/site/$name}"
mkdir -p "$out"
cp "$dir/$name.js" "$dir/$name.wasm" "$out/"
sed -e "s/@PROGRAM@/$name/g" -e "s/@TITLE@/$name/g" \
    "$root/platform/backends/web/index.html" > "$out/index.html"
echo "web.sh: $out/index.html"
if [ -n "$serve" ]; then
    echo "web.sh: serving on http://localhost:$port/ (Ctrl+C stops)"
    exec python3 -m http.server --bind 127.0.0.1 --directory "$out" "$port"
fi
