// Where text's glyphs come from: the font mapper, which finds the closest face
// to a family, weight and slant, and the glyph rasteriser, which turns one
// character of a face at a pixel size into 8-bit coverage. On the desktop it
// is fontconfig and FreeType (glyph_source_freetype.cpp); in a web page the
// browser's own text renderer (backends/web/glyph_source_web.cpp). The build
// compiles one of the two; the text files cache, place and blend what it
// gives. On the desktop the source also shapes complex scripts (HarfBuzz) and
// finds the order of right-to-left runs (FriBidi); a page draws each
// character alone, in the order written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SourceFace;  // a face of the source, opened once and kept
struct SourceSize;  // a face at one pixel size and synthetic style

// What text.cpp needs to know of a face, in font units (y up).
struct SourceFaceInfo {
    std::string family;
    std::string file;
    int units_per_em = 2048;
    int win_ascent = 0;   // positive up
    int win_descent = 0;  // positive down
    int avg_width = 0;    // 0 when the face does not say
    int strike_position = 0, strike_size = 0;
    int x_min = 0, y_min = 0, x_max = 0, y_max = 0;  // box of every glyph
    int underline_position = 0, underline_thickness = 0;
    int max_advance = 0;
    int zero_advance = 0;  // the advance of '0', 0 when unknown
};

// A face found for a request; styles the face lacks are synthesised.
struct SourceMatch {
    SourceFace *face = nullptr;
    bool embolden = false;
    bool oblique = false;
};

// A code for source_glyph_box and source_glyph_render that names a glyph of
// the face by its index (as shaping gives it) instead of a character.
constexpr uint32_t kSourceGlyphIndex = 0x80000000u;

// One glyph of a shaped run, in visual order; 26.6 fixed point, y up.
struct SourceShaped {
    uint32_t glyph = 0;  // the glyph's index in the face
    long x_advance = 0, x_offset = 0, y_offset = 0;
};

// The outline box of a character at a size, 26.6 fixed point, y up.
struct SourceGlyphBox {
    bool known = true;   // false: the face has no glyph for it (the default glyph)
    bool blank = false;  // no ink at all (a space)
    int advance = 0;     // whole pixels
    long x_min = 0, y_min = 0, x_max = 0, y_max = 0;
};

// A rendered character: rows of width coverage bytes, its top-left at
// (pen + left, baseline - top).
struct SourceBitmap {
    int width = 0, rows = 0;
    int left = 0, top = 0;
    std::vector<uint8_t> coverage;
};

// The closest face to the families (in order of preference), weight (0: any)
// and slant; mono asks for fixed pitch. face is null when nothing matches.
SourceMatch source_match(const std::vector<std::string> &families, int weight, bool italic, bool mono);
const SourceFaceInfo &source_info(const SourceFace *face);
// The face at a pixel size with its synthetic style; null when it cannot be sized.
SourceSize *source_size(SourceFace *face, int x_ppem, int y_ppem, bool embolden, bool oblique);
// The outline box of a Unicode character (0: the default glyph); false when
// the source has no outline for it.
bool source_glyph_box(SourceSize *size, uint32_t code, SourceGlyphBox *box);
// Renders a character's coverage; false when there is nothing to draw.
bool source_glyph_render(SourceSize *size, uint32_t code, SourceBitmap *bitmap);
// The face that draws a character: the face itself when it has it, else the
// closest installed face that has it, else null (the face's default glyph).
SourceFace *source_face_for(SourceFace *face, uint32_t code);
// Shapes a run of characters of one face and direction into glyphs in visual
// order; false when the source cannot shape (each character is then drawn alone).
bool source_shape(SourceSize *size, const uint32_t *codes, int count, bool rtl, std::vector<SourceShaped> *out);
// The embedding level of each character of a line whose base direction is
// left to right (odd: right to left); false when the source does not order
// text, or every level is 0.
bool source_bidi_levels(const uint32_t *codes, int count, std::vector<uint8_t> *levels);
// Faces opened so far, for the cache counts tests read.
int source_face_count();
