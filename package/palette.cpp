// The palette: 24 named colours, checking and lookup.
#include "package.h"

// Colour values, COLORREF (0x00BBGGRR), by palette index.
static const COLORREF color_table[NUM_COLORS] = {
    RGB(0x00, 0x00, 0x00), RGB(0xFF, 0xFF, 0xFF), RGB(0xFF, 0x00, 0x00), RGB(0x00, 0xFF, 0x00),
    RGB(0x00, 0x00, 0xFF), RGB(0xFF, 0xFF, 0x00), RGB(0xFF, 0x00, 0xFF), RGB(0x00, 0xFF, 0xFF),
    RGB(0x99, 0x00, 0xCC), RGB(0x00, 0x33, 0x99), RGB(0x99, 0x66, 0x99), RGB(0x99, 0xFF, 0xFF),
    RGB(0x99, 0xFF, 0xCC), RGB(0xFF, 0x66, 0x00), RGB(0x99, 0x66, 0x33), RGB(0xFF, 0x99, 0xCC),
    RGB(0xFF, 0xFF, 0x99), RGB(0xCC, 0x99, 0x33), RGB(0xFF, 0x99, 0x66), RGB(0x00, 0x66, 0x33),
    RGB(0x33, 0xCC, 0x99), RGB(0x99, 0x99, 0x33), RGB(0x80, 0x80, 0x80), RGB(0xCC, 0xCC, 0xCC),
};

// Colour names for the log, by palette index.
static const char *const color_names[NUM_COLORS] = {
    "black",  "white",     "red",        "green",    "blue",         "yellow",
    "magenta", "cyan",     "purple",     "navy blue", "dusty plum",  "ice blue",
    "turquoise", "orange", "brown",      "pink",     "chalk",        "gold",
    "peach",  "forest green", "sea green", "olive",  "50% gray",     "20% gray",
};

// Returns the colour if it is a palette index, else logs it and returns RED.
int check_color(int color) {
    if (color >= 0 && color < NUM_COLORS) return color;
    KAPLO_log("Illegal color %d; using RED.\n", color);
    return RED;
}

// The COLORREF of a palette index (red for anything outside the palette).
COLORREF color_value(int color) {
    if (color < 0 || color >= NUM_COLORS) color = RED;
    return color_table[color];
}

// The log name of a palette index (red's for anything outside the palette).
const char *color_name(int color) {
    if (color < 0 || color >= NUM_COLORS) color = RED;
    return color_names[color];
}
