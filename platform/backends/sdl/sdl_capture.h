// Captures on the desktop: F12 saves a PNG of the drawing window into the
// current folder, Shift+F12 starts and stops an animated GIF of it. The keys
// are the layer's; the program never sees them.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "user/user.h"

// Handles F12 (shift: the GIF) for the window it was pressed in, or the
// drawing window when that one has no menu bar.
void sdl_capture_key(Window *pressed_in, bool shift);
// A window's composed picture as presented (menu bar and client area).
void sdl_capture_presented(Window *w, const uint32_t *pixels, int width, int height);
// The window is going: a GIF of it is finished.
void sdl_capture_window_gone(Window *w);
// Takes the capture module's own events (the caption's note running out);
// false for other events.
bool sdl_capture_event(const SDL_Event &ev);
// Sets the caption of the window's desktop window (declared by sdl.cpp).
void sdl_set_caption(Window *w, const char *caption);
