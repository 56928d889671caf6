/* A small learner's program for the web test: a blue disc, a line of text,
 * a log line, and a red square wherever the user clicks, until Quit. */
#include "kaplo.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
    int x, y;
    char key;
    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_circle(BLUE, -150, 100, 60);
    KAPLO_text(GOLD, -60, 20, 24, "Hello from the web");
    KAPLO_log("hello: click anywhere\n");
    for (;;) {
        int kind = KAPLO_next_event(&x, &y, &key);
        if (kind == KAPLO_QUIT) break;
        if (kind == KAPLO_MOUSE) {
            KAPLO_rectangle(RED, x - 10, y + 10, x + 10, y - 10, 0);
            KAPLO_log("click at %d, %d\n", x, y);
        }
    }
    return KAPLO_end();
}
