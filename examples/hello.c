/* hello.c - a picture of a house under the sun.
 *
 * Every KAPLO program has the same shape:
 *   1. KAPLO_begin opens the drawing window and the log window;
 *   2. the program draws, then asks for events with KAPLO_next_event;
 *   3. when the event is KAPLO_QUIT, it calls KAPLO_end and returns.
 *
 * The point (0, 0) is the middle of the drawing window. x grows to the right
 * and y grows upwards, as in a maths lesson; the window shows x from about
 * -297 to 297 and y from about -237 to 238.
 *
 * Logging is on at the start, so the log window ("KAPLO Text") describes
 * every shape as it is drawn: a good way to check your coordinates.
 */
#include <kaplo.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int kind;  /* what sort of event came */
    int x, y;  /* where the mouse was clicked (for KAPLO_MOUSE) */
    char key;  /* which key was typed (for KAPLO_KBD) */

    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_log("Hello from hello.c! Close the window to end.\n");
    KAPLO_wipe(); /* paint the whole window white */

    /* Sky and grass: a rectangle is given by two opposite corners. The last
       number is the line width; 0 means "filled". */
    KAPLO_rectangle(ICE_BLUE, -297, 238, 297, -60, 0);
    KAPLO_rectangle(FOREST_GREEN, -297, -60, 297, -238, 0);

    /* The sun: a circle needs its centre and its radius. Circles are
       always filled. The rays are lines 3 pixels wide. */
    KAPLO_line(ORANGE, 200, 210, 200, 90, 3);
    KAPLO_line(ORANGE, 140, 150, 260, 150, 3);
    KAPLO_line(ORANGE, 160, 190, 240, 110, 3);
    KAPLO_line(ORANGE, 160, 110, 240, 190, 3);
    KAPLO_circle(YELLOW, 200, 150, 40);

    /* The house: a filled rectangle with a black outline 2 pixels wide,
       and a triangle for the roof (three corners, then the width). */
    KAPLO_rectangle(PEACH, -150, 40, -20, -80, 0);
    KAPLO_rectangle(BLACK, -150, 40, -20, -80, 2);
    KAPLO_triangle(RED, -165, 40, -5, 40, -85, 115, 0);
    KAPLO_rectangle(BROWN, -100, -20, -70, -80, 0);   /* the door */
    KAPLO_rectangle(WHITE, -135, 20, -110, -5, 0);    /* a window */
    KAPLO_rectangle(BLACK, -135, 20, -110, -5, 1);

    /* A tree: a brown trunk and an oval crown. An oval is given by the
       corners of the box it fits in. */
    KAPLO_rectangle(BROWN, 90, -20, 110, -100, 0);
    KAPLO_oval(GREEN, 50, 80, 150, -30, 0);

    /* A pond: a filled oval with a darker outline. */
    KAPLO_oval(BLUE, 130, -140, 270, -195, 0);
    KAPLO_oval(NAVY_BLUE, 130, -140, 270, -195, 2);

    /* Text stands on the point you give: here its left end. */
    KAPLO_text(BLACK, -280, 195, 24, "Hello, world!");

    /* Wait for events until the window is closed. */
    do {
        kind = KAPLO_next_event(&x, &y, &key);
    } while (kind != KAPLO_QUIT);

    KAPLO_end();
    return 0;
}
