#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing KAPLO need.
# Does nothing when they are all there already. Runs as root or through sudo.
# Where there is no apt (and dpkg), installs nothing: check-deps.sh checks
# what a program's build needs and names the packages of other systems.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libsdl2-dev libx11-dev libfreetype-dev libfontconfig-dev libharfbuzz-dev libfribidi-dev libpng-dev libgif-dev
    googletest libgtest-dev libbenchmark-dev
    # DejaVu draws text; Noto's core set stands in for the scripts DejaVu lacks (Devanagari
    # and others), Noto CJK for Chinese, Japanese and Korean.
    fonts-dejavu-core fonts-noto-core fonts-noto-cjk
    xvfb xauth xdotool
    inotify-tools
    # The class grader: its results files, and the sandbox its runs go in.
    nlohmann-json3-dev bubblewrap
    # and GLib's base64, for the pictures inside its report (HarfBuzz needs GLib as well).
    libglib2.0-dev
)
# Extra groups, asked for by name: windows (cross build, Wine, screenshots), fuzz (clang),
# bench (ImageMagick and Pango with Cairo, which benchmarks race against), arm (the aarch64 cross compiler,
# qemu-user and the arm64 libraries), web (emscripten, and headless Chromium with node for
# the page's tests).
for group in "$@"; do
    case "$group" in
        windows) packages+=(g++-mingw-w64-x86-64 wine wine64 imagemagick) ;;
        fuzz) packages+=(clang libclang-rt-dev) ;;
        bench) packages+=(imagemagick libpango1.0-dev libcairo2-dev) ;;
        arm) packages+=(g++-aarch64-linux-gnu qemu-user file libfreetype-dev:arm64 libfontconfig-dev:arm64
                        libharfbuzz-dev:arm64 libfribidi-dev:arm64 libpng-dev:arm64 libgif-dev:arm64 libglib2.0-dev:arm64 libgtest-dev:arm64 libstdc++6:arm64) ;;
        web) packages+=(emscripten chromium python3)
             # node and npm: Debian's, unless a node is already installed (it brings npm).
             command -v node > /dev/null && command -v npm > /dev/null || packages+=(nodejs npm) ;;
        *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
    esac
done
if ! command -v dpkg-query > /dev/null || ! command -v apt-get > /dev/null; then
    exec bash "$(dirname "$0")/check-deps.sh" "$@"
fi

# One query for all of them (scripts/kaplo.sh runs this on every build); it
# fails when some package is unknown to dpkg, which the loop below counts as missing.
# A package is known by its name (native or all architectures) and by
# name:architecture, as the arm group names the arm64 ones.
native="$(dpkg --print-architecture)"
installed=" $(dpkg-query -W -f='${Package} ${Architecture} ${Status}\n' "${packages[@]}" 2> /dev/null |
    awk -v native="$native" '$3 " " $4 " " $5 == "install ok installed" {
        if ($2 == native || $2 == "all") print $1
        print $1 ":" $2
    }' | tr '\n' ' ' || true) "
missing=()
for p in "${packages[@]}"; do
    [[ "$installed" == *" $p "* ]] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# The arm64 libraries come through multiarch.
if printf '%s\n' "${missing[@]}" | grep -q ':arm64$' && ! dpkg --print-foreign-architectures | grep -qx arm64; then
    $sudo dpkg --add-architecture arm64
fi
$sudo apt-get update -qq
# With the recommended packages: Wine's fonts and X libraries among them, so
# that Wine on a fresh machine behaves as it does where the tests were made.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" ||
    { echo "install-deps: apt-get could not install ${missing[*]} (see above)" >&2; exit 1; }
