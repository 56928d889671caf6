/* Mends bad arguments, then returns without KAPLO_end. */
#include <kaplo.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_circle(99, 0, 0, -40);
    return 0;
}
