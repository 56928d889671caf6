// The C library's time() in programs started by the layer's main: the real
// calendar time, unless a run fixed its calendar clock (--kaplo-clock), so
// that a program seeding its random numbers from the time behaves the same
// in every run. Linked only into programs that take the layer's main, whose
// own calls to time() bind to this definition before the C library's.
#include <time.h>

#include "platform_tools.h"

// Seconds since 1970 from the fixed clock or from the system's real clock.
extern "C" time_t time(time_t *out) noexcept {
    long long fixed;
    time_t now;
    if (platform_calendar_time(&fixed)) {
        now = (time_t)fixed;
    } else {
        struct timespec ts;
        now = clock_gettime(CLOCK_REALTIME, &ts) == 0 ? ts.tv_sec : (time_t)-1;
    }
    if (out) *out = now;
    return now;
}
