// Text for GDI. The glyph source (glyph_source.h) finds faces and renders
// their glyphs; everything resolved is cached for the life of the process:
//   request (what CreateFontA was asked)  -> FontFace  (metrics, cell rules)
//   family/weight/slant                   -> SourceFace (the source's, per file)
//   face + pixel size + synthetic style   -> SizedFace (256 glyphs)
// Characters are single bytes (Windows-1252), so a face's glyph cache is a
// plain array indexed by the byte.
#include "gdi/text.h"

#include "gdi/glyph_source.h"
#include "gdi/raster.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Largest em or cell height served; taller requests are drawn at this size.
constexpr int kMaxPixelHeight = 2048;
// Rendered glyph bitmaps are dropped (and re-rendered on demand) past this.
constexpr long kGlyphBudgetBytes = 32L * 1024 * 1024;
// The default cell height of a font asked for with height 0.
constexpr int kDefaultCellHeight = 16;
// Glyphs up to this many pixels also keep weights for the vector blender.
constexpr long kWeightedGlyphPixels = 128 * 128;

// tmPitchAndFamily bits (set TMPF_FIXED_PITCH means variable pitch).
constexpr int kTmpfFixedPitch = 0x01;
constexpr int kTmpfVector = 0x02;
constexpr int kTmpfTrueType = 0x04;
constexpr int kFamilySwiss = 0x20;
constexpr int kFamilyModern = 0x30;
constexpr int kFamilyRoman = 0x10;

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

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KAPLO_TEXT_AVX2 1
// Whether glyphs are blended eight pixels at a time (processors with AVX2).
bool g_vector_blend = __builtin_cpu_supports("avx2");
#else
#define KAPLO_TEXT_AVX2 0
bool g_vector_blend = false;
#endif

// Unicode code point of a Windows-1252 byte; 0 for control and undefined bytes.
const uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

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

namespace {

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

// Whether two requests surely ask for the same font: stock fonts by index
// alone, others by every field the cache key holds. Names are compared
// byte for byte, so one with other bytes after its end merely misses.
bool same_font(const FontRequest &a, const FontRequest &b) {
    if (a.stock >= 0 || b.stock >= 0) return a.stock == b.stock;
    return a.height == b.height && a.width == b.width && a.weight == b.weight &&
           a.italic == b.italic && a.underline == b.underline && a.strike_out == b.strike_out &&
           a.pitch_and_family == b.pitch_and_family &&
           std::memcmp(a.face, b.face, sizeof a.face) == 0;
}

using Match = SourceMatch;

// The whole cache; created on first use and never freed.
struct TextCache {
    std::map<RequestKey, std::unique_ptr<FontFace>> requests;
    FontRequest last_request;  // the request text_face answered last, and its face
    FontFace *last_face = nullptr;
    std::map<std::tuple<SourceFace *, int, int, bool, bool>, std::unique_ptr<SizedFace>> faces;
    long glyph_bytes = 0;
};

// The one cache of the process.
TextCache &cache() {
    static TextCache instance;
    return instance;
}

// Rounds font units scaled to ppem pixels to the nearest pixel.
int scale_round(long units, int ppem, int units_per_em) {
    double v = static_cast<double>(units) * ppem / units_per_em;
    return static_cast<int>(std::lround(v));
}

// The face for a request, trying the generic sans family when the first
// choice cannot be opened.
Match find_font(const std::vector<std::string> &families, int weight, bool italic, bool mono) {
    Match match = source_match(families, weight, italic, mono);
    if (!match.face) match = source_match({"sans-serif"}, weight, italic, false);
    if (!match.face) match = source_match({"DejaVu Sans"}, FW_NORMAL, false, false);
    return match;
}

// The sized face for a file at a pixel size (cached).
SizedFace *size_face(const Match &match, int x_ppem, int y_ppem) {
    TextCache &c = cache();
    auto key = std::make_tuple(match.face, x_ppem, y_ppem, match.embolden, match.oblique);
    auto found = c.faces.find(key);
    if (found != c.faces.end()) return found->second.get();
    SourceSize *size = source_size(match.face, x_ppem, y_ppem, match.embolden, match.oblique);
    if (!size) return nullptr;
    const SourceFaceInfo &face = source_info(match.face);
    auto sized = std::make_unique<SizedFace>();
    sized->file = &face;
    sized->size = size;
    sized->x_ppem = x_ppem;
    sized->y_ppem = y_ppem;
    sized->embolden = match.embolden;
    sized->oblique = match.oblique;
    int upem = face.units_per_em;
    int bottom = scale_round(-face.y_min, y_ppem, upem);
    int top = scale_round(face.y_max, y_ppem, upem);
    // Hinting and synthesis move ink by a few pixels at most.
    int slack = 2 + (match.embolden ? y_ppem / 16 + 1 : 0);
    sized->reach_left = std::min(0, scale_round(face.x_min, x_ppem, upem)) - slack -
                        (match.oblique ? bottom / 4 + 1 : 0);
    sized->reach_right = std::max(0, scale_round(face.x_max, x_ppem, upem)) + slack +
                         (match.oblique ? top / 4 + 1 : 0);
    sized->max_advance = scale_round(face.max_advance, x_ppem, upem) + slack;
    sized->reach_top = -top - slack;
    sized->reach_bottom = bottom + slack;
    SizedFace *raw = sized.get();
    c.faces[key] = std::move(sized);
    return raw;
}

// Drops every rendered bitmap; advances and ink boxes stay.
void drop_bitmaps() {
    TextCache &c = cache();
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
    return g_vector_blend && width * rows <= kWeightedGlyphPixels;
}

// Bytes a rendered glyph holds.
long bitmap_bytes(const Glyph &g) {
    return static_cast<long>(g.coverage.size() + g.weights.size() * sizeof(uint32_t));
}

// Fills the vector blender's weights from the coverage (small glyphs only).
// Per pixel a' = a + (a >> 7) (0..256) as a 16-bit fraction of 32768: 128 a',
// with 256 (full coverage) as 32767, which vpmulhrsw rounds just the same
// for differences of up to 255. Blue, red and green weigh a' each; the top
// byte weighs 256 wherever a > 0, so that it ends up cleared there and kept
// where a = 0, as blend() and the plain store leave it.
void make_weights(Glyph &g) {
    if (!wants_weights(g.width, g.rows)) return;
    size_t pixels = g.coverage.size(), plane = pixels + 8;
    g.weights.assign(2 * plane, 0);
    for (size_t i = 0; i < pixels; ++i) {
        uint32_t a = g.coverage[i];
        uint32_t weight = a == 255 ? 32767 : (a + (a >> 7)) << 7;
        uint32_t top = a ? 32767 : 0;
        g.weights[i] = weight | weight << 16;
        g.weights[plane + i] = weight | top << 16;
    }
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
    cache().glyph_bytes += bitmap_bytes(g);
}

// Unicode code point of a byte; 0 (the default glyph) for control bytes.
uint32_t code_of(unsigned char byte) {
    if (byte < 0x20 || byte == 0x7F) return 0;
    if (byte >= 0x80 && byte < 0xA0) return kCp1252High[byte - 0x80];
    return byte;
}

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

// The glyph of a byte with its advance and ink box loaded.
inline Glyph &glyph_metrics(SizedFace *s, unsigned char byte) {
    Glyph &g = s->glyphs[byte];
    if (!g.loaded) load_metrics(s, byte);
    return g;
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
    TextCache &c = cache();
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

// Common metrics of a sized face for a cell of the given ascent and descent.
void fill_metrics(FontFace *face, const SourceFaceInfo *file, int ascent, int descent, int em,
                  int weight, bool italic, bool fixed_pitch) {
    TEXTMETRICA &m = face->metrics;
    m.tmHeight = ascent + descent;
    m.tmAscent = ascent;
    m.tmDescent = descent;
    m.tmInternalLeading = std::max(0, m.tmHeight - em);
    m.tmExternalLeading = 0;
    SizedFace *s = face->sized;
    if (face->cell_width > 0) {
        m.tmAveCharWidth = face->cell_width;
        m.tmMaxCharWidth = face->cell_width;
    } else if (s) {
        int avg = file->avg_width > 0 ? scale_round(file->avg_width, s->x_ppem, file->units_per_em)
                                      : glyph_metrics(s, 'x').advance;
        m.tmAveCharWidth = std::max(1, avg);
        // As GDI reports it: the width of the font's bounding box.
        long box = static_cast<long>(file->x_max) - file->x_min;
        int max_width = scale_round(box, s->x_ppem, file->units_per_em);
        m.tmMaxCharWidth = std::max(m.tmAveCharWidth, max_width);
    } else {
        m.tmAveCharWidth = face->fallback_advance;
        m.tmMaxCharWidth = face->fallback_advance;
    }
    m.tmWeight = weight > 0 ? weight : FW_NORMAL;
    m.tmOverhang = 0;
    m.tmDigitizedAspectX = 96;
    m.tmDigitizedAspectY = 96;
    m.tmFirstChar = 0x1E;
    m.tmLastChar = 0xFF;
    m.tmDefaultChar = 0x1F;
    m.tmBreakChar = 0x20;
    m.tmItalic = italic ? 255 : 0;
    m.tmUnderlined = face->underline ? 255 : 0;
    m.tmStruckOut = face->strike_out ? 255 : 0;
    m.tmPitchAndFamily = static_cast<BYTE>(
        fixed_pitch ? kFamilyModern | kTmpfVector | kTmpfTrueType
                    : kFamilySwiss | kTmpfFixedPitch | kTmpfVector | kTmpfTrueType);
    m.tmCharSet = ANSI_CHARSET;
    face->baseline = ascent;
    // Underline one pixel below the baseline unless the file says otherwise.
    if (s && file) {
        int upem = file->units_per_em;
        int thickness = scale_round(file->underline_thickness, s->y_ppem, upem);
        face->underline_thickness = std::max(1, thickness);
        int offset = scale_round(-file->underline_position, s->y_ppem, upem);
        face->underline_offset = std::clamp(offset, 1, std::max(1, descent));
        face->strike_thickness = std::max(1, scale_round(file->strike_size, s->y_ppem, upem));
        face->strike_offset = std::max(1, scale_round(file->strike_position, s->y_ppem, upem));
    } else {
        face->underline_offset = std::max(1, descent / 2);
        face->strike_offset = std::max(1, ascent / 3);
    }
}

// Stock fonts: the fixed font's cell (8 x 13, ascent 11) as on Windows; the
// others as proportional fonts of Windows' sizes.
void build_stock_face(FontFace *face, int stock) {
    if (stock == ANSI_FIXED_FONT || stock == OEM_FIXED_FONT) {
        Match match = find_font({"DejaVu Sans Mono", "monospace"}, FW_NORMAL, false, true);
        const int cell_width = 8, ascent = 11, descent = 2;
        face->cell_width = cell_width;
        face->fallback_advance = cell_width;
        if (match.face) {
            // The largest em up to the cell height whose advance fits the cell.
            const SourceFaceInfo &info = source_info(match.face);
            long units = info.zero_advance > 0 ? info.zero_advance : info.max_advance;
            int ppem = ascent + descent;
            while (ppem > 6 && scale_round(units, ppem, info.units_per_em) > cell_width)
                --ppem;
            face->sized = size_face(match, ppem, ppem);
        }
        fill_metrics(face, match.face ? &source_info(match.face) : nullptr, ascent, descent,
                     ascent + descent, FW_NORMAL, false, true);
        // The cell reports ascent 11, but the glyphs sit where the lower-case
        // letters, descenders included, fit inside the 13 rows.
        if (face->sized) {
            int top = 0, bottom = 0;
            for (const char *c = "bdfhklt"; *c; ++c)
                top = std::max(top, glyph_bitmap(face->sized, *c).bitmap_top);
            for (const char *c = "gjpqy"; *c; ++c) {
                const Glyph &g = glyph_bitmap(face->sized, *c);
                bottom = std::max(bottom, g.rows - g.bitmap_top);
            }
            int spare = ascent + descent - top - bottom;
            if (spare >= 0) face->baseline = std::min(ascent, top + spare / 2);
        }
        return;
    }
    FontRequest request;
    request.height = stock == ANSI_VAR_FONT ? 13 : stock == DEFAULT_GUI_FONT ? -11 : kDefaultCellHeight;
    request.pitch_and_family = VARIABLE_PITCH;
    std::strcpy(request.face, "sans-serif");
    FontFace *plain = text_face(request);
    *face = *plain;
}

// Builds the face for a request that is not a stock font.
void build_face(FontFace *face, const FontRequest &request) {
    face->underline = request.underline;
    face->strike_out = request.strike_out;
    std::string name(request.face, strnlen(request.face, sizeof request.face));
    bool mono = (request.pitch_and_family & 3) == FIXED_PITCH ||
                (request.pitch_and_family & 0xF0) == kFamilyModern;
    std::vector<std::string> families;
    if (!name.empty()) families.push_back(name);
    if (mono) families.push_back("monospace");
    else if ((request.pitch_and_family & 0xF0) == kFamilyRoman) families.push_back("serif");
    else families.push_back("sans-serif");
    int weight = std::clamp(request.weight, 0, 1000);
    Match match = find_font(families, weight, request.italic, mono && name.empty());

    // Height: < 0 em height, > 0 cell height, 0 the default cell height.
    int64_t asked = request.height;
    bool cell = asked >= 0;
    int64_t pixels = asked == 0 ? kDefaultCellHeight : (asked < 0 ? -asked : asked);
    int height = static_cast<int>(std::min<int64_t>(pixels, kMaxPixelHeight));

    if (!match.face) {
        // No font at all: boxes on a plain cell.
        int em = cell ? std::max(1, height * 5 / 6) : height;
        int ascent = cell ? height * 4 / 5 : em;
        int descent = cell ? height - ascent : std::max(1, em / 5);
        face->fallback_advance = std::max(2, em / 2);
        fill_metrics(face, nullptr, ascent, descent, em, weight, request.italic, mono);
        return;
    }
    const SourceFaceInfo *file = &source_info(match.face);
    long total = static_cast<long>(file->win_ascent) + file->win_descent;
    int em = cell ? static_cast<int>(std::lround(static_cast<double>(height) *
                                                 file->units_per_em / total))
                  : height;
    em = std::max(1, em);
    int ascent = scale_round(file->win_ascent, em, file->units_per_em);
    int descent = scale_round(file->win_descent, em, file->units_per_em);
    if (cell) {
        ascent = std::min(ascent, height);
        descent = height - ascent;
    } else if (ascent + descent < em) {
        descent = em - ascent;
    }
    int x_ppem = em;
    if (request.width != 0) {
        // Squeeze or stretch so the average character is as wide as asked.
        int avg = file->avg_width > 0 ? file->avg_width : file->units_per_em / 2;
        double natural = static_cast<double>(avg) * em / file->units_per_em;
        double wanted = std::min<double>(std::fabs(static_cast<double>(request.width)), kMaxPixelHeight);
        x_ppem = std::clamp(static_cast<int>(std::lround(em * wanted / std::max(natural, 0.5))), 1,
                            kMaxPixelHeight * 4);
    }
    face->sized = size_face(match, x_ppem, em);
    if (!face->sized) face->fallback_advance = std::max(2, em / 2);
    fill_metrics(face, file, ascent, descent, em, weight, request.italic, mono);
}

// Blends a coverage value (0..255) of colour over a destination pixel; red
// and blue are weighed together in one multiply, green in another.
inline uint32_t blend(uint32_t dst, uint32_t src, unsigned alpha) {
    unsigned a = alpha + (alpha >> 7);  // 0..256
    unsigned rest = 256 - a;
    uint32_t rb = (((src & 0xFF00FF) * a + (dst & 0xFF00FF) * rest + 0x800080) >> 8) & 0xFF00FF;
    uint32_t g = (((src & 0x00FF00) * a + (dst & 0x00FF00) * rest + 0x008000) >> 8) & 0x00FF00;
    return rb | g;
}

// Blends a box of coverage (rows of pitch bytes) over a box of pixels (rows of
// stride pixels), one pixel at a time.
void blend_box(uint32_t *dst, int64_t stride, const uint8_t *cov, int64_t pitch, int64_t width,
               int64_t rows, uint32_t color) {
    for (int64_t row = 0; row < rows; ++row, dst += stride, cov += pitch) {
        for (int64_t col = 0; col < width; ++col) {
            unsigned alpha = cov[col];
            if (alpha == 255) dst[col] = color;
            else if (alpha) dst[col] = blend(dst[col], color, alpha);
        }
    }
}

#if KAPLO_TEXT_AVX2

// Lane masks: eight lanes from kLaneMask + 8 - n take the first n of a group.
alignas(32) const int32_t kLaneMask[16] = {-1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0};

// Eight pixels d blended with their weights (see make_weights). Per channel
// it is blend()'s (s * a' + d * (256 - a') + 128) >> 8, computed as
// d + (((s - d) * a' + 128) >> 8) in 16-bit lanes, which is what vpmulhrsw
// of s - d and 128 a' gives. Blue and red sit in the low byte of each 16-bit
// lane, green and the top byte in the high byte.
__attribute__((target("avx2"), always_inline)) inline __m256i blend_eight_avx2(
    __m256i d, const uint32_t *br_weights, const uint32_t *gt_weights, __m256i src_br,
    __m256i src_gt) {
    __m256i d_br = _mm256_and_si256(d, _mm256_set1_epi32(0x00FF00FF));
    __m256i d_gt = _mm256_srli_epi16(d, 8);
    __m256i br_w = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(br_weights));
    __m256i gt_w = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(gt_weights));
    __m256i br = _mm256_add_epi16(d_br, _mm256_mulhrs_epi16(_mm256_sub_epi16(src_br, d_br), br_w));
    __m256i gt = _mm256_add_epi16(d_gt, _mm256_mulhrs_epi16(_mm256_sub_epi16(src_gt, d_gt), gt_w));
    return _mm256_or_si256(br, _mm256_slli_epi16(gt, 8));
}

// Blends a box of a glyph eight pixels at a time: rows of width pixels from
// dst (stride apart) with the weights from (wx, wy) of the glyph on. Each
// row's last group is cut to the width; where the clip leaves room (room
// pixels from dst on), it is read and written whole with the pixels past the
// width written back as they were, since masked stores are slow on some
// processors; else only its first pixels are read and written.
__attribute__((target("avx2"))) void blend_box_avx2(uint32_t *dst, int64_t stride, const Glyph &g,
                                                    int64_t wx, int64_t wy, int64_t width,
                                                    int64_t rows, int64_t room, uint32_t color) {
    const __m256i src_br = _mm256_set1_epi32(static_cast<int>(color & 0x00FF00FF));
    const __m256i src_gt = _mm256_set1_epi32(static_cast<int>((color >> 8) & 0xFF));
    const __m256i tail = _mm256_loadu_si256(
        reinterpret_cast<const __m256i *>(kLaneMask + 7 - ((width - 1) & 7)));
    const int64_t last = (width - 1) & ~int64_t(7);  // the last group's first column (width > 0)
    const bool tail_fits = last + 8 <= room;
    const int64_t pitch = g.width;
    const int64_t plane = static_cast<int64_t>(g.coverage.size()) + 8;  // blue-red to green-top
    const uint32_t *br = g.weights.data() + wy * pitch + wx;
    uint32_t *const end = dst + rows * stride;
    if (last == 0 && tail_fits) {
        // Narrow glyphs with room, as most are: one group a row.
        for (; dst != end; dst += stride, br += pitch) {
            __m256i *p = reinterpret_cast<__m256i *>(dst);
            __m256i d = _mm256_loadu_si256(p);
            __m256i out = blend_eight_avx2(d, br, br + plane, src_br, src_gt);
            _mm256_storeu_si256(p, _mm256_blendv_epi8(d, out, tail));
        }
        return;
    }
    for (; dst != end; dst += stride, br += pitch) {
        for (int64_t col = 0; col < last; col += 8) {
            __m256i *p = reinterpret_cast<__m256i *>(dst + col);
            _mm256_storeu_si256(p, blend_eight_avx2(_mm256_loadu_si256(p), br + col, br + plane + col,
                                                    src_br, src_gt));
        }
        if (tail_fits) {
            __m256i *p = reinterpret_cast<__m256i *>(dst + last);
            __m256i d = _mm256_loadu_si256(p);
            __m256i out = blend_eight_avx2(d, br + last, br + plane + last, src_br, src_gt);
            _mm256_storeu_si256(p, _mm256_blendv_epi8(d, out, tail));
        } else {
            int *p = reinterpret_cast<int *>(dst + last);
            __m256i d = _mm256_maskload_epi32(p, tail);
            _mm256_maskstore_epi32(p, tail, blend_eight_avx2(d, br + last, br + plane + last, src_br, src_gt));
        }
    }
}

#endif

// A rectangle in 64-bit surface coordinates, right and bottom excluded.
struct Box {
    int64_t left, top, right, bottom;
};

// Intersection of two boxes (possibly empty).
Box intersect(const Box &a, const Box &b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// Fills a box, already inside the surface, with one colour (the rasteriser's
// row fill); an empty box (left at or past right) fills nothing.
void fill_box(Surface *surface, const Box &box, uint32_t color) {
    if (box.left >= box.right) return;
    for (int64_t row = box.top; row < box.bottom; ++row)
        fill_pixels(surface->pixels + row * surface->stride + box.left, box.right - box.left, color);
}

// Blends a glyph's coverage at (gx, gy) (its bitmap's top-left) inside clip.
[[gnu::always_inline]] inline void blit_glyph(Surface *surface, const Box &clip, const Glyph &g,
                                              int64_t gx, int64_t gy, uint32_t color) {
    Box area = intersect(clip, {gx, gy, gx + g.width, gy + g.rows});
    if (area.left >= area.right || area.top >= area.bottom) return;
    uint32_t *dst = surface->pixels + area.top * surface->stride + area.left;
    int64_t width = area.right - area.left, rows = area.bottom - area.top;
#if KAPLO_TEXT_AVX2
    if (g_vector_blend && !g.weights.empty()) {
        blend_box_avx2(dst, surface->stride, g, area.left - gx, area.top - gy, width, rows,
                       clip.right - area.left, color);
        return;
    }
#endif
    const uint8_t *cov = g.coverage.data() + (area.top - gy) * g.width + (area.left - gx);
    blend_box(dst, surface->stride, cov, g.width, width, rows, color);
}

// Draws one character whose cell starts at pen: its glyph, or an outline box
// when no font could be opened; glyphs wholly left of bounds are skipped.
[[gnu::always_inline]] inline void draw_character(FontFace *face, SizedFace *s, int cell_width,
                                                  Surface *surface, const Box &bounds,
                                                  unsigned char byte, int64_t pen, int64_t top,
                                                  int64_t baseline, uint32_t color) {
    if (s) {
        const Glyph &g = glyph_bitmap(s, byte);
        int shift = cell_width > 0 ? (cell_width - g.advance) / 2 : 0;
        if (g.rendered && pen + shift + g.ink_right > bounds.left)
            blit_glyph(surface, bounds, g, pen + shift + g.bitmap_left, baseline - g.bitmap_top, color);
        return;
    }
    Box box = {pen, top, pen + std::max(1, advance_of(face, byte) - 1), baseline};
    Box edges[4] = {{box.left, box.top, box.right, box.top + 1},
                    {box.left, box.bottom - 1, box.right, box.bottom},
                    {box.left, box.top, box.left + 1, box.bottom},
                    {box.right - 1, box.top, box.right, box.bottom}};
    for (const Box &edge : edges) fill_box(surface, intersect(bounds, edge), color);
}

}  // namespace

// The cached face for a request: resolved once, then found by key; the same
// font asked for again (as the package does for every label) is answered
// from the last request without building a key.
FontFace *text_face(const FontRequest &request) {
    TextCache &c = cache();
    if (c.last_face && same_font(request, c.last_request)) return c.last_face;
    RequestKey key;
    bool stock = request.stock >= 0;
    key.stock = stock ? request.stock : -1;
    key.height = stock ? 0 : request.height;
    key.width = stock ? 0 : request.width;
    key.weight = stock ? 0 : request.weight;
    key.italic = !stock && request.italic;
    key.underline = !stock && request.underline;
    key.strike_out = !stock && request.strike_out;
    key.pitch_and_family = stock ? 0 : request.pitch_and_family;
    if (!stock) key.face.assign(request.face, strnlen(request.face, sizeof request.face));
    auto found = c.requests.find(key);
    FontFace *face = nullptr;
    if (found != c.requests.end()) {
        face = found->second.get();
    } else {
        auto built = std::make_unique<FontFace>();
        if (stock) build_stock_face(built.get(), request.stock);
        else build_face(built.get(), request);
        face = built.get();
        c.requests[key] = std::move(built);
    }
    c.last_request = request;
    c.last_face = face;
    return face;
}

// The metrics GetTextMetricsA reports for the face.
void text_metrics(FontFace *face, TEXTMETRICA *metrics) {
    if (!face || !metrics) return;
    *metrics = face->metrics;
}

// Sum of advances (control characters count as the default glyph) by tmHeight.
SIZE text_extent(FontFace *face, const char *text, int length) {
    SIZE size = {0, 0};
    if (!face) return size;
    size.cy = face->metrics.tmHeight;
    if (!text || length <= 0) return size;
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
void text_rows(FontFace *face, int y, int64_t *top, int64_t *bottom) {
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

// Draws the characters left to right from the cell's top-left (x, y), within
// clip and the surface, skipping characters that cannot reach the clip.
void text_draw(FontFace *face, Surface *surface, const RECT &clip, int x, int y, const char *text,
               int length, uint32_t foreground, bool opaque, uint32_t background) {
    if (!face || !surface || !surface->pixels || !text || length <= 0) return;
    Box bounds = intersect({clip.left, clip.top, clip.right, clip.bottom},
                           {0, 0, surface->width, surface->height});
    if (bounds.left >= bounds.right || bounds.top >= bounds.bottom) return;
    foreground &= 0xFFFFFF;
    background &= 0xFFFFFF;

    SizedFace *s = face->sized;
    const int64_t top = y;
    const int64_t baseline = top + face->baseline;
    const int64_t cell_bottom = top + face->metrics.tmHeight;
    int64_t rows_top, rows_bottom;
    text_rows(face, y, &rows_top, &rows_bottom);
    if (rows_bottom <= bounds.top || rows_top >= bounds.bottom) return;
    int reach_left = s ? s->reach_left : 0;
    // A run that ends left of the clip, however wide its characters, is skipped whole.
    int widest = face->cell_width > 0 ? face->cell_width
                 : s ? std::max({s->max_advance, s->y_ppem / 2 + 1, 4})  // boxes included
                     : face->fallback_advance;
    int reach_right = std::max(widest, s ? s->reach_right + std::max(0, face->cell_width) : 0);
    if (static_cast<int64_t>(x) + static_cast<int64_t>(length - 1) * widest + reach_right <= bounds.left)
        return;

    // The characters that can touch the clip run from the first whose cell or
    // ink reaches past the clip's left edge to the last before one starts
    // beyond its right edge. Transparent text is drawn as they are found;
    // opaque text fills their cells first, so it finds them all first.
    int first = -1, last = -1;
    int64_t first_pen = x, run_end = x, pen = x;
    const int cell_width = face->cell_width;
    const int64_t clip_left = bounds.left, clip_right = bounds.right;
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
                draw_character(face, s, cell_width, surface, bounds, byte, pen, top, baseline, foreground);
        }
        pen += advance;
    }
    if (first < 0) return;
    if (opaque) {
        fill_box(surface, intersect(bounds, {first_pen, top, run_end, cell_bottom}), background);
        pen = first_pen;
        for (int i = first; i <= last; ++i) {
            unsigned char byte = static_cast<unsigned char>(text[i]);
            draw_character(face, s, cell_width, surface, bounds, byte, pen, top, baseline, foreground);
            pen += advance_of(face, byte);
        }
    }
    if (face->underline) {
        int64_t row = baseline + face->underline_offset;
        fill_box(surface, intersect(bounds, {first_pen, row, run_end, row + face->underline_thickness}),
                 foreground);
    }
    if (face->strike_out) {
        int64_t row = baseline - face->strike_offset;
        fill_box(surface, intersect(bounds, {first_pen, row, run_end, row + face->strike_thickness}),
                 foreground);
    }
}

// Counts of what the cache holds, for tests.
TextCacheCounts text_cache_counts(void) {
    TextCache &c = cache();
    TextCacheCounts counts;
    counts.requests = static_cast<int>(c.requests.size());
    counts.faces = static_cast<int>(c.faces.size());
    counts.files = source_face_count();
    counts.glyph_bytes = c.glyph_bytes;
    return counts;
}

// The family name of the file behind a face ("" when none), for tests.
const char *text_face_family(FontFace *face) {
    if (!face || !face->sized) return "";
    return face->sized->file->family.c_str();
}

// The font file behind a face ("" when none), for tests.
const char *text_face_file(FontFace *face) {
    if (!face || !face->sized) return "";
    return face->sized->file->file.c_str();
}

// Turns the vector blender off or back on (where the processor has it), for
// tests; returns whether it was on.
bool text_set_vector_blend(bool on) {
#if KAPLO_TEXT_AVX2
    bool was = g_vector_blend;
    g_vector_blend = on && __builtin_cpu_supports("avx2");
    return was;
#else
    (void)on;
    return false;
#endif
}
