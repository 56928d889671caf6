/* shapes.c - a gallery of every shape KAPLO draws, in three pages.
 *
 * Click or press any key for the next page. Press d to switch the
 * describing of drawing calls in the log window on or off with
 * KAPLO_set_logging: with it on, every call writes a line in words.
 *
 * A shape whose last number, the width, is 0 is filled; any other width
 * draws only the outline, that many pixels wide.
 */
#include <kaplo.h>

#define PAGES 3

/* Page 0: filled shapes. */
static void filled_shapes(void)
{
    KAPLO_rectangle(ORANGE, -260, 150, -120, 40, 0);
    KAPLO_oval(TURQUOISE, -70, 150, 90, 40, 0);
    KAPLO_circle(PURPLE, 200, 95, 55);
    KAPLO_triangle(OLIVE, -260, -150, -120, -150, -190, -20, 0);
    KAPLO_triangle(PINK, -60, -20, 80, -40, 10, -160, 0); /* corners in any order */
    KAPLO_rectangle(DUSTY_PLUM, 140, -30, 260, -150, 0);
    KAPLO_circle(WHITE, 200, -90, 30); /* a later shape covers an earlier one */
}

/* Page 1: the same kinds of shape as outlines of different widths. */
static void outlines(void)
{
    int k;
    for (k = 0; k < 3; k = k + 1) { /* three boxes, one inside the other: widths 1, 4 and 7 */
        KAPLO_rectangle(NAVY_BLUE, -260 + 18 * k, 150 - 18 * k, -120 - 18 * k, 40 + 18 * k, 1 + 3 * k);
    }
    KAPLO_oval(SEA_GREEN, -60, 150, 100, 40, 1);
    KAPLO_oval(SEA_GREEN, -40, 135, 80, 55, 6);
    KAPLO_rectangle(ORANGE, 150, 150, 250, 40, 3);
    KAPLO_line(ORANGE, 150, 150, 250, 40, 1); /* lines from corner to corner */
    KAPLO_line(ORANGE, 150, 40, 250, 150, 1);
    KAPLO_triangle(RED, -260, -150, -120, -150, -190, -20, 3);
    KAPLO_triangle(BROWN, -50, -150, 70, -150, 10, -40, 8);
    KAPLO_oval(BLACK, 150, -40, 250, -150, 2); /* an oval in a square box is a circle outline */
}

/* Page 2: lines of every width from 1 to 8, and texts of three sizes. */
static void lines_and_text(void)
{
    int width;
    for (width = 1; width <= 8; width = width + 1) {
        KAPLO_line(BLUE, -260, 170 - 22 * width, -40, 190 - 22 * width, width);
        KAPLO_textf(BLACK, -25, 168 - 22 * width, 12, "width %d", width);
    }
    KAPLO_text(FOREST_GREEN, 60, 150, 12, "Text, 12 points");
    KAPLO_text(FOREST_GREEN, 60, 110, 24, "24 points");
    KAPLO_text(FOREST_GREEN, 60, 50, 40, "40 pt");
    KAPLO_text(MAGENTA, -260, -90, 20, "A text with a new line\nstarts a second line below.");
}

/* Draws one page with its title. */
static void draw_page(int page, int logging)
{
    KAPLO_wipe();
    if (page == 0) filled_shapes();
    if (page == 1) outlines();
    if (page == 2) lines_and_text();
    KAPLO_textf(GRAY_50, -285, -225, 12, "page %d of %d - any key or click: next page, d: describing %s",
                page + 1, PAGES, logging ? "on" : "off");
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int kind, x, y;
    char key;
    int page = 0;
    int logging = 0;

    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_set_logging(logging);
    draw_page(page, logging);

    while ((kind = KAPLO_next_event(&x, &y, &key)) != KAPLO_QUIT) {
        if (kind == KAPLO_KBD && key == 'd') {
            logging = !logging;
            KAPLO_set_logging(logging); /* switching it on also shows the log window */
        } else if (kind == KAPLO_KBD || kind == KAPLO_MOUSE) {
            page = (page + 1) % PAGES;
        }
        draw_page(page, logging);
    }

    KAPLO_end();
    return 0;
}
