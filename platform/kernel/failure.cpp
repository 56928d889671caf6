// Failure injection for tests: makes the n-th creation of a graphics object,
// DC or global block fail as it does when the system runs out.
#include "kernel/failure.h"

#include "platform_tools.h"

long kernel_creations = 0;
long kernel_failing_creation = 0;

// Starts counting creations anew; the n-th from now fails (0: none).
void platform_fail_creation(long n) {
    kernel_creations = 0;
    kernel_failing_creation = n > 0 ? n : 0;
}

// Creations counted since platform_fail_creation.
long platform_creation_count(void) { return kernel_creations; }
