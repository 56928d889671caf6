// Text for GDI: fonts and glyphs from the glyph source (glyph_source.h).
// GDI's font objects hold a FontRequest; the faces behind them and their
// glyphs are cached here for the life of the process, so creating and
// deleting a font for every call costs next to nothing.
#pragma once

#include <windows.h>

#include <cstdint>

#include "raster.h"
#include "surface.h"

struct FontRequest {
    int height = 0;  // CreateFontA's: < 0 em height, > 0 cell height, 0 default
    int width = 0;
    int weight = FW_NORMAL;
    bool italic = false;
    bool underline = false;
    bool strike_out = false;
    int charset = ANSI_CHARSET;
    int pitch_and_family = 0;
    char face[32] = {};
    int stock = -1;  // a stock font index (ANSI_FIXED_FONT, SYSTEM_FONT ...) or -1
};

struct FontFace;  // a resolved face at one pixel size; owned by the cache

// The cached face for a request; never null (falls back to any face found).
FontFace *text_face(const FontRequest &request);
void text_metrics(FontFace *face, TEXTMETRICA *metrics);
// Width and height (tmHeight) of the characters; control characters are
// measured as the font's default glyph, as on Windows.
SIZE text_extent(FontFace *face, const char *text, int length);
// The rows [*top, *bottom) a run drawn with its cell's top at row y can touch.
void text_rows(FontFace *face, int64_t y, int64_t *top, int64_t *bottom);
// Draws with the top-left of the character cell at (x, y) of the canvas,
// through its clip like any shape. With opaque, the cells are filled with
// background first.
void text_draw(FontFace *face, const Canvas &canvas, int64_t x, int64_t y, const char *text, int length,
               uint32_t foreground, bool opaque, uint32_t background);
// The same straight on a surface, clipped to clip (surface coordinates), for
// tests and benchmarks that draw text without a DC.
void text_draw(FontFace *face, Surface *surface, const RECT &clip, int x, int y, const char *text, int length,
               uint32_t foreground, bool opaque, uint32_t background);

// For tests: what the cache holds. requests: distinct font requests seen;
// faces: files opened at one size and style; files: font files opened;
// glyph_bytes: bytes of rendered glyph bitmaps (bounded).
struct TextCacheCounts {
    int requests;
    int faces;
    int files;
    long glyph_bytes;
};
TextCacheCounts text_cache_counts(void);
// For tests: the family name and file of the face a font draws with ("" for
// the built-in boxes used when no font file can be opened).
const char *text_face_family(FontFace *face);
const char *text_face_file(FontFace *face);
// For tests: turns blending eight pixels at a time off, or back on where the
// processor has it (AVX2); returns whether it was on. Both ways draw the same.
bool text_set_vector_blend(bool on);
