/* paint.c - click to paint.
 *
 * Every mouse click puts a round blob of paint where you clicked. Keys
 * choose the colour: r red, g green, b blue, y yellow, p pink, k black.
 * + and - make the brush bigger or smaller, and c clears the page.
 *
 * KAPLO_next_event tells us what happened: KAPLO_MOUSE comes with the point
 * in x and y, KAPLO_KBD with the character in key.
 */
#include <kaplo.h>

/* Shows the colour and size of the brush in a strip along the top. */
static void draw_status(int color, int size)
{
    KAPLO_rectangle(GRAY_20, -297, 238, 297, 205, 0);
    KAPLO_circle(color, -275, 221, 10);
    KAPLO_textf(BLACK, -255, 214, 13, "brush %d   keys: r g b y p k  + -  c clears", size);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int kind, x, y;
    char key;
    int color = RED; /* the colour of the brush: a number from 0 to 23 */
    int size = 12;   /* the radius of a blob */

    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_set_logging(0); /* do not describe every blob in the log */
    KAPLO_wipe();
    draw_status(color, size);

    for (;;) {
        kind = KAPLO_next_event(&x, &y, &key);
        if (kind == KAPLO_QUIT) {
            break; /* leave the loop: the program ends */
        }
        if (kind == KAPLO_MOUSE && y < 205 - size) {
            KAPLO_circle(color, x, y, size); /* paint, but not on the strip */
        }
        if (kind == KAPLO_KBD) {
            switch (key) {
            case 'r': color = RED; break;
            case 'g': color = GREEN; break;
            case 'b': color = BLUE; break;
            case 'y': color = YELLOW; break;
            case 'p': color = PINK; break;
            case 'k': color = BLACK; break;
            case '+': if (size < 60) size = size + 4; break;
            case '-': if (size > 4) size = size - 4; break;
            case 'c': KAPLO_wipe(); break;
            default: break; /* any other key does nothing */
            }
            KAPLO_log("colour %d, brush %d\n", color, size); /* a note in the log */
            draw_status(color, size);
        }
    }

    KAPLO_end();
    return 0;
}
