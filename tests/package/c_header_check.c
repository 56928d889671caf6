/* The public header compiles as C and its operations link from C. */
#include "kaplo.h"

int c_header_check(void);

/* Calls the operations that are safe before KAPLO_begin; returns their results summed. */
int c_header_check(void) {
    int total = 0;
    total += KAPLO_set_animation(ANIMATE_RUN);          /* 0: no window yet */
    total += KAPLO_set_logging(1);                      /* 0 */
    total += KAPLO_log("from C: %d %s\n", 7, "ok");     /* 13 */
    total += KAPLO_textf(SEA_GREEN, 0, 0, 12, "%d", 10); /* 2 */
    total += KAPLO_wipe();                              /* 1 */
    return total + NUM_COLORS * 1000 + KAPLO_PERIODIC * 100000;
}
