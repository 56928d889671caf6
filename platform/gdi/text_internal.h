// What the text files share: the cache's records (request -> FontFace,
// face + size + style -> SizedFace with its glyphs by character) and the
// glyph cache's entry points. Faces and glyphs come from the glyph source
// (glyph_source.h); the font cache is text_fonts.cpp, the glyph cache
// text_glyphs.cpp, the laying out of text beyond ASCII text_layout.cpp, the
// drawing text_draw.cpp; glyph coverage is blended by the rasteriser
// (raster_blend.cpp).
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "gdi/glyph_source.h"
#include "gdi/text.h"

// One character of a sized face: advance and ink box always, coverage once drawn.
struct Glyph {
    bool loaded = false;
    bool box = false;  // drawn as a hollow box (the face had nothing to draw)
    bool rendered = false;
    int advance = 0;  // pixels
    // Ink box relative to the pen on the baseline, y down, rounded outwards.
    int ink_left = 0, ink_top = 0, ink_right = 0, ink_bottom = 0;
    int bitmap_left = 0, bitmap_top = 0;  // bitmap origin: pen + left, baseline - top
    int width = 0, rows = 0;
    // Where it comes from: the character (or kSourceGlyphIndex | index) and a
    // size of the face, or of the face standing in for a character it lacks.
    uint32_t code = 0;
    SourceSize *source = nullptr;
    std::vector<uint8_t> coverage;  // rows of width bytes
    // For the vector blender (see blend_box_avx2): two planes of rows of width
    // words, blue-red weights then green-top weights, each followed by eight
    // spare words; empty when the glyph is blended a pixel at a time.
    std::vector<uint32_t> weights;
};

// A file at one pixel size with its synthetic style, and its glyphs.
struct SizedFace {
    SourceFace *face = nullptr;
    const SourceFaceInfo *file = nullptr;
    SourceSize *size = nullptr;
    int x_ppem = 0, y_ppem = 0;
    bool embolden = false;
    bool oblique = false;
    Glyph glyphs[128];                          // ASCII, by byte
    std::unordered_map<uint32_t, Glyph> more;   // other characters; shaped glyphs by kSourceGlyphIndex | index
    std::unordered_map<SourceFace *, SizedFace *> stand_ins;  // faces for characters this one lacks
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

// The sized face of a file at a pixel size with a synthetic style (cached);
// null when the file cannot be sized.
SizedFace *size_face(const SourceMatch &match, int x_ppem, int y_ppem);

// Loads the advance and ink box of a glyph from its source (first use only).
void load_metrics(Glyph &g, SourceSize *source, uint32_t code, int ppem);
// The same for the glyph of an ASCII byte.
void load_ascii_metrics(SizedFace *s, unsigned char byte);
// Renders the coverage of a glyph, its metrics loaded.
void render_glyph(Glyph &g);
// The glyph of a character beyond ASCII, from the face or the face standing
// in for it, its advance and ink box loaded.
Glyph &glyph_of_code(SizedFace *s, uint32_t code);
// A glyph of a shaped run by its index in the face, its metrics loaded.
Glyph &glyph_of_index(SizedFace *s, uint32_t index);
// The face at s's size and style that draws a character: s itself, or the
// face standing in for it (null: none has it, s's default glyph shows).
SizedFace *sized_face_for(SizedFace *s, uint32_t code);

// Unicode code point of an ASCII byte; 0 (the default glyph) for control bytes.
inline uint32_t code_of_ascii(unsigned char byte) { return byte < 0x20 || byte == 0x7F ? 0 : byte; }

// The glyph of an ASCII byte with its advance and ink box loaded.
inline Glyph &glyph_metrics(SizedFace *s, unsigned char byte) {
    Glyph &g = s->glyphs[byte];
    if (!g.loaded) load_ascii_metrics(s, byte);
    return g;
}

// A glyph with its coverage bitmap rendered (unless it has no ink).
inline Glyph &with_bitmap(Glyph &g) {
    if (!g.rendered && g.ink_right > g.ink_left) render_glyph(g);
    return g;
}

// The glyph of an ASCII byte with its coverage bitmap rendered (unless it has no ink).
inline Glyph &glyph_bitmap(SizedFace *s, unsigned char byte) { return with_bitmap(glyph_metrics(s, byte)); }

// The advance of an ASCII byte in a face, honouring a fixed cell width.
inline int advance_of(FontFace *face, unsigned char byte) {
    if (face->cell_width > 0) return face->cell_width;
    if (!face->sized) return face->fallback_advance;
    return glyph_metrics(face->sized, byte).advance;
}

// One glyph of a laid-out line: its pen position from the line's start
// (centred in the cell of a fixed-cell font) and its offset below the
// baseline (pixels); null glyph: a box of fallback_advance (no font at all).
struct PlacedGlyph {
    Glyph *glyph;
    int64_t x;
    int y;
};
// A line beyond ASCII as drawn: its glyphs left to right, and its width.
struct TextLayout {
    std::vector<PlacedGlyph> glyphs;
    int64_t width = 0;
};
// The line laid out in a face (kept for the next few calls with the same
// face and bytes: measuring and drawing a line lay it out once).
const TextLayout &text_layout(FontFace *face, const char *text, int length);
