// A small demo until the battle game lands: the package's windows, a wipe and
// a line of text, until the window is closed.
#include "kaplo.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
    int x, y;
    char key;
    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_wipe();
    KAPLO_text(BLUE, -100, 0, 16, "KAPLO");
    while (KAPLO_next_event(&x, &y, &key) != KAPLO_QUIT) {
    }
    KAPLO_end();
    return 0;
}
