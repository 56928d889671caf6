// Drawing operations: mend the arguments, describe the call, hand a command to the executor.
#include <climits>
#include <cstring>

#include "package.h"

// The absolute value of a negative argument; INT_MIN, which has none, gives INT_MAX.
static int mended(int value) {
    return value == INT_MIN ? INT_MAX : -value;
}

// Mends a negative width, logging it; returns the width to use.
static int mend_width(int width) {
    if (width >= 0) return width;
    KAPLO_log("Width of %d not possible, using width %d\n", width, mended(width));
    return mended(width);
}

// Orders two corners so that (x1, y1) is the top-left and (x2, y2) the bottom-right.
static void normalise_corners(int *x1, int *y1, int *x2, int *y2) {
    if (*x1 > *x2) {
        int t = *x1;
        *x1 = *x2;
        *x2 = t;
    }
    if (*y1 < *y2) {
        int t = *y1;
        *y1 = *y2;
        *y2 = t;
    }
}

// A command of the given kind with all slots cleared.
static DrawCommand new_command(int kind, int color, int width) {
    DrawCommand command = {};
    command.kind = kind;
    command.color = color;
    command.width = width;
    return command;
}

// Draws a filled circle.
int draw_circle(int color, int x, int y, int radius) {
    color = check_color(color);
    if (radius < 0) {
        KAPLO_log("Radius of %d not possible, using radius %d\n", radius, mended(radius));
        radius = mended(radius);
    }
    if (package_state.logging)
        KAPLO_log("%s circle at (%d,%d), radius %d\n", color_name(color), x, y, radius);
    DrawCommand command = new_command(DRAW_OVAL, color, 0);
    command.x1 = clamp_to_int((long long)x - radius);
    command.y1 = clamp_to_int((long long)y + radius);
    command.x2 = clamp_to_int((long long)x + radius);
    command.y2 = clamp_to_int((long long)y - radius);
    execute_command(&command);
    return 1;
}

// Whether a call can go straight to the executor: a palette colour, a width
// that needs no mending and logging off, so there is nothing to write. The
// describe_ functions below stay out of line, so the common path saves nothing.
static bool needs_no_words(int color, int width) {
    return color >= 0 && color < NUM_COLORS && width >= 0 && !package_state.logging;
}

// Mends a triangle command's colour and width and describes it.
[[gnu::noinline]] static void describe_triangle(DrawCommand *c) {
    c->color = check_color(c->color);
    c->width = mend_width(c->width);
    if (package_state.logging)
        KAPLO_log("%s triangle at (%d,%d), (%d,%d), (%d,%d)\n", color_name(c->color), c->x1, c->y1, c->x2,
                  (int)c->y2, c->x3, c->y3);
}

// Draws a triangle, filled when width is 0.
int draw_triangle(int color, int x1, int y1, int x2, int y2, int x3, int y3, int width) {
    DrawCommand command = new_command(DRAW_TRIANGLE, color, width);
    command.x1 = x1;
    command.y1 = y1;
    command.x2 = x2;
    command.y2 = y2;
    command.x3 = x3;
    command.y3 = y3;
    if (!needs_no_words(color, width)) describe_triangle(&command);
    execute_command(&command);
    return 1;
}

// Mends a rectangle command's colour and width and describes it.
[[gnu::noinline]] static void describe_rectangle(DrawCommand *c) {
    c->color = check_color(c->color);
    c->width = mend_width(c->width);
    if (!package_state.logging) return;
    if (c->width != 0)
        KAPLO_log("%s rectangle with bounding box (%d,%d) to (%d,%d) with line width %d\n", color_name(c->color),
                  c->x1, c->y1, c->x2, (int)c->y2, c->width);
    else
        KAPLO_log("%s rectangle with bounding box (%d,%d) to (%d,%d), filled\n", color_name(c->color), c->x1,
                  c->y1, c->x2, (int)c->y2);
}

// Draws a rectangle, filled when width is 0.
int draw_rectangle(int color, int x1, int y1, int x2, int y2, int width) {
    normalise_corners(&x1, &y1, &x2, &y2);
    DrawCommand command = new_command(DRAW_RECTANGLE, color, width);
    command.x1 = x1;
    command.y1 = y1;
    command.x2 = x2;
    command.y2 = y2;
    if (!needs_no_words(color, width)) describe_rectangle(&command);
    execute_command(&command);
    return 1;
}

// Mends an oval command's width and colour (in that order) and describes it.
[[gnu::noinline]] static void describe_oval(DrawCommand *c) {
    c->width = mend_width(c->width);
    c->color = check_color(c->color);
    if (!package_state.logging) return;
    if (c->width != 0)
        KAPLO_log("%s oval with bounding box (%d,%d) to (%d,%d), line width %d\n", color_name(c->color), c->x1,
                  c->y1, c->x2, (int)c->y2, c->width);
    else
        KAPLO_log("%s oval with bounding box (%d,%d) to (%d,%d), filled\n", color_name(c->color), c->x1, c->y1,
                  c->x2, (int)c->y2);
}

// Draws an oval in a bounding box, filled when width is 0.
int draw_oval(int color, int x1, int y1, int x2, int y2, int width) {
    normalise_corners(&x1, &y1, &x2, &y2);
    DrawCommand command = new_command(DRAW_OVAL, color, width);
    command.x1 = x1;
    command.y1 = y1;
    command.x2 = x2;
    command.y2 = y2;
    if (!needs_no_words(color, width)) describe_oval(&command);
    execute_command(&command);
    return 1;
}

// Mends a line command's width and colour (in that order) and describes it
// with the mended width.
[[gnu::noinline]] static void describe_line(DrawCommand *c) {
    c->width = mend_width(c->width);
    c->color = check_color(c->color);
    if (package_state.logging)
        KAPLO_log("%s line from (%d,%d) to (%d,%d), width %d\n", color_name(c->color), c->x1, c->y1, c->x2,
                  (int)c->y2, c->width);
}

// Draws a line at least one pixel wide.
int draw_line(int color, int x1, int y1, int x2, int y2, int width) {
    DrawCommand command = new_command(DRAW_LINE, color, width);
    command.x1 = x1;
    command.y1 = y1;
    command.x2 = x2;
    command.y2 = y2;
    if (!needs_no_words(color, width)) describe_line(&command);
    if (command.width == 0) command.width = 1;
    execute_command(&command);
    return 1;
}

// Draws text standing on (x, y), one row per line; a null text counts as empty.
int draw_text(int color, int x, int y, int ptsize, const char *text) {
    if (text == nullptr) text = "";
    if (ptsize < 0) {
        KAPLO_log("ptsize of %d not possible, using ptsize %d\n", ptsize, mended(ptsize));
        ptsize = mended(ptsize);
    }
    if (ptsize > MAX_PTSIZE) {
        KAPLO_log("ptsize of %d not possible, using ptsize %d\n", ptsize, MAX_PTSIZE);
        ptsize = MAX_PTSIZE;
    }
    color = check_color(color);
    if (package_state.logging)
        KAPLO_log("%s text at (%d,%d), \"%s\"\n", color_name(color), x, y, text);

    // A private copy for the executor; without memory for it nothing is drawn.
    size_t length = strlen(text);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length + 1);
    if (block == nullptr) return 1;
    char *copy = (char *)GlobalLock(block);
    if (copy == nullptr) {
        GlobalFree(block);
        return 1;
    }
    memcpy(copy, text, length + 1);
    GlobalUnlock(block);

    DrawCommand command = new_command(DRAW_TEXT, color, 0);
    command.x1 = x;
    command.y1 = y;
    command.x2 = ptsize;
    command.y2 = (intptr_t)block;
    execute_command(&command);
    GlobalFree(block);
    return 1;
}

// Fills the drawing area with the background colour.
int draw_wipe(void) {
    if (package_state.logging) KAPLO_log("Clearing the graphics window\n");
    wipe_back_buffer();
    return 1;
}

// Public operations: each forwards its arguments unchanged.

// Draws a filled circle of the given radius around (x, y).
int KAPLO_circle(int color, int x, int y, int radius) {
    return draw_circle(color, x, y, radius);
}

// Draws a triangle through three points; width 0 fills it.
int KAPLO_triangle(int color, int x1, int y1, int x2, int y2, int x3, int y3, int width) {
    return draw_triangle(color, x1, y1, x2, y2, x3, y3, width);
}

// Draws a rectangle between two corners; width 0 fills it.
int KAPLO_rectangle(int color, int x1, int y1, int x2, int y2, int width) {
    return draw_rectangle(color, x1, y1, x2, y2, width);
}

// Draws an oval in the box between two corners; width 0 fills it.
int KAPLO_oval(int color, int x1, int y1, int x2, int y2, int width) {
    return draw_oval(color, x1, y1, x2, y2, width);
}

// Draws a line between two points.
int KAPLO_line(int color, int x1, int y1, int x2, int y2, int width) {
    return draw_line(color, x1, y1, x2, y2, width);
}

// Draws a text standing on (x, y) at a point size.
int KAPLO_text(int color, int x, int y, int ptsize, const char *text) {
    return draw_text(color, x, y, ptsize, text);
}

// Formats a text (cut to 1023 characters) and draws it; returns the characters drawn.
int KAPLO_textf(int color, int x, int y, int ptsize, const char *format, ...) {
    char buffer[TEXTF_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    int count = format_bounded(buffer, TEXTF_BUFFER_SIZE, format, args);
    va_end(args);
    KAPLO_text(color, x, y, ptsize, buffer);
    return count;
}

// Fills the drawing area with the background colour.
int KAPLO_wipe(void) {
    return draw_wipe();
}
