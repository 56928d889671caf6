/* first.c - your first KAPLO program: a face and a greeting. Close the window to end it. */
#include <kaplo.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int x, y;
    char key;

    KAPLO_begin(instance, previous, command_line, show); /* open the windows */
    KAPLO_wipe();                                        /* start with white */
    KAPLO_circle(YELLOW, 0, 20, 80);                     /* the face, centre (0, 20) */
    KAPLO_circle(BLACK, -30, 45, 10);                    /* two eyes */
    KAPLO_circle(BLACK, 30, 45, 10);
    KAPLO_line(BLACK, -35, -10, 35, -10, 5);             /* the mouth, 5 pixels wide */
    KAPLO_text(BLUE, -80, -100, 20, "Hello, world!");
    while (KAPLO_next_event(&x, &y, &key) != KAPLO_QUIT) {
        /* nothing to do but wait until the window is closed */
    }
    KAPLO_end();
    return 0;
}
