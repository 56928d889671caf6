// The drawing calls: each finds its DC's canvas (the clip, once), takes the
// pen and brush, and hands the shape to the batch of a memory bitmap or
// straight to the rasteriser. Anything that reads or moves pixels takes them
// from gdi_pixels, which draws what is pending first. Drawing on a window DC
// tells USER once per call.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "gdi/batch.h"
#include "gdi/objects.h"
#include "gdi/raster.h"
#include "gdi/surface.h"

namespace {

// The surface a DC draws on and its clip there, in surface coordinates.
bool surface_of(const GdiDc *dc, Surface **surface, RECT *clip) {
    if (dc->kind == DcKind::Memory) {
        GdiObject *bitmap = dc->bitmap_object;
        if (!bitmap || !bitmap->bitmap) return false;
        *surface = &bitmap->bitmap->surface;
        *clip = {0, 0, (*surface)->width, (*surface)->height};
        return true;
    }
    if (dc->kind == DcKind::Window && dc->surface && dc->surface->pixels) {
        *surface = dc->surface;
        RECT c = dc->clip;
        c.left = std::max<LONG>(c.left, 0);
        c.top = std::max<LONG>(c.top, 0);
        c.right = std::min<LONG>(c.right, dc->surface->width);
        c.bottom = std::min<LONG>(c.bottom, dc->surface->height);
        *clip = c;
        return true;
    }
    return false;
}

}  // namespace

namespace {

// The visible part of a DC as a canvas on its surface *s; empty when nothing
// can be drawn.
Canvas canvas_on(const GdiDc *dc, Surface **s) {
    Canvas c;
    RECT clip;
    *s = nullptr;
    if (!surface_of(dc, s, &clip)) return c;
    int64_t ox = dc->kind == DcKind::Window ? dc->org_x : 0;
    int64_t oy = dc->kind == DcKind::Window ? dc->org_y : 0;
    c.pixels = (*s)->pixels;
    c.stride = (*s)->stride;
    c.org_x = ox;
    c.org_y = oy;
    c.x0 = clip.left - ox;
    c.y0 = clip.top - oy;
    c.x1 = clip.right - ox;
    c.y1 = clip.bottom - oy;
    return c;
}

}  // namespace

// Where a shape of the DC goes; on a bitmap, without its pixels (they may
// still lack the shapes pending there).
Canvas gdi_canvas(const GdiDc *dc, Surface **batched) {
    Surface *s;
    Canvas c = canvas_on(dc, &s);
    const bool bitmap = s != nullptr && dc->kind == DcKind::Memory;
    if (bitmap) c.pixels = nullptr;
    if (batched) *batched = bitmap ? s : nullptr;
    return c;
}

// The DC's pixels once the shapes pending on its bitmap are drawn (or, on a
// window, once a bitmap shown there has its pixels back).
Canvas gdi_pixels(const GdiDc *dc) {
    Surface *s;
    Canvas c = canvas_on(dc, &s);
    if (s != nullptr && dc->kind == DcKind::Memory)
        batch_flush(s);
    else if (c.pixels)
        batch_window_changing(c.pixels);
    return c;
}

namespace {

// The pen's width as drawn (0: no pen) and its colour.
int64_t pen_of(const GdiDc *dc, uint32_t *color) {
    GdiObject *pen = dc->pen_object;
    if (!pen || pen->null_style) return 0;
    *color = pen->pixel;
    return pen->width;
}

// Whether the DC's brush paints, and its colour.
bool brush_of(const GdiDc *dc, uint32_t *color) {
    GdiObject *brush = dc->brush_object;
    if (!brush || brush->null_style) return false;
    *color = brush->pixel;
    return true;
}

// Tells USER that a window DC's pixels may have changed.
void drawn(const GdiDc *dc) {
    if (dc->kind == DcKind::Window && dc->owner) gdi_window_drawn(dc->owner);
}

// A shape of the DC: its canvas, pen and brush; *target is the bitmap whose
// batch it joins, or nullptr for a window.
Shape shape_of(const GdiDc *dc, ShapeKind kind, Surface **target) {
    Shape s;
    s.kind = kind;
    s.canvas = gdi_canvas(dc, target);
    s.pen_width = pen_of(dc, &s.pen_color);
    s.brush = brush_of(dc, &s.brush_color);
    return s;
}

// Normalises a box so that left <= right and top <= bottom.
void normalise(int64_t *l, int64_t *t, int64_t *r, int64_t *b) {
    if (*l > *r) std::swap(*l, *r);
    if (*t > *b) std::swap(*t, *b);
}

// Rectangle() and Ellipse(): a shape of the DC's pen and brush on a box
// given by two corners in any order.
BOOL draw_box(HDC handle, ShapeKind kind, int left, int top, int right, int bottom) {
    GdiDc *dc = gdi_dc(handle);
    if (!dc) return FALSE;
    Surface *target;
    Shape s = shape_of(dc, kind, &target);
    s.l = left;
    s.t = top;
    s.r = right;
    s.b = bottom;
    normalise(&s.l, &s.t, &s.r, &s.b);
    batch_draw(target, s, nullptr);
    drawn(dc);
    return TRUE;
}

}  // namespace

// Rectangle: outline in the pen, inside in the brush, right and bottom excluded.
BOOL WINAPI Rectangle(HDC handle, int left, int top, int right, int bottom) {
    return draw_box(handle, ShapeKind::Rectangle, left, top, right, bottom);
}

// Ellipse inscribed in the box, outlined with the pen and filled with the brush.
BOOL WINAPI Ellipse(HDC handle, int left, int top, int right, int bottom) {
    return draw_box(handle, ShapeKind::Ellipse, left, top, right, bottom);
}

// Closed polygon: filled by the alternate rule, then outlined edge by edge.
BOOL WINAPI Polygon(HDC handle, const POINT *points, int count) {
    GdiDc *dc = gdi_dc(handle);
    if (!dc || !points || count < 2) return FALSE;
    Surface *target;
    Shape s = shape_of(dc, ShapeKind::Polygon, &target);
    s.point_count = count;
    static_assert(sizeof(PixelPoint) == sizeof(POINT), "POINT is two 32-bit coordinates");
    batch_draw(target, s, reinterpret_cast<const PixelPoint *>(points));
    drawn(dc);
    return TRUE;
}

// Line from the current position to (x, y), which becomes the current position.
BOOL WINAPI LineTo(HDC handle, int x, int y) {
    GdiDc *dc = gdi_dc(handle);
    if (!dc) return FALSE;
    Surface *target;
    Shape s = shape_of(dc, ShapeKind::Line, &target);
    s.brush = false;
    s.l = dc->pos_x;
    s.t = dc->pos_y;
    s.r = x;
    s.b = y;
    if (s.pen_width > 0) batch_draw(target, s, nullptr);
    dc->pos_x = x;
    dc->pos_y = y;
    drawn(dc);
    return TRUE;
}

// One pixel; outside the visible area nothing happens and CLR_INVALID comes back.
COLORREF WINAPI SetPixel(HDC handle, int x, int y, COLORREF color) {
    GdiDc *dc = gdi_dc(handle);
    if (!dc) return CLR_INVALID;
    Canvas c = gdi_pixels(dc);
    if (x < c.x0 || x >= c.x1 || y < c.y0 || y >= c.y1) return CLR_INVALID;
    c.pixels[(y + c.org_y) * c.stride + x + c.org_x] = pixel_from_colorref(color & 0xFFFFFF);
    drawn(dc);
    return color & 0xFFFFFF;
}

// The colour of one pixel; CLR_INVALID outside the visible area.
COLORREF WINAPI GetPixel(HDC handle, int x, int y) {
    GdiDc *dc = gdi_dc(handle);
    if (!dc) return CLR_INVALID;
    Canvas c = gdi_pixels(dc);
    if (x < c.x0 || x >= c.x1 || y < c.y0 || y >= c.y1) return CLR_INVALID;
    return colorref_from_pixel(c.pixels[(y + c.org_y) * c.stride + x + c.org_x]);
}

// Fills l..r-1 x t..b-1 with a brush; an empty rectangle draws nothing. As
// real GDI does (tests/data/null_handles), a NULL brush (that of a failed
// creation) leaves the DC's own brush to fill, and a NULL DC is no failure.
int WINAPI FillRect(HDC handle, const RECT *rect, HBRUSH brush_handle) {
    if (!handle) return 1;
    GdiDc *dc = gdi_dc(handle);
    GdiObject *brush = brush_handle ? gdi_lookup(brush_handle, GdiKind::Brush) : dc ? dc->brush_object : nullptr;
    if (!dc || !rect || !brush) return 0;
    if (!brush->null_style) {
        Shape s;
        s.kind = ShapeKind::FillRect;
        Surface *target;
        s.canvas = gdi_canvas(dc, &target);
        s.brush = true;
        s.brush_color = brush->pixel;
        s.l = rect->left;
        s.t = rect->top;
        s.r = rect->right;
        s.b = rect->bottom;
        batch_draw(target, s, nullptr);
    }
    drawn(dc);
    return 1;
}

// Copies a block between DCs (SRCCOPY), clipped to both: destination pixels
// whose source lies outside the source's pixels are left alone.
BOOL WINAPI BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int src_x, int src_y, DWORD rop) {
    GdiDc *d = gdi_dc(dest);
    GdiDc *s = gdi_dc(src);
    if (!d || !s || rop != SRCCOPY) return FALSE;
    // Where the block goes, found before any pixel is touched: a bitmap shown
    // on the window may still take the copy without drawing on itself.
    Surface *source_bitmap;
    Canvas dc = gdi_canvas(d), sc = gdi_canvas(s, &source_bitmap);
    if (width <= 0 || height <= 0 || dc.empty() || sc.empty()) {
        drawn(d);
        return TRUE;
    }
    // The source rectangle in source DC coordinates, clipped to the source ...
    int64_t sx0 = src_x, sy0 = src_y, sx1 = sx0 + width, sy1 = sy0 + height;
    int64_t shift_x = (int64_t)x - src_x, shift_y = (int64_t)y - src_y;
    sx0 = std::max(sx0, sc.x0);
    sy0 = std::max(sy0, sc.y0);
    sx1 = std::min(sx1, sc.x1);
    sy1 = std::min(sy1, sc.y1);
    // ... moved to the destination and clipped there.
    int64_t dx0 = std::max(sx0 + shift_x, dc.x0), dy0 = std::max(sy0 + shift_y, dc.y0);
    int64_t dx1 = std::min(sx1 + shift_x, dc.x1), dy1 = std::min(sy1 + shift_y, dc.y1);
    // A bitmap copied onto a window, as a program shows its back buffer: where
    // the window already holds the block, the bitmap's pending shapes are
    // drawn straight onto the window.
    const Surface *window = d->kind == DcKind::Window ? d->surface : nullptr;
    const bool linkable = window && source_bitmap && dx0 < dx1 && dy0 < dy1;
    const int64_t bl = dx0 - shift_x + sc.org_x, bt = dy0 - shift_y + sc.org_y;
    const int64_t br = bl + (dx1 - dx0), bb = bt + (dy1 - dy0);
    const int64_t wx = dx0 + dc.org_x, wy = dy0 + dc.org_y;
    if (linkable && batch_show(source_bitmap, bl, bt, br, bb, window, wx, wy)) {
        drawn(d);
        return TRUE;
    }
    // The copy lands on top of what is pending on the destination; the same
    // bitmap on both sides takes the overlap-safe copy.
    dc = gdi_pixels(d);
    sc = gdi_pixels(s);
    if (dx0 < dx1 && dy0 < dy1) {
        uint32_t *to = dc.pixels + (dy0 + dc.org_y) * dc.stride + dx0 + dc.org_x;
        const uint32_t *from = sc.pixels + (dy0 - shift_y + sc.org_y) * sc.stride + (dx0 - shift_x) + sc.org_x;
        copy_block(to, dc.stride, from, sc.stride, dx1 - dx0, dy1 - dy0);
    }
    if (linkable) batch_shown(source_bitmap, bl, bt, br, bb, window, wx, wy);
    drawn(d);
    return TRUE;
}

// Moves the pixels of (scroll ∩ clip) by (dx, dy), keeping the result inside
// clip; the uncovered part is left for the caller, its bounds in *update.
BOOL WINAPI ScrollDC(HDC handle, int dx, int dy, const RECT *scroll, const RECT *clip, void *update_region,
                     LPRECT update) {
    (void)update_region;
    GdiDc *dc = gdi_dc(handle);
    if (!dc) return FALSE;
    Canvas c = gdi_pixels(dc);
    if (update) *update = {0, 0, 0, 0};
    if (c.empty()) return TRUE;
    int64_t cl = c.x0, ct = c.y0, cr = c.x1, cb = c.y1;  // clip, limited to the visible area
    if (clip) {
        cl = std::max<int64_t>(cl, clip->left);
        ct = std::max<int64_t>(ct, clip->top);
        cr = std::min<int64_t>(cr, clip->right);
        cb = std::min<int64_t>(cb, clip->bottom);
    }
    int64_t sl = c.x0, st = c.y0, sr = c.x1, sb = c.y1;  // source: scroll ∩ clip
    if (scroll) {
        sl = std::max<int64_t>(sl, scroll->left);
        st = std::max<int64_t>(st, scroll->top);
        sr = std::min<int64_t>(sr, scroll->right);
        sb = std::min<int64_t>(sb, scroll->bottom);
    }
    sl = std::max(sl, cl);
    st = std::max(st, ct);
    sr = std::min(sr, cr);
    sb = std::min(sb, cb);
    if (sl >= sr || st >= sb) return TRUE;
    int64_t dl = std::max(sl + dx, cl), dt = std::max(st + dy, ct);
    int64_t dr = std::min(sr + dx, cr), db = std::min(sb + dy, cb);
    if (dl < dr && dt < db) {
        uint32_t *to = c.pixels + (dt + c.org_y) * c.stride + dl + c.org_x;
        const uint32_t *from = c.pixels + (dt - dy + c.org_y) * c.stride + (dl - dx) + c.org_x;
        copy_block(to, c.stride, from, c.stride, dr - dl, db - dt);
    }
    if (update) {
        // Bounds of the source area that the moved pixels no longer cover.
        RECT u = {(LONG)sl, (LONG)st, (LONG)sr, (LONG)sb};
        if (dl < dr && dt < db) {
            if (dl <= sl && dr >= sr) {  // vertical scroll: a horizontal strip stays uncovered
                if (dt > st) u.bottom = (LONG)std::min(dt, sb);
                else if (db < sb) u.top = (LONG)std::max(db, st);
                else u = {0, 0, 0, 0};
            } else if (dt <= st && db >= sb) {  // horizontal scroll
                if (dl > sl) u.right = (LONG)std::min(dl, sr);
                else if (dr < sr) u.left = (LONG)std::max(dr, sl);
                else u = {0, 0, 0, 0};
            }
        }
        *update = u;
    }
    drawn(dc);
    return TRUE;
}
