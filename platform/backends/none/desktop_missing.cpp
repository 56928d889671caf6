// The desktop backend of a layer built without SDL2 (KAPLO_SDL=OFF, as in the
// ARM cross build): there is no desktop to open, and the program says so.
#include <cstdio>

#include "platform_tools.h"

// Refuses with a clear message: this build has the headless backend only.
int platform_use_desktop(void) {
    std::fprintf(stderr, "kaplo: cannot open a display: this build has no desktop backend "
                         "(built with KAPLO_SDL=OFF, headless only)\n");
    return 0;
}

// No desktop, no scale to choose: the request is accepted and has no effect.
void platform_set_desktop_scale(int scale) { (void)scale; }

// Windows are never shown larger here.
int platform_desktop_scale(void) { return 1; }
