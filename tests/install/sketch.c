/* Stays on screen until it is ended: the program --watch restarts. */
#include <kaplo.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
    int x, y;
    char key;
    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_rectangle(BLUE, -50, -50, 50, 50, 0);
    while (KAPLO_next_event(&x, &y, &key) != KAPLO_QUIT) {
    }
    KAPLO_end();
    return 0;
}
