/* Fills one element more than the array holds, through a pointer. */
#include <kaplo.h>

static void fill(int *heights, int count)
{
    int i;
    for (i = 0; i <= count; i++) {
        heights[i] = i * 5;
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int heights[10];
    KAPLO_begin(instance, previous, command_line, show);
    fill(heights, 10);
    KAPLO_circle(RED, 0, 0, heights[3]);
    KAPLO_end();
    return 0;
}
