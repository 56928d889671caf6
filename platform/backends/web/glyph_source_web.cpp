// The web page's glyph source: the browser is the font mapper (a CSS font
// family list falls back to what the browser has) and draws each glyph on a
// scratch canvas, whose alpha becomes the glyph's coverage (see
// glyph_source.h; the drawing is in page.js). A run of a joined or
// right-to-left script is one "glyph" of the page: the browser shapes and
// orders it as a whole.
#include <emscripten.h>

#include <map>
#include <memory>
#include <string>

#include "ansi_text.h"

#include "gdi/glyph_source.h"

// A font of the page: a CSS family list at a weight and style.
struct SourceFace {
    int id = 0;
    SourceFaceInfo info;
};

// A font at one pixel size; the browser synthesises bold and italic itself.
struct SourceSize {
    SourceFace *face = nullptr;
    int x_ppem = 0, y_ppem = 0;
};

namespace {

// The numbers page.js fills in when it opens a font (font units of a 2048 em).
struct PageFontInfo {
    int units_per_em, win_ascent, win_descent, avg_width, strike_position, strike_size;
    int x_min, y_min, x_max, y_max, underline_position, underline_thickness, max_advance,
        zero_advance;
};
struct PageBox {
    int advance, blank, x_min, y_min, x_max, y_max;
};
struct PageBitmap {
    int width, rows, left, top;
};

EM_JS(int, page_open_font, (const char *families, int weight, int italic, int mono, PageFontInfo *info), {
    return Module.kaplo.openFont(UTF8ToString(families), weight, italic != 0, mono != 0, info);
});
EM_JS(void, page_glyph_box, (int font, int x_ppem, int y_ppem, const char *text, PageBox *out),
      { Module.kaplo.glyphBox(font, x_ppem, y_ppem, UTF8ToString(text), out); });
EM_JS(void, page_render_glyph, (int font, int x_ppem, int y_ppem, const char *text, PageBitmap *out),
      { Module.kaplo.renderGlyph(font, x_ppem, y_ppem, UTF8ToString(text), out); });
EM_JS(void, page_take_glyph, (uint8_t *coverage), { Module.kaplo.takeGlyph(coverage); });

std::map<std::string, std::unique_ptr<SourceFace>> faces;  // key: families|weight|italic|mono
std::vector<std::unique_ptr<SourceSize>> sizes;
// The runs shaped so far, as UTF-8; a run's glyph index is its place here.
std::vector<std::string> runs;
std::map<std::string, uint32_t> run_ids;

// What the page draws for a code: a character, or a shaped run.
std::string text_of(uint32_t code) {
    if (code & kSourceGlyphIndex) {
        uint32_t id = code & ~kSourceGlyphIndex;
        return id < runs.size() ? runs[id] : std::string();
    }
    std::string text;
    ansi_text::append_utf8(code, &text);
    return text;
}

}  // namespace

// The page's font for the families, weight and slant (one per question).
SourceMatch source_match(const std::vector<std::string> &families, int weight, bool italic, bool mono) {
    std::string names;
    for (const std::string &f : families) names += f + "\n";
    std::string key = names + "|" + std::to_string(weight) + (italic ? "i" : "r") + (mono ? "m" : "p");
    std::unique_ptr<SourceFace> &face = faces[key];
    if (!face) {
        PageFontInfo m{};
        face = std::make_unique<SourceFace>();
        face->id = page_open_font(names.c_str(), weight, italic, mono, &m);
        SourceFaceInfo &info = face->info;
        info.family = families.empty() ? "sans-serif" : families.front();
        info.file = "browser";
        info.units_per_em = m.units_per_em;
        info.win_ascent = m.win_ascent;
        info.win_descent = m.win_descent;
        info.avg_width = m.avg_width;
        info.strike_position = m.win_ascent / 3;
        info.strike_size = m.units_per_em / 20;
        info.x_min = m.x_min;
        info.y_min = m.y_min;
        info.x_max = m.x_max;
        info.y_max = m.y_max;
        info.underline_position = m.underline_position;
        info.underline_thickness = m.underline_thickness;
        info.max_advance = m.max_advance;
        info.zero_advance = m.zero_advance;
        if (info.win_ascent + info.win_descent <= 0) {
            info.win_ascent = info.units_per_em * 4 / 5;
            info.win_descent = info.units_per_em / 5;
        }
    }
    SourceMatch match;
    match.face = face.get();
    return match;
}

// The measurements page.js took of the font.
const SourceFaceInfo &source_info(const SourceFace *face) { return face->info; }

// The font at a pixel size; nothing to open in the page.
SourceSize *source_size(SourceFace *face, int x_ppem, int y_ppem, bool, bool) {
    if (x_ppem <= 0 || y_ppem <= 0) return nullptr;
    sizes.push_back(std::make_unique<SourceSize>());
    SourceSize *size = sizes.back().get();
    size->face = face;
    size->x_ppem = x_ppem;
    size->y_ppem = y_ppem;
    return size;
}

// The browser's measure of a character; the default glyph (code 0) is left
// to the layer's box.
bool source_glyph_box(SourceSize *size, uint32_t code, SourceGlyphBox *box) {
    if (code == 0) return false;
    PageBox b{};
    page_glyph_box(size->face->id, size->x_ppem, size->y_ppem, text_of(code).c_str(), &b);
    box->known = true;
    box->advance = b.advance;
    box->blank = b.blank != 0;
    box->x_min = b.x_min;
    box->y_min = b.y_min;
    box->x_max = b.x_max;
    box->y_max = b.y_max;
    return true;
}

// The character drawn by the browser, its alpha as coverage.
bool source_glyph_render(SourceSize *size, uint32_t code, SourceBitmap *bitmap) {
    if (code == 0) return false;
    PageBitmap b{};
    page_render_glyph(size->face->id, size->x_ppem, size->y_ppem, text_of(code).c_str(), &b);
    if (b.width <= 0 || b.rows <= 0) return false;
    bitmap->width = b.width;
    bitmap->rows = b.rows;
    bitmap->left = b.left;
    bitmap->top = b.top;
    bitmap->coverage.assign(static_cast<size_t>(b.width) * b.rows, 0);
    page_take_glyph(bitmap->coverage.data());
    return true;
}

// Fonts opened in the page.
int source_face_count() { return static_cast<int>(faces.size()); }

// The browser falls back to other fonts by itself.
SourceFace *source_face_for(SourceFace *face, uint32_t) { return face; }

// A run is one glyph of the page, as wide as the browser measures it.
bool source_shape(SourceSize *size, const uint32_t *codes, int count, bool, std::vector<SourceShaped> *out) {
    std::string text;
    for (int i = 0; i < count; ++i) text += text_of(codes[i]);
    auto found = run_ids.find(text);
    uint32_t id;
    if (found != run_ids.end()) {
        id = found->second;
    } else {
        id = static_cast<uint32_t>(runs.size());
        runs.push_back(text);
        run_ids[text] = id;
    }
    SourceGlyphBox box;
    source_glyph_box(size, kSourceGlyphIndex | id, &box);
    out->assign(1, SourceShaped());
    (*out)[0].glyph = id;
    (*out)[0].x_advance = static_cast<long>(box.advance) * 64;
    return true;
}

// The browser orders each run itself (the line is one run to it).
bool source_bidi_levels(const uint32_t *, int, std::vector<uint8_t> *) { return false; }
