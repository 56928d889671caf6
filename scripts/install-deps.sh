#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing KAPLO need.
# Does nothing when they are all there already. Runs as root or through sudo.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libsdl2-dev libfreetype-dev libfontconfig-dev libpng-dev libgif-dev
    googletest libgtest-dev libbenchmark-dev
    fonts-dejavu-core
    xvfb xauth xdotool
    inotify-tools
)
# Extra groups, asked for by name: windows (cross build, Wine, screenshots), fuzz (clang),
# bench (ImageMagick, which one benchmark races against), web (emscripten, and
# headless Chromium with node for the page's tests).
for group in "$@"; do
    case "$group" in
        windows) packages+=(g++-mingw-w64-x86-64 wine wine64 imagemagick) ;;
        fuzz) packages+=(clang libclang-rt-dev) ;;
        bench) packages+=(imagemagick) ;;
        web) packages+=(emscripten chromium python3)
             # node and npm: Debian's, unless a node is already installed (it brings npm).
             command -v node > /dev/null && command -v npm > /dev/null || packages+=(nodejs npm) ;;
        *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
    esac
done

# One query for all of them (scripts/kaplo.sh runs this on every build); it
# fails when some package is unknown to dpkg, which the loop below counts as missing.
installed=" $(dpkg-query -W -f='${Package}:${Status}\n' "${packages[@]}" 2> /dev/null |
    sed -n 's/:install ok installed$//p' | tr '\n' ' ' || true) "
missing=()
for p in "${packages[@]}"; do
    [[ "$installed" == *" $p "* ]] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
# With the recommended packages: Wine's fonts and X libraries among them, so
# that Wine on a fresh machine behaves as it does where the tests were made.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
