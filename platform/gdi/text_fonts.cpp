// The font cache: each CreateFontA request (or stock font) is answered once
// by the glyph source's font mapper (glyph_source.h) with a face at the size
// the request works out to, and the metrics GDI reports are computed then.
// Everything resolved is kept for the life of the process.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "gdi/text_internal.h"

namespace {

// Largest em or cell height served; taller requests are drawn at this size.
constexpr int kMaxPixelHeight = 2048;
// The default cell height of a font asked for with height 0.
constexpr int kDefaultCellHeight = 16;
// tmPitchAndFamily bits (set TMPF_FIXED_PITCH means variable pitch).
constexpr int kTmpfFixedPitch = 0x01;
constexpr int kTmpfVector = 0x02;
constexpr int kTmpfTrueType = 0x04;
constexpr int kFamilySwiss = 0x20;
constexpr int kFamilyModern = 0x30;
constexpr int kFamilyRoman = 0x10;

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
    const char *generic = mono ? "monospace" : (request.pitch_and_family & 0xF0) == kFamilyRoman ? "serif" : "sans-serif";
    for (const char *g : {"monospace", "serif", "sans-serif"})
        if (name == g) generic = g, name.clear();
    // A family that is not installed is drawn with DejaVu, whatever other
    // fonts fontconfig would rank first, so that text looks the same on every
    // machine with Debian's fonts-dejavu-core; the generic family comes after.
    std::vector<std::string> families;
    if (!name.empty()) families.push_back(name);
    families.push_back(generic == std::string("monospace") ? "DejaVu Sans Mono"
                       : generic == std::string("serif")   ? "DejaVu Serif"
                                                           : "DejaVu Sans");
    families.push_back(generic);
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

}  // namespace

// The sized face for a file at a pixel size (cached).
SizedFace *size_face(const SourceMatch &match, int x_ppem, int y_ppem) {
    TextCache &c = text_cache();
    auto key = std::make_tuple(match.face, x_ppem, y_ppem, match.embolden, match.oblique);
    auto found = c.faces.find(key);
    if (found != c.faces.end()) return found->second.get();
    SourceSize *size = source_size(match.face, x_ppem, y_ppem, match.embolden, match.oblique);
    if (!size) return nullptr;
    const SourceFaceInfo &face = source_info(match.face);
    auto sized = std::make_unique<SizedFace>();
    sized->face = match.face;
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

// The one cache of the process.
TextCache &text_cache() {
    static TextCache instance;
    return instance;
}

// The cached face for a request: resolved once, then found by key; the same
// font asked for again (as the package does for every label) is answered
// from the last request without building a key.
FontFace *text_face(const FontRequest &request) {
    TextCache &c = text_cache();
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

// Counts of what the cache holds, for tests.
TextCacheCounts text_cache_counts(void) {
    TextCache &c = text_cache();
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
