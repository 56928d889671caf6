// What the text files share: the cache's records (request -> FontFace,
// face + size + style -> SizedFace with its 256 glyphs) and the glyph cache's
// entry points. Faces and glyphs come from the glyph source (glyph_source.h);
// the font cache is text_fonts.cpp, the glyph cache text_glyphs.cpp, the
// drawing text_draw.cpp; glyph coverage is blended by the rasteriser
// (raster_blend.cpp).
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "gdi/glyph_source.h"
#include "gdi/text.h"

// One character of a sized face: advance and ink box always, coverage once drawn.
struct Glyph {
    bool loaded = false;
    bool box = false;  // drawn as a hollow box (the face had nothing to draw)
    int advance = 0;   // pixels
    // Ink box relative to the pen on the baseline, y down, rounded outwards.
    int ink_left = 0, ink_top = 0, ink_right = 0, ink_bottom = 0;
    bool rendered = false;
    int bitmap_left = 0, bitmap_top = 0;  // bitmap origin: pen + left, baseline - top
    int width = 0, rows = 0;
    std::vector<uint8_t> coverage;  // rows of width bytes
    // For the vector blender (see blend_box_avx2): two planes of rows of width
    // words, blue-red weights then green-top weights, each followed by eight
    // spare words; empty when the glyph is blended a pixel at a time.
    std::vector<uint32_t> weights;
};

// A file at one pixel size with its synthetic style, and its glyphs.
struct SizedFace {
    const SourceFaceInfo *file = nullptr;
    SourceSize *size = nullptr;
    int x_ppem = 0, y_ppem = 0;
    bool embolden = false;
    bool oblique = false;
    Glyph glyphs[256];
    // Bounds of all ink in the face relative to pen and baseline (pixels, y
    // down, generous), used to skip characters that cannot reach the clip.
    int reach_left = 0, reach_right = 0, reach_top = 0, reach_bottom = 0;
    int max_advance = 0;  // no character advances further (pixels)
};

// A resolved request: the face it draws with and the metrics GDI reports.
struct FontFace {
    SizedFace *sized = nullptr;  // null only when no font file could be opened
    TEXTMETRICA metrics = {};
    int cell_width = 0;  // > 0: every character advances this much, glyph centred
    int baseline = 0;    // tmAscent
    bool underline = false;
    bool strike_out = false;
    int underline_offset = 0, underline_thickness = 1;  // rows below the baseline
    int strike_offset = 0, strike_thickness = 1;        // rows above the baseline
    int fallback_advance = 1;  // advance of every character when sized is null
};

// The key of a request: every field that changes the result.
struct RequestKey {
    int stock, height, width, weight, italic, underline, strike_out, pitch_and_family;
    std::string face;
    // Orders keys for the cache map.
    bool operator<(const RequestKey &o) const {
        return std::tie(stock, height, width, weight, italic, underline, strike_out,
                        pitch_and_family, face) <
               std::tie(o.stock, o.height, o.width, o.weight, o.italic, o.underline,
                        o.strike_out, o.pitch_and_family, o.face);
    }
};

// The whole cache; created on first use and never freed.
struct TextCache {
    std::map<RequestKey, std::unique_ptr<FontFace>> requests;
    FontRequest last_request;  // the request text_face answered last, and its face
    FontFace *last_face = nullptr;
    std::map<std::tuple<SourceFace *, int, int, bool, bool>, std::unique_ptr<SizedFace>> faces;
    long glyph_bytes = 0;
};

// The one cache of the process (created on first use, never freed).
TextCache &text_cache();

// Loads the advance and ink box of a byte's glyph (first use only).
void load_metrics(SizedFace *s, unsigned char byte);
// Renders the coverage of a byte's glyph, its metrics loaded.
void render_glyph(SizedFace *s, unsigned char byte);

// The glyph of a byte with its advance and ink box loaded.
inline Glyph &glyph_metrics(SizedFace *s, unsigned char byte) {
    Glyph &g = s->glyphs[byte];
    if (!g.loaded) load_metrics(s, byte);
    return g;
}

// The glyph of a byte with its coverage bitmap rendered (unless it has no ink).
inline Glyph &glyph_bitmap(SizedFace *s, unsigned char byte) {
    Glyph &g = glyph_metrics(s, byte);
    if (!g.rendered && g.ink_right > g.ink_left) render_glyph(s, byte);
    return g;
}

// The advance of a byte in a face, honouring a fixed cell width.
inline int advance_of(FontFace *face, unsigned char byte) {
    if (face->cell_width > 0) return face->cell_width;
    if (!face->sized) return face->fallback_advance;
    return glyph_metrics(face->sized, byte).advance;
}
