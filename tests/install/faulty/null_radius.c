/* Reads through a pointer that was never set. */
#include <kaplo.h>
#include <stddef.h>

static int radius_of(const int *sizes)
{
    return sizes[2];
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int *sizes = NULL;
    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_circle(RED, 0, 0, radius_of(sizes));
    KAPLO_end();
    return 0;
}
