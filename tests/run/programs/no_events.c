/* A ball that moves for ever, in a loop that never asks for an event. */
#include <kaplo.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int x = -200;

    KAPLO_begin(instance, previous, command_line, show);
    while (1) {
        KAPLO_wipe();
        KAPLO_circle(RED, x, 0, 20);
        x = x + 1;
        if (x > 200) {
            x = -200;
        }
    }
    KAPLO_end();
    return 0;
}
