/* A program of a learner's kind, built outside the source tree against the
 * installed package: it draws, lets three periodic events pass and ends. */
#include <kaplo.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
    int x, y, ticks = 0;
    char key;
    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_circle(RED, 0, 0, 40);
    KAPLO_text(BLACK, -60, 80, 14, "installed");
    KAPLO_set_animation(ANIMATE_RUN);
    while (ticks < 3) {
        int kind = KAPLO_next_event(&x, &y, &key);
        if (kind == KAPLO_QUIT) return 1;
        if (kind == KAPLO_PERIODIC) ticks += 1;
    }
    KAPLO_end();
    return 0;
}
