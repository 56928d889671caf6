/* palette.c - the 24 colours of KAPLO, with their names and numbers.
 *
 * A colour is a number from 0 to 23; kaplo.h gives each one a name such as
 * RED or SEA_GREEN. Click a colour to see its name in the window and in the
 * log window, where KAPLO_log writes lines like printf does.
 */
#include <kaplo.h>

/* The names, in the order of their numbers. */
static const char *names[NUM_COLORS] = {
    "BLACK", "WHITE", "RED", "GREEN", "BLUE", "YELLOW", "MAGENTA", "CYAN",
    "PURPLE", "NAVY_BLUE", "DUSTY_PLUM", "ICE_BLUE", "TURQUOISE", "ORANGE", "BROWN", "PINK",
    "CHALK", "GOLD", "PEACH", "FOREST_GREEN", "SEA_GREEN", "OLIVE", "GRAY_50", "GRAY_20"};

/* Colour number i is drawn in column i % 4 and row i / 4 of the chart. */
static int left_of(int i) { return -290 + 146 * (i % 4); }
static int top_of(int i) { return 190 - 64 * (i / 4); }

/* Draws the chart and, below it, the name of the colour picked (-1: none yet). */
static void draw_chart(int picked)
{
    int i;

    KAPLO_wipe();
    KAPLO_text(BLACK, -285, 210, 16, "The 24 colours - click one");
    for (i = 0; i < NUM_COLORS; i++) {
        KAPLO_rectangle(i, left_of(i), top_of(i), left_of(i) + 36, top_of(i) - 36, 0);
        KAPLO_rectangle(BLACK, left_of(i), top_of(i), left_of(i) + 36, top_of(i) - 36, 1);
        KAPLO_textf(BLACK, left_of(i) + 41, top_of(i) - 23, 10, "%d %s", i, names[i]);
    }
    if (picked >= 0) {
        KAPLO_rectangle(picked, -285, -200, -245, -230, 0);
        KAPLO_textf(BLACK, -235, -222, 16, "You picked %s, colour number %d", names[picked], picked);
    }
}

/* The colour whose square holds the point (x, y), or -1 for none. */
static int color_at(int x, int y)
{
    int i;
    for (i = 0; i < NUM_COLORS; i++) {
        if (x >= left_of(i) && x <= left_of(i) + 36 && y <= top_of(i) && y >= top_of(i) - 36) {
            return i;
        }
    }
    return -1;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int kind, x, y;
    char key;
    int picked = -1;

    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_set_logging(0);
    draw_chart(picked);

    while ((kind = KAPLO_next_event(&x, &y, &key)) != KAPLO_QUIT) {
        if (kind == KAPLO_MOUSE && color_at(x, y) >= 0) {
            picked = color_at(x, y);
            KAPLO_log("You clicked at (%d,%d): %s, colour %d\n", x, y, names[picked], picked);
            draw_chart(picked);
        }
    }

    KAPLO_end();
    return 0;
}
