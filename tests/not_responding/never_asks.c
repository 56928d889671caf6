/* A learner's program that stops asking for events: it reads them until the
 * key x, and then moves its ball in a loop that never calls KAPLO_next_event.
 * The key b first makes it busy for a second and a half, then it reads on. */
#include <kaplo.h>

/* Keeps the processor busy for this many milliseconds. */
static void busy(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
    int x, y, ball = 0;
    char key = 0;
    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_circle(RED, 0, 0, 40);
    while (key != 'x') {
        int kind = KAPLO_next_event(&x, &y, &key);
        if (kind == KAPLO_QUIT) return 0;
        if (kind == KAPLO_KBD && key == 'b') busy(1500);
    }
    for (;;) {
        ball = (ball + 1) % 200;
        KAPLO_circle(BLUE, ball - 100, 0, 10);
    }
}
