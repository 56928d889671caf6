// The glyph cache: each sized face keeps its 256 glyphs (Windows-1252 bytes),
// their advances and ink boxes once asked, their coverage once drawn (by the
// glyph source), within a budget past which the bitmaps are dropped and
// rendered again on demand. Small glyphs also keep the vector blender's
// weights (raster.h).
#include <algorithm>
#include <cstring>

#include "gdi/raster.h"
#include "gdi/text_internal.h"

namespace {

// Rendered glyph bitmaps are dropped (and re-rendered on demand) past this.
constexpr long kGlyphBudgetBytes = 32L * 1024 * 1024;
// Glyphs up to this many pixels also keep weights for the vector blender.
constexpr long kWeightedGlyphPixels = 128 * 128;

// Unicode code point of a Windows-1252 byte; 0 for control and undefined bytes.
const uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Drops every rendered bitmap; advances and ink boxes stay.
void drop_bitmaps() {
    TextCache &c = text_cache();
    for (auto &entry : c.faces) {
        for (Glyph &g : entry.second->glyphs) {
            if (!g.rendered) continue;
            std::vector<uint8_t>().swap(g.coverage);
            std::vector<uint32_t>().swap(g.weights);
            g.rendered = false;
        }
    }
    c.glyph_bytes = 0;
}

// Sizes a glyph's coverage to width x rows zeros and drops its weights.
void size_coverage(Glyph &g, int width, int rows) {
    g.width = width;
    g.rows = rows;
    g.coverage.assign(static_cast<size_t>(width) * rows, 0);
    g.weights.clear();
}

// Whether a glyph of this size gets weights for the vector blender.
bool wants_weights(long width, long rows) {
    return raster_vector_blend() && width * rows <= kWeightedGlyphPixels;
}

// Bytes a rendered glyph holds.
long bitmap_bytes(const Glyph &g) {
    return static_cast<long>(g.coverage.size() + g.weights.size() * sizeof(uint32_t));
}

// Fills the vector blender's weights from the coverage (small glyphs only).
void make_weights(Glyph &g) {
    if (wants_weights(g.width, g.rows)) coverage_weights(g.coverage.data(), g.width, g.rows, &g.weights);
}

// A hollow box standing on the baseline, for characters the face cannot draw.
void make_box_glyph(Glyph &g, int ppem) {
    int width = std::max(3, ppem / 2);
    int height = std::max(3, ppem * 7 / 10);
    if (g.advance < width + 1) g.advance = width + 1;
    g.ink_left = 0;
    g.ink_top = -height;
    g.ink_right = width;
    g.ink_bottom = 0;
    g.bitmap_left = 0;
    g.bitmap_top = height;
    g.box = true;
    size_coverage(g, width, height);
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col) {
            if (row == 0 || row == height - 1 || col == 0 || col == width - 1)
                g.coverage[static_cast<size_t>(row) * width + col] = 255;
        }
    }
    make_weights(g);
    g.rendered = true;
    text_cache().glyph_bytes += bitmap_bytes(g);
}

// Unicode code point of a byte; 0 (the default glyph) for control bytes.
uint32_t code_of(unsigned char byte) {
    if (byte < 0x20 || byte == 0x7F) return 0;
    if (byte >= 0x80 && byte < 0xA0) return kCp1252High[byte - 0x80];
    return byte;
}

}  // namespace

// Loads the advance and ink box of a byte's glyph (first use only).
void load_metrics(SizedFace *s, unsigned char byte) {
    Glyph &g = s->glyphs[byte];
    g.loaded = true;
    SourceGlyphBox box;
    if (!source_glyph_box(s->size, code_of(byte), &box)) {
        make_box_glyph(g, s->y_ppem);
        return;
    }
    g.advance = box.advance;
    if (box.blank) {
        // A blank: a space has no ink, but the default glyph must show.
        if (!box.known) make_box_glyph(g, s->y_ppem);
        return;
    }
    g.ink_left = static_cast<int>(box.x_min >> 6) - 1;
    g.ink_right = static_cast<int>((box.x_max + 63) >> 6) + 1;
    g.ink_top = -static_cast<int>((box.y_max + 63) >> 6) - 1;
    g.ink_bottom = -static_cast<int>(box.y_min >> 6) + 1;
    if (g.advance == 0 && !box.known) g.advance = g.ink_right;
}

// Renders the coverage bitmap of a byte's glyph, its metrics loaded (first
// use, or first use since the bitmaps were dropped).
void render_glyph(SizedFace *s, unsigned char byte) {
    Glyph &g = s->glyphs[byte];
    if (g.box) {
        make_box_glyph(g, s->y_ppem);
        return;
    }
    SourceBitmap bitmap;
    if (!source_glyph_render(s->size, code_of(byte), &bitmap)) {
        g.ink_right = g.ink_left;  // nothing to draw after all
        return;
    }
    long bytes = static_cast<long>(bitmap.width) * bitmap.rows;
    if (wants_weights(bitmap.width, bitmap.rows)) bytes *= 1 + 2 * sizeof(uint32_t);
    TextCache &c = text_cache();
    if (c.glyph_bytes + bytes > kGlyphBudgetBytes) drop_bitmaps();
    g.bitmap_left = bitmap.left;
    g.bitmap_top = bitmap.top;
    g.width = bitmap.width;
    g.rows = bitmap.rows;
    g.coverage = std::move(bitmap.coverage);
    g.weights.clear();
    make_weights(g);
    g.rendered = true;
    c.glyph_bytes += bitmap_bytes(g);
}
