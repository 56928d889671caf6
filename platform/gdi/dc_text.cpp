// The text calls of a DC: they take its font, colours and background mode and
// hand the work to the text module (text.h).
#include <windows.h>

#include <cstring>

#include "ansi_text.h"
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

}  // namespace

// Draws characters (UTF-8, any other byte as Windows-1252) with the top-left
// of the cell at (x, y) in the text colour,
// over a background-filled cell when the mode is OPAQUE. On a bitmap the run
// joins its batch like any shape, in order, so that it blends with what the
// shapes before it drew.
BOOL WINAPI TextOutA(HDC handle, int x, int y, LPCSTR text, int length) {
    GdiDc *dc = gdi_dc(handle);
    if (!dc || length < 0 || (!text && length > 0)) return FALSE;
    if (length == 0) return TRUE;
    Shape s;
    s.kind = ShapeKind::Text;
    Surface *target;
    s.canvas = gdi_canvas(dc, &target);
    s.face = face_of(dc);
    // Text beyond ASCII is laid out now: the faces standing in for characters
    // its face lacks widen the rows the batch keeps for it.
    if (!ansi_text::all_ascii(text, length)) text_extent(s.face, text, length);
    s.l = x;
    s.t = y;
    s.point_count = length;
    s.pen_color = pixel_from_colorref(dc->text_color);
    s.brush = dc->bk_mode == OPAQUE;
    s.brush_color = pixel_from_colorref(dc->bk_color);
    batch_text(target, s, text);
    if (dc->kind == DcKind::Window && dc->owner) gdi_window_drawn(dc->owner);
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
