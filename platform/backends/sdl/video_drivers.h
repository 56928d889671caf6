// Which of SDL's video drivers the SDL2 backend lets SDL try.
#pragma once

// Before SDL's video starts: when no Wayland display can be reached, SDL is
// told to try its other drivers only, in their usual order, so that Wayland's
// client library does not print its own warning before the layer's message.
// A driver named in SDL_VIDEODRIVER is left alone.
void sdl_choose_video_drivers();
