/* Starts a process that goes on sleeping, and ends without waiting for it. */
#include <kaplo.h>
#include <unistd.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int x, y, step = 0;
    char key;

    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_set_animation(ANIMATE_RUN);
    if (fork() == 0) {
        execl("/bin/sleep", "sleep", "30", (char *)0);
        _exit(1);
    }
    while (step < 3 && KAPLO_next_event(&x, &y, &key) != KAPLO_QUIT) {
        KAPLO_circle(GREEN, step * 20, 0, 20);
        step = step + 1;
    }
    KAPLO_end();
    return 0;
}
