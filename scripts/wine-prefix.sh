# Sourced by the scripts that run programs under Wine: makes a throwaway
# folder, $work, for a fresh Wine prefix ($work/prefix) and whatever else the
# run needs, points Wine at it, and removes it (after stopping its
# wineserver) when the script exits.
work="$(mktemp -d)"
wine_prefix_cleanup() {
    WINEPREFIX="$work/prefix" wineserver -k 2> /dev/null || true
    WINEPREFIX="$work/prefix" wineserver -w 2> /dev/null || true
    rm -rf "$work" 2> /dev/null || true
}
trap wine_prefix_cleanup EXIT
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
