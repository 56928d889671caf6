/* A ball that leaves a trail; the trail was meant to be made with malloc
 * but never was, so the fifth step writes through a null pointer. */
#include <kaplo.h>
#include <stddef.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int *trail = NULL;
    int x, y, step = 0;
    char key;

    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_set_animation(ANIMATE_RUN);
    while (KAPLO_next_event(&x, &y, &key) != KAPLO_QUIT) {
        KAPLO_wipe();
        KAPLO_circle(RED, step * 20 - 200, 0, 20);
        KAPLO_log("step %d\n", step);
        step = step + 1;
        if (step == 5) {
            trail[step] = x;
        }
    }
    KAPLO_end();
    return 0;
}
