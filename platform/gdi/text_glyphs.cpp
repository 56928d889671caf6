// The glyph cache: each sized face keeps its glyphs by character (ASCII in
// an array, the rest and the glyphs of shaped runs in a map), their advances
// and ink boxes once asked, their coverage once drawn (by the glyph source),
// within a budget past which the bitmaps are dropped and rendered again on
// demand. A character the face lacks is drawn from the face the glyph
// source puts in for it, at the same size. Small glyphs also keep the vector
// blender's weights (raster.h).
#include <algorithm>
#include <cstring>

#include "gdi/raster.h"
#include "gdi/text_internal.h"

namespace {

// Rendered glyph bitmaps are dropped (and re-rendered on demand) past this.
constexpr long kGlyphBudgetBytes = 32L * 1024 * 1024;
// Glyphs up to this many pixels also keep weights for the vector blender.
constexpr long kWeightedGlyphPixels = 128 * 128;

// Drops every rendered bitmap; advances and ink boxes stay.
void drop_bitmaps() {
    TextCache &c = text_cache();
    auto drop = [](Glyph &g) {
        if (!g.rendered) return;
        std::vector<uint8_t>().swap(g.coverage);
        std::vector<uint32_t>().swap(g.weights);
        g.rendered = false;
    };
    for (auto &entry : c.faces) {
        for (Glyph &g : entry.second->glyphs) drop(g);
        for (auto &more : entry.second->more) drop(more.second);
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

// The coverage of a box glyph: a hollow rectangle filling its ink box.
void draw_box(Glyph &g) {
    const int width = g.ink_right, height = -g.ink_top;
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
    draw_box(g);
}

// The glyph stored under a key of a sized face, its metrics loaded from the
// source size given on first use.
Glyph &stored_glyph(SizedFace *s, uint32_t key, SourceSize *source, uint32_t code, int ppem) {
    Glyph &g = s->more[key];
    if (!g.loaded) load_metrics(g, source, code, ppem);
    return g;
}

}  // namespace

// Loads the advance and ink box of a glyph (first use only).
void load_metrics(Glyph &g, SourceSize *source, uint32_t code, int ppem) {
    g.loaded = true;
    g.source = source;
    g.code = code;
    SourceGlyphBox box;
    if (!source_glyph_box(source, code, &box)) {
        make_box_glyph(g, ppem);
        return;
    }
    g.advance = box.advance;
    if (box.blank) {
        // A blank: a space has no ink, but the default glyph must show.
        if (!box.known) make_box_glyph(g, ppem);
        return;
    }
    g.ink_left = static_cast<int>(box.x_min >> 6) - 1;
    g.ink_right = static_cast<int>((box.x_max + 63) >> 6) + 1;
    g.ink_top = -static_cast<int>((box.y_max + 63) >> 6) - 1;
    g.ink_bottom = -static_cast<int>(box.y_min >> 6) + 1;
    if (g.advance == 0 && !box.known) g.advance = g.ink_right;
}

// An ASCII byte's glyph from the face itself.
void load_ascii_metrics(SizedFace *s, unsigned char byte) {
    load_metrics(s->glyphs[byte], s->size, code_of_ascii(byte), s->y_ppem);
}

// Renders the coverage bitmap of a glyph, its metrics loaded (first use, or
// first use since the bitmaps were dropped).
void render_glyph(Glyph &g) {
    if (g.box) {
        draw_box(g);
        return;
    }
    SourceBitmap bitmap;
    if (!source_glyph_render(g.source, g.code, &bitmap)) {
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

// The face that draws a character at s's size and style: s, or the stand-in
// the glyph source names, sized alike (kept per face).
SizedFace *sized_face_for(SizedFace *s, uint32_t code) {
    SourceFace *face = source_face_for(s->face, code);
    if (!face || face == s->face) return s;
    auto found = s->stand_ins.find(face);
    if (found != s->stand_ins.end()) return found->second;
    SourceMatch match;
    match.face = face;
    match.embolden = s->embolden;
    match.oblique = s->oblique;
    SizedFace *stand_in = size_face(match, s->x_ppem, s->y_ppem);
    if (stand_in) {
        // Text in this face may now reach as far as the stand-in's ink.
        s->reach_left = std::min(s->reach_left, stand_in->reach_left);
        s->reach_right = std::max(s->reach_right, stand_in->reach_right);
        s->reach_top = std::min(s->reach_top, stand_in->reach_top);
        s->reach_bottom = std::max(s->reach_bottom, stand_in->reach_bottom);
        s->max_advance = std::max(s->max_advance, stand_in->max_advance);
    }
    s->stand_ins[face] = stand_in ? stand_in : s;
    return stand_in ? stand_in : s;
}

// C1 control characters draw the default glyph like the C0 ones.
Glyph &glyph_of_code(SizedFace *s, uint32_t code) {
    if (code < 0x80) return glyph_metrics(s, static_cast<unsigned char>(code));
    if (code < 0xA0) return glyph_metrics(s, 0);
    auto found = s->more.find(code);
    if (found != s->more.end()) return found->second;
    SizedFace *from = sized_face_for(s, code);
    return stored_glyph(s, code, from->size, code, s->y_ppem);
}

// Glyphs of shaped runs are kept under their index, apart from characters.
Glyph &glyph_of_index(SizedFace *s, uint32_t index) {
    const uint32_t key = kSourceGlyphIndex | index;
    return stored_glyph(s, key, s->size, key, s->y_ppem);
}
