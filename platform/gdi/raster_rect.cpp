// Rectangles: one-pixel and null pens as four fills, wide pens as four
// bodies with round joins.
#include "gdi/raster_internal.h"

// Rectangle with a one-pixel (or null) pen and an optional brush.
void raster_rectangle(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, bool pen,
                      uint32_t pen_color, bool brush, uint32_t brush_color) {
    if (r == l || b == t) return;
    if (!pen) {  // the brush alone covers one pixel less on the right and bottom
        if (brush) raster_fill_rect(c, l, t, r - 1, b - 1, brush_color);
        return;
    }
    if (r - l == 1 && b - t == 1) return;
    if (brush && pen_color == brush_color) {
        raster_fill_rect(c, l, t, r, b, pen_color);
        return;
    }
    if (brush) raster_fill_rect(c, l + 1, t + 1, r - 1, b - 1, brush_color);
    raster_fill_rect(c, l, t, r, t + 1, pen_color);           // top
    if (b - t > 1) raster_fill_rect(c, l, b - 1, r, b, pen_color);  // bottom
    raster_fill_rect(c, l, t + 1, l + 1, b - 1, pen_color);   // left
    if (r - l > 1) raster_fill_rect(c, r - 1, t + 1, r, b - 1, pen_color);  // right
}

// Rectangle with a wide pen: brush inside, then four bodies and round joins.
void raster_rectangle_wide(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, int64_t width,
                           uint32_t pen_color, bool brush, uint32_t brush_color) {
    if (r == l || b == t) return;
    if (brush) raster_fill_rect(c, l + 1, t + 1, r - 1, b - 1, brush_color);
    int64_t lo = width / 2;         // pixels before the path (top / left)
    int64_t hi = width - lo;        // pixels from the path on (bottom / right)
    int64_t x0 = l, x1 = r - 1, y0 = t, y1 = b - 1;
    raster_fill_rect(c, x0, y0 - lo, x1 + 1, y0 + hi, pen_color);  // top
    raster_fill_rect(c, x0, y1 - lo, x1 + 1, y1 + hi, pen_color);  // bottom
    raster_fill_rect(c, x0 - lo, y0, x0 + hi, y1 + 1, pen_color);  // left
    raster_fill_rect(c, x1 - lo, y0, x1 + hi, y1 + 1, pen_color);  // right
    raster_cap(c, x0, y0, width, pen_color);
    raster_cap(c, x1, y0, width, pen_color);
    raster_cap(c, x1, y1, width, pen_color);
    raster_cap(c, x0, y1, width, pen_color);
}
