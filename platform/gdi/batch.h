// Batched drawing on memory bitmaps.
//
// A shape or a run of text drawn on a memory DC is not rasterised at once: it
// joins the batch of its bitmap, and the batch is drawn when anything needs
// the bitmap's pixels (a read, a copy, a scroll). Where a wide solid
// rectangle paints over whole rows, the shapes before it are drawn only
// around it. Every shape is clipped exactly, so each pixel comes out as if
// the shapes had been drawn one by one. Shapes on window DCs are drawn at
// once.
//
// Whatever reads a DC's pixels, or changes them other than through a shape,
// takes them from gdi_pixels, which draws what is pending first; the canvas
// that shapes carry has no pixels for a bitmap, so it cannot be read.
//
// A bitmap copied onto a window stays linked to the place it was copied to.
// The next copy of the same block to the same place then draws the bitmap's
// pending shapes straight onto the window inside the block (and onto the
// bitmap outside it) instead of drawing on the bitmap and copying. The
// bitmap's own pixels in the block catch up, copied back from the window,
// only when something needs them (a read, a copy, a scroll, a shape drawn at
// once) or before the window's surface changes in any other way or its DC is
// released.
#pragma once

#include <cstdint>

#include "gdi/raster.h"
#include "gdi/surface.h"

struct FontFace;
struct GdiDc;

enum class ShapeKind : uint8_t { FillRect, Rectangle, Ellipse, Polygon, Line, Text };

// One drawing call, with everything it needs resolved: the canvas (clip
// applied), the box or the line's ends, the pen and the brush.
struct Shape {
    ShapeKind kind = ShapeKind::FillRect;
    bool brush = false;
    Canvas canvas;
    int64_t l = 0, t = 0, r = 0, b = 0;  // box, or a line from (l, t) to (r, b)
    int64_t pen_width = 0;               // 0: no pen
    uint32_t pen_color = 0, brush_color = 0;
    int64_t point_count = 0;             // polygons: corners; text: characters
    // Text: the run's cell starts at DC point (l, t), drawn in pen_color, over a
    // brush_color background when brush is set (opaque mode).
    FontFace *face = nullptr;
};

// Where a shape of the DC goes: the visible part of the DC as a canvas (clip
// applied, DC coordinates), empty when nothing can be drawn. *batched, when
// asked for, is the bitmap whose batch the DC's shapes join (nullptr for
// windows, drawn at once). A bitmap's canvas has no pixels: the batch gives
// the shape its target's when it draws.
Canvas gdi_canvas(const GdiDc *dc, Surface **batched = nullptr);

// The DC's pixels, to read or to change now, as a canvas like gdi_canvas's:
// the shapes pending on its bitmap are drawn first (and a bitmap drawn
// straight onto a window gets its own pixels back); on a window, a bitmap
// shown there takes its pixels back before the window's change. The one way
// to a DC's pixels outside the batch.
Canvas gdi_pixels(const GdiDc *dc);

// Draws a shape on `target` (nullptr: a window's surface, drawn at once) or
// adds it to the target's batch. `points` are a polygon's corners.
void batch_draw(const Surface *target, const Shape &shape, const PixelPoint *points);

// TextOutA on `target` (as batch_draw): `text` holds shape.point_count characters.
void batch_text(const Surface *target, const Shape &shape, const char *text);

// Draws the pending shapes when they belong to `surface` (nullptr: whichever
// surface they belong to). Cheap when nothing is pending.
void batch_flush(const Surface *surface);

// The bitmap is going away: its pending shapes can no longer be seen.
void batch_forget(const Surface *surface);

// BitBlt of the block [l, r) x [t, b) of `bitmap` to (x, y) of a window's
// surface. When that place already holds the block, draws the pending shapes
// straight onto it (and onto the bitmap outside the block) and returns true:
// the copy is done. Otherwise returns false; the caller copies, then calls
// batch_shown to link the two.
bool batch_show(const Surface *bitmap, int64_t l, int64_t t, int64_t r, int64_t b, const Surface *window,
                int64_t x, int64_t y);
void batch_shown(const Surface *bitmap, int64_t l, int64_t t, int64_t r, int64_t b, const Surface *window,
                 int64_t x, int64_t y);

// The pixels of the window surface starting at `window_pixels` are about to
// change or go away: a bitmap linked to it takes its pixels back first.
void batch_window_changing(const uint32_t *window_pixels);
