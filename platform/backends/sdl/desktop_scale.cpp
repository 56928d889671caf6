// The desktop's whole-number scale, from what the desktop says about itself:
// GDK_SCALE where it is set, the X resource Xft.dpi (which desktops set when
// the user picks a scale), else the DPI that SDL reports for the display; 96
// DPI is one unit. Kept small enough for the drawing window to fit the screen.
#include "backends/sdl/desktop_scale.h"

#include <cstdlib>
#include <cstring>

#ifdef KAPLO_HAVE_X11
#include <X11/Xlib.h>
#endif

namespace {

// Xft.dpi from the X server's resources, 0 when unset or not on X11.
float xft_dpi() {
#ifdef KAPLO_HAVE_X11
    const char *driver = SDL_GetCurrentVideoDriver();
    if (!driver || strcmp(driver, "x11") != 0) return 0;
    Display *display = XOpenDisplay(nullptr);
    if (!display) return 0;
    const char *value = XGetDefault(display, "Xft", "dpi");
    float dpi = value ? (float)atof(value) : 0;
    XCloseDisplay(display);
    return dpi;
#else
    return 0;
#endif
}

}  // namespace

// The scale, 1 to 8.
int sdl_desktop_scale(const SDL_DisplayMode *mode) {
    int found = 1;
    const char *gdk = getenv("GDK_SCALE");
    float dpi = xft_dpi();
    if (gdk && atoi(gdk) >= 1) found = atoi(gdk);
    else if (dpi >= 192 || (SDL_GetDisplayDPI(0, nullptr, &dpi, nullptr) == 0 && dpi >= 192))
        found = (int)(dpi / 96);
    if (found > 8) found = 8;
    while (found > 1 && mode && (601 * found > mode->w || 540 * found > mode->h)) --found;
    return found;
}
