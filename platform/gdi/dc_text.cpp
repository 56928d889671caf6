// The text calls of a DC: they take its font, colours and background mode and
// hand the work to the text module (text.h).
#include <windows.h>

#include <climits>
#include <cstring>

#include "gdi/batch.h"
#include "gdi/objects.h"
#include "gdi/surface.h"
#include "gdi/text.h"

namespace {

// The face of the DC's selected font.
FontFace *face_of(const GdiDc *dc) {
    GdiObject *font = dc->font_object;
    static const FontRequest fallback;
    return text_face(font && font->font ? *font->font : fallback);
}

// Adds a DC origin to a coordinate, saturating at the int range.
int to_surface(int v, int origin) {
    int64_t s = (int64_t)v + origin;
    if (s < INT_MIN) return INT_MIN;
    if (s > INT_MAX) return INT_MAX;
    return (int)s;
}

}  // namespace

// Draws characters with the top-left of the cell at (x, y) in the text colour,
// over a background-filled cell when the mode is OPAQUE. On a bitmap the run
// joins its batch like any shape, in order, so that it blends with what the
// shapes before it drew.
BOOL WINAPI TextOutA(HDC handle, int x, int y, LPCSTR text, int length) {
    GdiDc *dc = gdi_dc(handle);
    if (!dc || length < 0 || (!text && length > 0)) return FALSE;
    if (length == 0) return TRUE;
    Surface *surface = nullptr;
    RECT clip = {0, 0, 0, 0};
    int ox = 0, oy = 0;
    if (dc->kind == DcKind::Memory) {
        GdiObject *bitmap = dc->bitmap_object;
        if (bitmap && bitmap->bitmap) {
            surface = &bitmap->bitmap->surface;
            clip = {0, 0, surface->width, surface->height};
        }
    } else if (dc->kind == DcKind::Window && dc->surface && dc->surface->pixels) {
        surface = dc->surface;
        clip = dc->clip;
        if (clip.left < 0) clip.left = 0;
        if (clip.top < 0) clip.top = 0;
        if (clip.right > surface->width) clip.right = surface->width;
        if (clip.bottom > surface->height) clip.bottom = surface->height;
        ox = dc->org_x;
        oy = dc->org_y;
    }
    if (surface && surface->pixels && clip.left < clip.right && clip.top < clip.bottom) {
        Shape s;
        s.kind = ShapeKind::Text;
        s.canvas.pixels = surface->pixels;
        s.canvas.stride = surface->stride;
        s.canvas.x0 = clip.left;
        s.canvas.y0 = clip.top;
        s.canvas.x1 = clip.right;
        s.canvas.y1 = clip.bottom;
        s.face = face_of(dc);
        s.l = to_surface(x, ox);
        s.t = to_surface(y, oy);
        s.point_count = length;
        s.pen_color = pixel_from_colorref(dc->text_color);
        s.brush = dc->bk_mode == OPAQUE;
        s.brush_color = pixel_from_colorref(dc->bk_color);
        batch_text(dc->kind == DcKind::Memory ? surface : nullptr, s, text);
    }
    if (dc->kind == DcKind::Window && dc->owner) user_window_drawn(dc->owner);
    return TRUE;
}

// Width and height of characters in the DC's font.
BOOL WINAPI GetTextExtentPointA(HDC handle, LPCSTR text, int length, LPSIZE size) {
    GdiDc *dc = gdi_dc(handle);
    if (!dc || !size || length < 0 || (!text && length > 0)) return FALSE;
    *size = text_extent(face_of(dc), text ? text : "", length);
    return TRUE;
}

// Metrics of the DC's font.
BOOL WINAPI GetTextMetricsA(HDC handle, LPTEXTMETRICA metrics) {
    GdiDc *dc = gdi_dc(handle);
    if (!dc || !metrics) return FALSE;
    memset(metrics, 0, sizeof(*metrics));
    text_metrics(face_of(dc), metrics);
    return TRUE;
}
