// On the portable layer the probe draws on the headless backend.
#include "probe_host.h"

#include "platform_tools.h"

int probe_host_start(void) {
    platform_use_headless();
    return 1;
}
