// The desktop's "not responding" watch (not_responding.cpp): the SDL backend
// tells it which windows the program has and what their captions say. Keys
// are the layer's window records; only X11 windows are watched.
#pragma once

#include <SDL.h>

// Watches a new window shown as this SDL window, with this caption.
void not_responding_add(const void *key, SDL_Window *window, const char *caption);
// The program set the window's caption.
void not_responding_caption(const void *key, const char *caption);
// Forgets a window about to be destroyed.
void not_responding_remove(const void *key);
// Stops the watch before the display closes.
void not_responding_stop(void);
