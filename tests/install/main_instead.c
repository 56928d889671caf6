/* A learner's program that starts in main instead of WinMain: it must stop at
 * once with the one command's words, not run showing nothing. */
#include <kaplo.h>

int main(void) {
    int x, y;
    char key;
    KAPLO_begin(0, 0, 0, 1);
    KAPLO_circle(RED, 0, 0, 40);
    while (KAPLO_next_event(&x, &y, &key) != KAPLO_QUIT) {
    }
    KAPLO_end();
    return 0;
}
