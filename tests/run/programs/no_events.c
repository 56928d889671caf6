/* A ball rolls for a while; then the program waits for the q key in a loop
 * of its own, which never asks for the event that would bring it. */
#include <kaplo.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int x, y, step;
    char key = 0;

    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_set_animation(ANIMATE_RUN);
    for (step = 0; step < 20; step++) {
        KAPLO_next_event(&x, &y, &key);
        KAPLO_wipe();
        KAPLO_circle(RED, step * 20 - 200, 0, 20);
    }
    KAPLO_text(BLACK, -100, -100, 20, "Press q to quit");
    while (key != 'q') {
        /* waits for ever: no key comes without KAPLO_next_event */
    }
    KAPLO_end();
    return 0;
}
