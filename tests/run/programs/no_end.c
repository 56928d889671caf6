/* Leaves with exit() after a few steps, without KAPLO_end. */
#include <kaplo.h>
#include <stdlib.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int x, y, step = 0;
    char key;

    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_set_animation(ANIMATE_RUN);
    while (KAPLO_next_event(&x, &y, &key) != KAPLO_QUIT) {
        KAPLO_circle(GREEN, step * 20 - 200, 0, 20);
        KAPLO_log("step %d\n", step);
        step = step + 1;
        if (step == 8) {
            exit(0);
        }
    }
    return 0;
}
