// A lost display: Xlib ends the process when its connection to the X server
// breaks. The SDL backend watches its display here instead, so that the loss
// becomes a flag it can turn into the program's own quit.
#pragma once

#include <SDL.h>

// Takes over Xlib's handling of a broken connection for the display of this
// window (once per display; windows of other video drivers are left alone).
void display_loss_watch(SDL_Window *window);

// Whether the connection to the display has broken.
bool display_lost(void);

// Keeps writes to a broken connection from killing the process with SIGPIPE.
void display_loss_ignore_broken_pipes(void);
