#!/usr/bin/env bash
# Checks, without installing anything, that what building a KAPLO program
# needs is here: the tools (cmake, ninja, a C++ compiler, pkg-config) and the
# libraries, found through pkg-config (giflib, which has no pkg-config file,
# through the compiler). install-deps.sh runs this where there is no apt.
# Silent with status 0 when all is there; otherwise one message naming what
# is missing and the packages that hold it on Fedora, Arch, openSUSE and
# Homebrew, and status 1.
#   scripts/check-deps.sh [GROUP...]    (the extra groups need Debian's packages)
set -uo pipefail

if [ $# -gt 0 ]; then
    echo "install-deps: there is no apt here, and the extra groups ($*) are made of Debian's packages:" \
        "install them yourself (scripts/install-deps.sh lists them)" >&2
    exit 1
fi

# What is needed: its name, how it is found (command NAME, pkg-config MODULE or
# header FILE), and its packages on Fedora (dnf), Arch (pacman), openSUSE
# (zypper) and Homebrew, "-" where that system brings it otherwise.
needs=(
    "cmake|command cmake|cmake|cmake|cmake|cmake"
    "ninja|command ninja|ninja-build|ninja|ninja|ninja"
    "a C++ compiler|command c++|gcc-c++|gcc|gcc-c++|-"
    "pkg-config|command pkg-config|pkgconf-pkg-config|pkgconf|pkgconf-pkg-config|pkgconf"
    "SDL2|pkg-config sdl2|SDL2-devel|sdl2|libSDL2-devel|sdl2"
    "FreeType|pkg-config freetype2|freetype-devel|freetype2|freetype2-devel|freetype"
    "fontconfig|pkg-config fontconfig|fontconfig-devel|fontconfig|fontconfig-devel|fontconfig"
    "libpng|pkg-config libpng|libpng-devel|libpng|libpng16-devel|libpng"
    "giflib|header gif_lib.h|giflib-devel|giflib|giflib-devel|giflib"
    "HarfBuzz|pkg-config harfbuzz|harfbuzz-devel|harfbuzz|harfbuzz-devel|harfbuzz"
    "FriBidi|pkg-config fribidi|fribidi-devel|fribidi|fribidi-devel|fribidi"
)

found() {
    case "$1" in
        command) command -v "$2" > /dev/null ;;
        pkg-config) command -v pkg-config > /dev/null && pkg-config --exists "$2" ;;
        header) printf '#include <%s>\n' "$2" | c++ -E -x c++ - > /dev/null 2>&1 ;;
    esac
}

missing=() fedora=() arch=() opensuse=() homebrew=()
for need in "${needs[@]}"; do
    IFS='|' read -r name probe f a o h <<< "$need"
    # shellcheck disable=SC2086  # the probe is a kind and a name
    found $probe && continue
    missing+=("$name")
    fedora+=("$f") arch+=("$a") opensuse+=("$o")
    [ "$h" = - ] || homebrew+=("$h")
done
[ ${#missing[@]} -eq 0 ] && exit 0

{
    echo "install-deps: there is no apt here to install what KAPLO needs, and this is missing:"
    echo "    $(IFS=,; echo "${missing[*]}" | sed 's/,/, /g')"
    echo "Install it with your system's packages, then run the command again:"
    echo "    Fedora:           sudo dnf install ${fedora[*]}"
    echo "    Arch:             sudo pacman -S --needed ${arch[*]}"
    echo "    openSUSE:         sudo zypper install ${opensuse[*]}"
    if [ ${#homebrew[@]} -gt 0 ]; then
        echo "    macOS (Homebrew): brew install ${homebrew[*]}"
    fi
    if [[ " ${missing[*]} " == *" C++ compiler "* ]]; then
        echo "    (on macOS the C++ compiler comes with Apple's command line tools: xcode-select --install)"
    fi
} >&2
exit 1
