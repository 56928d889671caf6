// Pictures of the package's drawing for the documentation: parts of the back
// buffer written as PNG files, and the check that something was drawn.
#pragma once

// Writes the back buffer's rectangle (pixels, top-left corner and size) as a
// PNG, each pixel as a square of zoom x zoom; returns 0 with a message on
// stderr when it cannot.
int save_back_buffer(const char *path, int left, int top, int width, int height, int zoom = 1);

// Writes the part of the back buffer from package point (x1, y1) to (x2, y2)
// (both corners included) as a PNG.
int save_package_area(const char *path, int x1, int y1, int x2, int y2, int zoom = 1);

// Writes the drawing window's client area (the part of the back buffer the
// window shows) as a PNG.
int save_client_area(const char *path);

// Whether the client area, the wipe's black frame left aside, holds a single
// colour: nothing was drawn.
bool client_area_blank(void);

// Whether the client area is the picture in the PNG at path, pixel for pixel
// (a message on stderr when not); with KAPLO_UPDATE_GOLDEN=1 in the
// environment it writes the picture there instead.
int client_area_matches(const char *path);
