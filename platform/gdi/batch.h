// Batched drawing on memory bitmaps.
//
// A shape drawn on a memory DC is not rasterised at once: it joins the batch
// of its bitmap, and the batch is drawn when anything needs the bitmap's
// pixels (a read, a copy, text, the bitmap's end). Where a wide solid
// rectangle paints over whole rows, the shapes before it are drawn only
// around it. Every shape is clipped exactly, so each pixel comes out as if
// the shapes had been drawn one by one. With two threads (a setting), the
// batch is cut into bands of rows that both threads take until none is left.
// Shapes on window DCs are drawn at once.
#pragma once

#include <cstdint>

#include "gdi/raster.h"
#include "gdi/surface.h"

enum class ShapeKind : uint8_t { FillRect, Rectangle, Ellipse, Polygon, Line };

// One drawing call, with everything it needs resolved: the canvas (clip
// applied), the box or the line's ends, the pen and the brush.
struct Shape {
    ShapeKind kind = ShapeKind::FillRect;
    bool brush = false;
    Canvas canvas;
    int64_t l = 0, t = 0, r = 0, b = 0;  // box, or a line from (l, t) to (r, b)
    int64_t pen_width = 0;               // 0: no pen
    uint32_t pen_color = 0, brush_color = 0;
    int64_t point_count = 0;             // polygons: corners
};

// Draws a shape on `target` (nullptr: a window's surface, drawn at once) or
// adds it to the target's batch. `points` are a polygon's corners.
void batch_draw(const Surface *target, const Shape &shape, const PixelPoint *points);

// Draws the pending shapes when they belong to `surface` (nullptr: whichever
// surface they belong to). Cheap when nothing is pending.
void batch_flush(const Surface *surface);

// BitBlt from a bitmap to another surface: draws the bitmap's pending shapes
// and copies the w x h block from `from` (whose first row is row `from_row`
// of `source`) to `to`, each band as soon as it is drawn. Returns false, with
// nothing done, when `source` has no pending shapes.
bool batch_flush_and_copy(const Surface *source, uint32_t *to, int64_t to_stride, const uint32_t *from,
                          int64_t from_stride, int64_t from_row, int64_t w, int64_t h);

// The bitmap is going away: its pending shapes can no longer be seen.
void batch_forget(const Surface *surface);
