// The desktop's whole-number scale for the SDL2 backend.
#pragma once

#include <SDL.h>

// 1 to 8, from the desktop's settings; the drawing window still fits the
// display mode (when given) at that scale.
int sdl_desktop_scale(const SDL_DisplayMode *mode);
