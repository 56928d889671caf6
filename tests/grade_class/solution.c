/* The teacher's solution of the test class's task: a yellow circle where the
 * mouse clicks, a red square in the corner for every key. The test makes the
 * learners' programs from this text, each with one change. */
#include <kaplo.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int kind, x, y, clicks = 0;
    char key;

    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_wipe();
    for (;;) {
        kind = KAPLO_next_event(&x, &y, &key);
        if (kind == KAPLO_QUIT) {
            break;
        }
        if (kind == KAPLO_MOUSE) {
            clicks = clicks + 1; /* CLICKED */
            KAPLO_circle(YELLOW, x, y, 20);
        }
        if (kind == KAPLO_KBD) {
            KAPLO_rectangle(RED, -280, 220, -260, 200, 0);
        }
    }
    KAPLO_end();
    return 0;
}
