// The calendar clock of a run: either the real one, or one fixed at a given
// time when the backend's clock read 0, moving on with the backend's clock
// (the virtual one in a headless run), so that a run is repeatable.
#include "platform_tools.h"
#include "user/user.h"

namespace {
bool fixed_clock = false;
long long start = 0;
}  // namespace

// Fixes the calendar clock at start_seconds, or lets it go back to real time.
void platform_set_calendar_clock(int fixed, long long start_seconds) {
    fixed_clock = fixed != 0;
    start = start_seconds;
}

// The fixed clock's time now; 0 when the real clock is in use.
int platform_calendar_time(long long *seconds) {
    if (!fixed_clock) return 0;
    Backend *b = user_backend();
    uint64_t ms = b ? b->now() : 0;
    if (seconds) *seconds = start + (long long)(ms / 1000);
    return 1;
}
