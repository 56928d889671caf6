// Laying out a line that is not all ASCII: its bytes read as UTF-8 (any
// other byte as Windows-1252, common/ansi_text.h), each character drawn from
// the face or the face standing in for it, and, where the line holds a
// right-to-left or joined script, cut into runs of one face and direction
// that the glyph source shapes, then put in visual order by their levels, as
// TextOut does on Windows. Plain characters advance as they do one by one,
// without kerning, like ASCII.
#include <algorithm>
#include <array>

#include "ansi_text.h"
#include "gdi/text_internal.h"

namespace {

// Whether a character needs shaping or ordering: combining marks, the
// right-to-left scripts, the Indic and South-East Asian scripts, joiners and
// direction marks, Arabic and Hebrew presentation forms.
bool is_complex(uint32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x0590 && c <= 0x108F) || (c >= 0x1780 && c <= 0x18AF) ||
           (c >= 0x200C && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) ||
           (c >= 0xA8E0 && c <= 0xA8FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE00 && c <= 0xFE0F) ||
           (c >= 0xFE70 && c <= 0xFEFF) || (c >= 0x10800 && c <= 0x10FFF) || (c >= 0x1E800 && c <= 0x1EFFF);
}

// Whether a character belongs with the one before it (a mark, a joiner or a
// variation selector), so that it is drawn from the same face.
bool clings(uint32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x064B && c <= 0x065F) || c == 0x0670 ||
           (c >= 0x0900 && c <= 0x0903) || (c >= 0x093A && c <= 0x094F) || (c >= 0x0951 && c <= 0x0957) ||
           (c >= 0x0591 && c <= 0x05C7) || c == 0x200C || c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F);
}

// One run of a line: characters [first, end) of one face and level.
struct Run {
    int first, end;
    uint8_t level;
    SizedFace *face;
};

// Places a run character by character at the pen, as ASCII is placed.
void place_plain(FontFace *face, const std::vector<uint32_t> &codes, const Run &run, TextLayout *out) {
    SizedFace *s = face->sized;
    const int cell = face->cell_width;
    for (int i = run.first; i < run.end; ++i) {
        Glyph *g = s ? &glyph_of_code(s, codes[i]) : nullptr;
        out->glyphs.push_back({g, out->width + (cell > 0 && g ? (cell - g->advance) / 2 : 0), 0});
        out->width += cell > 0 ? cell : g ? g->advance : face->fallback_advance;
    }
}

// Places a run as the glyph source shapes it (falling back to plain placing).
void place_shaped(FontFace *face, const std::vector<uint32_t> &codes, const Run &run, TextLayout *out) {
    static std::vector<SourceShaped> shaped;
    if (!run.face || !source_shape(run.face->size, codes.data() + run.first, run.end - run.first, run.level & 1,
                                   &shaped)) {
        place_plain(face, codes, run, out);
        return;
    }
    int64_t pen = out->width * 64;  // 26.6
    for (const SourceShaped &g : shaped) {
        Glyph &glyph = glyph_of_index(run.face, g.glyph);
        int64_t x = (pen + g.x_offset + 32) >> 6;
        out->glyphs.push_back({&glyph, x, static_cast<int>(-((g.y_offset + 32) >> 6))});
        pen += g.x_advance;
    }
    out->width = (pen + 32) >> 6;
}

// Cuts the line into runs of one face and level, shapes the runs that need
// it, and places them in visual order (the highest levels reversed first).
void lay_out_complex(FontFace *face, const std::vector<uint32_t> &codes, TextLayout *out) {
    const int count = static_cast<int>(codes.size());
    std::vector<uint8_t> levels;
    if (!source_bidi_levels(codes.data(), count, &levels)) levels.assign(count, 0);
    std::vector<Run> runs;
    std::vector<bool> complex_run;
    SizedFace *previous = nullptr;
    for (int i = 0; i < count; ++i) {
        SizedFace *s = face->sized;
        if (s) s = clings(codes[i]) && previous ? previous : sized_face_for(s, codes[i] >= 0x20 ? codes[i] : 0x20);
        previous = s;
        if (runs.empty() || runs.back().level != levels[i] || runs.back().face != s) {
            runs.push_back({i, i + 1, levels[i], s});
            complex_run.push_back(false);
        } else {
            runs.back().end = i + 1;
        }
        if (is_complex(codes[i])) complex_run.back() = true;
    }
    std::vector<int> order(runs.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    uint8_t highest = 0, lowest_odd = 255;
    for (const Run &r : runs) {
        highest = std::max(highest, r.level);
        if (r.level & 1) lowest_odd = std::min(lowest_odd, r.level);
    }
    for (int level = highest; level >= lowest_odd && level > 0; --level) {
        for (size_t i = 0; i < order.size();) {
            if (runs[order[i]].level < level) {
                ++i;
                continue;
            }
            size_t j = i;
            while (j < order.size() && runs[order[j]].level >= level) ++j;
            std::reverse(order.begin() + i, order.begin() + j);
            i = j;
        }
    }
    for (int k : order) {
        if (complex_run[k] || (runs[k].level & 1)) place_shaped(face, codes, runs[k], out);
        else place_plain(face, codes, runs[k], out);
    }
}

// Lays out a line afresh.
void lay_out(FontFace *face, const char *text, int length, TextLayout *out) {
    static std::vector<uint32_t> codes;
    codes.clear();
    bool complex = false;
    for (int at = 0; at < length;) {
        uint32_t code = ansi_text::next(text, length, &at);
        complex = complex || is_complex(code);
        codes.push_back(code);
    }
    out->glyphs.clear();
    out->glyphs.reserve(codes.size());
    out->width = 0;
    if (!complex) {
        place_plain(face, codes, {0, static_cast<int>(codes.size()), 0, face->sized}, out);
        return;
    }
    lay_out_complex(face, codes, out);
}

// The last few lines laid out, with the face and bytes they were laid out for.
struct KeptLayout {
    FontFace *face = nullptr;
    std::string bytes;
    TextLayout layout;
};
std::array<KeptLayout, 8> kept;
size_t next_kept = 0;

}  // namespace

// A line kept from a recent call with the same face and bytes, or laid out
// now in the place of the oldest kept one.
const TextLayout &text_layout(FontFace *face, const char *text, int length) {
    for (const KeptLayout &k : kept) {
        if (k.face == face && k.bytes.size() == static_cast<size_t>(length) &&
            std::equal(k.bytes.begin(), k.bytes.end(), text))
            return k.layout;
    }
    KeptLayout &k = kept[next_kept];
    next_kept = (next_kept + 1) % kept.size();
    k.face = face;
    k.bytes.assign(text, static_cast<size_t>(length));
    lay_out(face, text, length, &k.layout);
    return k.layout;
}
