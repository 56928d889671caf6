// The desktop's glyph source: fontconfig is the font mapper and finds the
// faces that stand in for characters a face lacks, FreeType opens the faces
// and renders their glyphs, HarfBuzz shapes complex scripts and FriBidi finds
// the direction of each character (see glyph_source.h).
#include "gdi/glyph_source.h"

#include <fontconfig/fontconfig.h>
#include <fribidi.h>
#include <hb.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>

// A font file opened with FreeType, shared by every size drawn from it.
struct SourceFace {
    SourceFaceInfo info;
    int index = 0;
    FT_Face face = nullptr;
    hb_face_t *shaper = nullptr;  // for HarfBuzz, made on first shaping
    // The faces fontconfig would put in for characters this one lacks, best
    // first (made on first need), and the answers found per character.
    FcFontSet *fallbacks = nullptr;
    std::unordered_map<uint32_t, SourceFace *> stand_ins;
};

// A face at one pixel size; FreeType keeps one size active per face, so
// every use activates its own first.
struct SourceSize {
    SourceFace *face = nullptr;
    FT_Size size = nullptr;
    bool embolden = false;
    bool oblique = false;
    hb_font_t *shaper = nullptr;  // made on first shaping
};

namespace {

// The libraries, the files opened and the answers found; never freed.
struct FreeTypeState {
    FT_Library library = nullptr;
    FcConfig *config = nullptr;
    bool started = false;
    std::map<std::pair<std::string, int>, std::unique_ptr<SourceFace>> files;
    std::map<std::string, SourceMatch> matches;  // key: families|weight|italic|mono
    std::vector<std::unique_ptr<SourceSize>> sizes;
};

// The one state of the process, the libraries started on first use.
FreeTypeState &state() {
    static FreeTypeState s;
    if (!s.started) {
        s.started = true;
        if (FT_Init_FreeType(&s.library) != 0) s.library = nullptr;
        s.config = FcInitLoadConfigAndFonts();
    }
    return s;
}

// Opens a font file (cached); null when FreeType cannot use it as an outline font.
SourceFace *open_file(const std::string &path, int index, const std::string &family) {
    FreeTypeState &s = state();
    auto key = std::make_pair(path, index);
    auto found = s.files.find(key);
    if (found != s.files.end()) return found->second.get();
    FT_Face face = nullptr;
    if (!s.library || FT_New_Face(s.library, path.c_str(), index, &face) != 0) {
        s.files[key] = nullptr;
        return nullptr;
    }
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        FT_Done_Face(face);
        s.files[key] = nullptr;
        return nullptr;
    }
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    auto file = std::make_unique<SourceFace>();
    file->index = index;
    file->face = face;
    SourceFaceInfo &info = file->info;
    info.file = path;
    info.family = family;
    info.units_per_em = face->units_per_EM;
    const TT_OS2 *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        info.win_ascent = os2->usWinAscent;
        info.win_descent = os2->usWinDescent;
        info.avg_width = os2->xAvgCharWidth;
        info.strike_position = os2->yStrikeoutPosition;
        info.strike_size = os2->yStrikeoutSize;
    } else {
        info.win_ascent = face->ascender > 0 ? face->ascender : face->bbox.yMax;
        info.win_descent = face->descender < 0 ? -face->descender : -face->bbox.yMin;
    }
    if (info.win_ascent + info.win_descent <= 0) {
        info.win_ascent = info.units_per_em * 4 / 5;
        info.win_descent = info.units_per_em / 5;
    }
    if (info.strike_size <= 0) {
        info.strike_position = info.win_ascent / 3;
        info.strike_size = std::max(1, info.units_per_em / 20);
    }
    info.x_min = face->bbox.xMin;
    info.y_min = face->bbox.yMin;
    info.x_max = face->bbox.xMax;
    info.y_max = face->bbox.yMax;
    info.underline_position = face->underline_position;
    info.underline_thickness = face->underline_thickness;
    info.max_advance = face->max_advance_width;
    FT_Fixed units = 0;
    FT_UInt zero = FT_Get_Char_Index(face, '0');
    if (FT_Get_Advance(face, zero, FT_LOAD_NO_SCALE, &units) == 0 && units > 0)
        info.zero_advance = static_cast<int>(units);
    SourceFace *raw = file.get();
    s.files[key] = std::move(file);
    return raw;
}

// The glyph index of a character, or the index a code names.
FT_UInt glyph_index(FT_Face face, uint32_t code) {
    if (code & kSourceGlyphIndex) return code & ~kSourceGlyphIndex;
    return code ? FT_Get_Char_Index(face, code) : 0;
}

// The faces fontconfig sorts after a face's own family, each covering
// something the ones before it do not.
FcFontSet *fallbacks_of(SourceFace *face) {
    FreeTypeState &s = state();
    if (face->fallbacks || !s.config) return face->fallbacks;
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(face->info.family.c_str()));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>("sans-serif"));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(s.config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    face->fallbacks = FcFontSort(s.config, pattern, FcTrue, nullptr, &result);
    FcPatternDestroy(pattern);
    if (!face->fallbacks) face->fallbacks = FcFontSetCreate();
    return face->fallbacks;
}

// Loads a character's outline at the size with its synthetic style; false
// when FreeType gives no outline.
bool load_outline(SourceSize *size, uint32_t code) {
    FT_Face face = size->face->face;
    FT_Activate_Size(size->size);
    FT_UInt index = glyph_index(face, code);
    if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_LIGHT | FT_LOAD_NO_BITMAP) != 0) return false;
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return false;
    if (size->oblique) FT_GlyphSlot_Oblique(face->glyph);
    if (size->embolden) FT_GlyphSlot_Embolden(face->glyph);
    return true;
}

}  // namespace

// Asks fontconfig for the closest installed outline face to the families,
// weight and slant; the answer is kept per question.
SourceMatch source_match(const std::vector<std::string> &families, int weight, bool italic, bool mono) {
    FreeTypeState &s = state();
    std::string key;
    for (const std::string &f : families) key += f + ",";
    key += "|" + std::to_string(weight) + "|" + (italic ? "i" : "r") + (mono ? "m" : "p");
    auto found = s.matches.find(key);
    if (found != s.matches.end()) return found->second;

    SourceMatch match;
    if (s.config) {
        FcPattern *pattern = FcPatternCreate();
        for (const std::string &f : families)
            FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(f.c_str()));
        if (weight > 0) FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        if (mono) FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(s.config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern *best = FcFontMatch(s.config, pattern, &result);
        if (best) {
            FcChar8 *path = nullptr;
            FcChar8 *family = nullptr;
            int index = 0;
            if (FcPatternGetString(best, FC_FILE, 0, &path) == FcResultMatch) {
                FcPatternGetInteger(best, FC_INDEX, 0, &index);
                FcPatternGetString(best, FC_FAMILY, 0, &family);
                match.face = open_file(reinterpret_cast<const char *>(path), index,
                                       family ? reinterpret_cast<const char *>(family) : "");
            }
            // Styles the file lacks are made up by FreeType.
            FcBool embolden = FcFalse;
            FcPatternGetBool(best, FC_EMBOLDEN, 0, &embolden);
            int found_weight = FC_WEIGHT_REGULAR;
            FcPatternGetInteger(best, FC_WEIGHT, 0, &found_weight);
            match.embolden = embolden || (weight >= 600 && found_weight < FC_WEIGHT_DEMIBOLD);
            int found_slant = FC_SLANT_ROMAN;
            FcPatternGetInteger(best, FC_SLANT, 0, &found_slant);
            match.oblique = italic && found_slant == FC_SLANT_ROMAN;
            FcPatternDestroy(best);
        }
        FcPatternDestroy(pattern);
    }
    s.matches[key] = match;
    return match;
}

// The measurements of an opened face.
const SourceFaceInfo &source_info(const SourceFace *face) { return face->info; }

// A new FreeType size of the face at the pixel size.
SourceSize *source_size(SourceFace *face, int x_ppem, int y_ppem, bool embolden, bool oblique) {
    FT_Size size = nullptr;
    if (FT_New_Size(face->face, &size) != 0) return nullptr;
    FT_Activate_Size(size);
    if (FT_Set_Pixel_Sizes(face->face, x_ppem, y_ppem) != 0) {
        FT_Done_Size(size);
        return nullptr;
    }
    auto sized = std::make_unique<SourceSize>();
    sized->face = face;
    sized->size = size;
    sized->embolden = embolden;
    sized->oblique = oblique;
    state().sizes.push_back(std::move(sized));
    return state().sizes.back().get();
}

// The advance and outline box of a character at the size.
bool source_glyph_box(SourceSize *size, uint32_t code, SourceGlyphBox *box) {
    if (!load_outline(size, code)) return false;
    FT_Face face = size->face->face;
    FT_GlyphSlot slot = face->glyph;
    box->known = glyph_index(face, code) != 0;
    box->advance = std::max(0, static_cast<int>((slot->advance.x + 32) >> 6));
    box->blank = slot->outline.n_points == 0;
    if (box->blank) return true;
    FT_BBox b;
    FT_Outline_Get_CBox(&slot->outline, &b);
    box->x_min = b.xMin;
    box->y_min = b.yMin;
    box->x_max = b.xMax;
    box->y_max = b.yMax;
    return true;
}

// Renders a character with FreeType's antialiasing (or its monochrome bitmap).
bool source_glyph_render(SourceSize *size, uint32_t code, SourceBitmap *out) {
    if (!load_outline(size, code)) return false;
    FT_GlyphSlot slot = size->face->face->glyph;
    if (slot->outline.n_points == 0 || FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return false;
    const FT_Bitmap &bitmap = slot->bitmap;
    out->width = static_cast<int>(bitmap.width);
    out->rows = static_cast<int>(bitmap.rows);
    out->left = slot->bitmap_left;
    out->top = slot->bitmap_top;
    out->coverage.assign(static_cast<size_t>(out->width) * out->rows, 0);
    for (int row = 0; row < out->rows; ++row) {
        const unsigned char *src = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
        uint8_t *dst = out->coverage.data() + static_cast<size_t>(row) * out->width;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            std::memcpy(dst, src, static_cast<size_t>(out->width));
        } else if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
            for (int col = 0; col < out->width; ++col)
                dst[col] = (src[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
        }
    }
    return true;
}

// Font files FreeType could open.
int source_face_count() {
    int count = 0;
    for (const auto &entry : state().files) count += entry.second ? 1 : 0;
    return count;
}

// The face itself when it has the character, else the first face of its
// fallbacks whose character set holds it and that FreeType opens with it.
SourceFace *source_face_for(SourceFace *face, uint32_t code) {
    if (FT_Get_Char_Index(face->face, code) != 0) return face;
    auto found = face->stand_ins.find(code);
    if (found != face->stand_ins.end()) return found->second;
    SourceFace *stand_in = nullptr;
    FcFontSet *set = fallbacks_of(face);
    for (int i = 0; set && i < set->nfont && !stand_in; ++i) {
        FcCharSet *chars = nullptr;
        if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &chars) != FcResultMatch ||
            !FcCharSetHasChar(chars, code))
            continue;
        FcChar8 *path = nullptr, *family = nullptr;
        int index = 0;
        if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &path) != FcResultMatch) continue;
        FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
        FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family);
        SourceFace *file = open_file(reinterpret_cast<const char *>(path), index,
                                     family ? reinterpret_cast<const char *>(family) : "");
        if (file && FT_Get_Char_Index(file->face, code) != 0) stand_in = file;
    }
    face->stand_ins[code] = stand_in;
    return stand_in;
}

// Shapes with HarfBuzz at the size (one font unit a 64th of a pixel), the
// script and language guessed from the characters.
bool source_shape(SourceSize *size, const uint32_t *codes, int count, bool rtl, std::vector<SourceShaped> *out) {
    SourceFace *face = size->face;
    if (!face->shaper) {
        hb_blob_t *blob = hb_blob_create_from_file(face->info.file.c_str());
        face->shaper = hb_face_create(blob, static_cast<unsigned>(face->index));
        hb_blob_destroy(blob);
    }
    if (!size->shaper) {
        size->shaper = hb_font_create(face->shaper);
        const FT_Size_Metrics &m = size->size->metrics;
        hb_font_set_scale(size->shaper, static_cast<int>(m.x_ppem) * 64, static_cast<int>(m.y_ppem) * 64);
    }
    hb_buffer_t *buffer = hb_buffer_create();
    hb_buffer_add_utf32(buffer, codes, count, 0, count);
    hb_buffer_set_direction(buffer, rtl ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(size->shaper, buffer, nullptr, 0);
    unsigned glyphs = 0;
    const hb_glyph_info_t *info = hb_buffer_get_glyph_infos(buffer, &glyphs);
    const hb_glyph_position_t *position = hb_buffer_get_glyph_positions(buffer, &glyphs);
    out->resize(glyphs);
    for (unsigned i = 0; i < glyphs; ++i) {
        SourceShaped &g = (*out)[i];
        g.glyph = info[i].codepoint;
        g.x_advance = position[i].x_advance;
        g.x_offset = position[i].x_offset;
        g.y_offset = position[i].y_offset;
    }
    hb_buffer_destroy(buffer);
    return true;
}

// FriBidi's levels for a paragraph that starts left to right.
bool source_bidi_levels(const uint32_t *codes, int count, std::vector<uint8_t> *levels) {
    std::vector<FriBidiCharType> types(count);
    std::vector<FriBidiBracketType> brackets(count);
    std::vector<FriBidiLevel> found(count);
    fribidi_get_bidi_types(codes, count, types.data());
    fribidi_get_bracket_types(codes, count, types.data(), brackets.data());
    FriBidiParType direction = FRIBIDI_PAR_LTR;
    FriBidiLevel most = fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), count, &direction,
                                                            found.data());
    if (most == 0 || std::none_of(found.begin(), found.end(), [](FriBidiLevel l) { return l > 0; })) return false;
    levels->assign(found.begin(), found.end());
    return true;
}
