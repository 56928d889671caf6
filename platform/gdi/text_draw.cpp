// Drawing text: runs of characters laid out from the cell's top-left, the
// characters that can reach the clip found first, their glyphs blended
// through the rasteriser's coverage blit, boxes, backgrounds, underlines
// and strike-out lines filled as rectangles; all on the shapes' canvas.
// ASCII goes byte by byte; other text as text_layout.cpp lays it out.
#include <algorithm>
#include <climits>

#include "ansi_text.h"

#include "gdi/raster.h"
#include "gdi/text_internal.h"

namespace {

// The box drawn for a character when no font could be opened.
void draw_box(const Canvas &c, int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t color) {
    raster_fill_rect(c, left, top, right, top + 1, color);
    raster_fill_rect(c, left, bottom - 1, right, bottom, color);
    raster_fill_rect(c, left, top, left + 1, bottom, color);
    raster_fill_rect(c, right - 1, top, right, bottom, color);
}

// Draws one character whose cell starts at pen: its glyph, or an outline box
// when no font could be opened; glyphs wholly left of the canvas are skipped.
[[gnu::always_inline]] inline void draw_character(FontFace *face, SizedFace *s, int cell_width, const Canvas &c,
                                                  unsigned char byte, int64_t pen, int64_t top,
                                                  int64_t baseline, uint32_t color) {
    if (s) {
        const Glyph &g = glyph_bitmap(s, byte);
        int shift = cell_width > 0 ? (cell_width - g.advance) / 2 : 0;
        if (g.rendered && pen + shift + g.ink_right > c.x0) {
            const CoverageMask mask = {g.coverage.data(), g.weights.empty() ? nullptr : g.weights.data(), g.width,
                                       g.rows};
            blit_coverage(c, mask, pen + shift + g.bitmap_left, baseline - g.bitmap_top, color);
        }
        return;
    }
    draw_box(c, pen, top, pen + std::max(1, advance_of(face, byte) - 1), baseline, color);
}

// The underline and strike-out line of a run from left to right.
void draw_lines(FontFace *face, const Canvas &c, int64_t left, int64_t right, int64_t baseline, uint32_t color) {
    if (face->underline) {
        int64_t row = baseline + face->underline_offset;
        raster_fill_rect(c, left, row, right, row + face->underline_thickness, color);
    }
    if (face->strike_out) {
        int64_t row = baseline - face->strike_offset;
        raster_fill_rect(c, left, row, right, row + face->strike_thickness, color);
    }
}

// Draws a line that is not all ASCII as laid out, glyphs that cannot reach
// the clip left out.
void draw_laid_out(FontFace *face, const Canvas &c, int64_t x, int64_t y, const char *text, int length,
                   uint32_t foreground, bool opaque, uint32_t background) {
    const TextLayout &layout = text_layout(face, text, length);
    const int64_t top = y, baseline = top + face->baseline;
    if (opaque) raster_fill_rect(c, x, top, x + layout.width, top + face->metrics.tmHeight, background);
    const int reach_left = face->sized ? face->sized->reach_left : 0;
    for (const PlacedGlyph &p : layout.glyphs) {
        const int64_t pen = x + p.x;
        if (pen + reach_left >= c.x1) break;  // placed left to right
        if (!p.glyph) {
            draw_box(c, pen, top, pen + std::max(1, face->fallback_advance - 1), baseline, foreground);
            continue;
        }
        if (pen + p.glyph->ink_right <= c.x0) continue;
        const Glyph &g = with_bitmap(*p.glyph);
        if (!g.rendered) continue;
        const CoverageMask mask = {g.coverage.data(), g.weights.empty() ? nullptr : g.weights.data(), g.width, g.rows};
        blit_coverage(c, mask, pen + g.bitmap_left, baseline + p.y - g.bitmap_top, foreground);
    }
    draw_lines(face, c, x, x + layout.width, baseline, foreground);
}

}  // namespace

// Sum of advances (control characters count as the default glyph) by tmHeight.
SIZE text_extent(FontFace *face, const char *text, int length) {
    SIZE size = {0, 0};
    if (!face) return size;
    size.cy = face->metrics.tmHeight;
    if (!text || length <= 0) return size;
    if (!ansi_text::all_ascii(text, length)) {
        size.cx = static_cast<LONG>(std::min<int64_t>(text_layout(face, text, length).width, INT32_MAX));
        return size;
    }
    int64_t width = 0;
    SizedFace *s = face->sized;
    if (face->cell_width > 0 || !s) {
        width = static_cast<int64_t>(length) * advance_of(face, 0);  // every character alike
    } else {
        for (int i = 0; i < length && width < INT32_MAX; ++i)
            width += glyph_metrics(s, static_cast<unsigned char>(text[i])).advance;
    }
    size.cx = static_cast<LONG>(std::min<int64_t>(width, INT32_MAX));
    return size;
}

// The rows [*top, *bottom) that a run with its cell's top at row y can touch:
// the cell, every glyph's ink, the underline and the strike-out line.
void text_rows(FontFace *face, int64_t y, int64_t *top, int64_t *bottom) {
    const SizedFace *s = face->sized;
    const int64_t cell_top = y, baseline = cell_top + face->baseline;
    const int64_t cell_bottom = cell_top + face->metrics.tmHeight;
    *top = s ? std::min(cell_top, baseline + s->reach_top) : cell_top;
    *bottom = s ? std::max(cell_bottom, baseline + s->reach_bottom) : cell_bottom;
    if (face->underline) *bottom = std::max(*bottom, baseline + face->underline_offset + face->underline_thickness);
    if (face->strike_out) {
        *top = std::min(*top, baseline - face->strike_offset);
        *bottom = std::max(*bottom, baseline - face->strike_offset + face->strike_thickness);
    }
}

// Draws the characters left to right from the cell's top-left (x, y) on the
// canvas, skipping characters that cannot reach its clip.
void text_draw(FontFace *face, const Canvas &c, int64_t x, int64_t y, const char *text, int length,
               uint32_t foreground, bool opaque, uint32_t background) {
    if (!face || !c.pixels || !text || length <= 0 || c.empty()) return;
    foreground &= 0xFFFFFF;
    background &= 0xFFFFFF;

    SizedFace *s = face->sized;
    const int64_t top = y;
    const int64_t baseline = top + face->baseline;
    const int64_t cell_bottom = top + face->metrics.tmHeight;
    int64_t rows_top, rows_bottom;
    text_rows(face, y, &rows_top, &rows_bottom);
    if (rows_bottom <= c.y0 || rows_top >= c.y1) return;
    int reach_left = s ? s->reach_left : 0;
    // A run that ends left of the clip, however wide its characters, is skipped whole.
    int widest = face->cell_width > 0 ? face->cell_width
                 : s ? std::max({s->max_advance, s->y_ppem / 2 + 1, 4})  // boxes included
                     : face->fallback_advance;
    int reach_right = std::max(widest, s ? s->reach_right + std::max(0, face->cell_width) : 0);
    if (x + static_cast<int64_t>(length - 1) * widest + reach_right <= c.x0)
        return;
    if (!ansi_text::all_ascii(text, length)) {  // no more glyphs than bytes, none wider
        draw_laid_out(face, c, x, y, text, length, foreground, opaque, background);
        return;
    }

    // The characters that can touch the clip run from the first whose cell or
    // ink reaches past the clip's left edge to the last before one starts
    // beyond its right edge. Transparent text is drawn as they are found;
    // opaque text fills their cells first, so it finds them all first.
    int first = -1, last = -1;
    int64_t first_pen = x, run_end = x, pen = x;
    const int cell_width = face->cell_width;
    const int64_t clip_left = c.x0, clip_right = c.x1;
    for (int i = 0; i < length; ++i) {
        if (pen + reach_left >= clip_right) break;
        unsigned char byte = static_cast<unsigned char>(text[i]);
        int advance;
        int64_t right;
        if (s) {
            const Glyph &g = glyph_metrics(s, byte);
            advance = cell_width > 0 ? cell_width : g.advance;
            int shift = cell_width > 0 ? (cell_width - g.advance) / 2 : 0;
            right = std::max(pen + advance, pen + shift + g.ink_right);
        } else {
            advance = advance_of(face, byte);
            right = pen + advance;
        }
        if (right > clip_left) {
            if (first < 0) {
                first = i;
                first_pen = pen;
            }
            last = i;
            run_end = pen + advance;
            if (!opaque)
                draw_character(face, s, cell_width, c, byte, pen, top, baseline, foreground);
        }
        pen += advance;
    }
    if (first < 0) return;
    if (opaque) {
        raster_fill_rect(c, first_pen, top, run_end, cell_bottom, background);
        pen = first_pen;
        for (int i = first; i <= last; ++i) {
            unsigned char byte = static_cast<unsigned char>(text[i]);
            draw_character(face, s, cell_width, c, byte, pen, top, baseline, foreground);
            pen += advance_of(face, byte);
        }
    }
    draw_lines(face, c, first_pen, run_end, baseline, foreground);
}

// Draws on a whole surface: its pixels as a canvas with DC (0, 0) on its
// top-left, clipped to clip and the surface.
void text_draw(FontFace *face, Surface *surface, const RECT &clip, int x, int y, const char *text, int length,
               uint32_t foreground, bool opaque, uint32_t background) {
    if (!surface || !surface->pixels) return;
    Canvas c;
    c.pixels = surface->pixels;
    c.stride = surface->stride;
    c.x0 = std::max<int64_t>(clip.left, 0);
    c.y0 = std::max<int64_t>(clip.top, 0);
    c.x1 = std::min<int64_t>(clip.right, surface->width);
    c.y1 = std::min<int64_t>(clip.bottom, surface->height);
    text_draw(face, c, x, y, text, length, foreground, opaque, background);
}

// Turns the vector blender off or back on (where the processor has it), for
// tests; returns whether it was on.
bool text_set_vector_blend(bool on) { return raster_set_vector_blend(on); }
