/* A bar chart whose loop counts far past the end of its array. */
#include <kaplo.h>

int heights[10];

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int count = 100000000; /* meant to be 10 */
    int i, x, y;
    char key;

    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_rectangle(GREEN, -100, -100, 100, 100, 0);
    KAPLO_next_event(&x, &y, &key);
    for (i = 0; i < count; i++) {
        heights[i] = i % 200;
    }
    KAPLO_rectangle(BLUE, 0, 0, 10, heights[3], 0);
    KAPLO_end();
    return 0;
}
