/* A rainbow of circles whose colour number runs past the last colour and
 * on, for ever, in a loop that never asks for an event. */
#include <kaplo.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int color = 0;

    KAPLO_begin(instance, previous, command_line, show);
    while (1) {
        KAPLO_circle(color, 0, 0, 50);
        color = color + 1;
    }
    KAPLO_end();
    return 0;
}
