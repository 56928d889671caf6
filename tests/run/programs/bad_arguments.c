/* Circles that shrink: the radius goes below zero and on, for ever, and
 * each call asks for a circle that cannot be. */
#include <kaplo.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int radius = 100;

    KAPLO_begin(instance, previous, command_line, show);
    while (1) {
        KAPLO_circle(BLUE, 0, 0, radius);
        radius = radius - 1;
    }
    KAPLO_end();
    return 0;
}
