// Which of SDL's video drivers the SDL2 backend lets SDL try.
#include "backends/sdl/video_drivers.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Whether a Wayland client could find a display: through an inherited
// socket, an absolute WAYLAND_DISPLAY, or the runtime folder the socket
// lives in (which must be an absolute path).
bool wayland_reachable() {
    const char *socket = getenv("WAYLAND_SOCKET");
    const char *display = getenv("WAYLAND_DISPLAY");
    const char *runtime = getenv("XDG_RUNTIME_DIR");
    return (socket && *socket) || (display && display[0] == '/') || (runtime && runtime[0] == '/');
}

}  // namespace

// Leaves Wayland out of SDL's drivers when it cannot be reached.
void sdl_choose_video_drivers() {
    const char *chosen = getenv("SDL_VIDEODRIVER");
    if ((chosen && *chosen) || wayland_reachable()) return;
    std::string drivers;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char *name = SDL_GetVideoDriver(i);
        if (!name || strcmp(name, "wayland") == 0) continue;
        if (!drivers.empty()) drivers += ',';
        drivers += name;
    }
    SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
}
