// The font mapper and text metrics: which face a request gets, heights as
// CreateFontA defines them, the fixed font's cell, control characters.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <cstring>
#include <string>

#include "../../platform/gdi/text.h"

namespace {

// A request for a face name at a height, as CreateFontA would record it.
FontRequest named(const char *face, int height, int weight = FW_NORMAL, bool italic = false) {
    FontRequest request;
    request.height = height;
    request.weight = weight;
    request.italic = italic;
    std::strncpy(request.face, face, sizeof request.face - 1);
    return request;
}

// A request for a stock font.
FontRequest stock(int index) {
    FontRequest request;
    request.stock = index;
    return request;
}

// The metrics of a face, over a buffer full of garbage.
TEXTMETRICA metrics_of(FontFace *face) {
    TEXTMETRICA m;
    std::memset(&m, 0xCD, sizeof m);
    text_metrics(face, &m);
    return m;
}

// The extent's width of a string.
int width_of(FontFace *face, const std::string &text) {
    return text_extent(face, text.data(), static_cast<int>(text.size())).cx;
}

// Whether a font file is installed.
bool file_exists(const char *path) {
    struct stat info;
    return stat(path, &info) == 0;
}

const char *kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char *kDejaVuMono = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

}  // namespace

TEST(TextMapper, UnknownFaceResolvesToTheDefaultSansFace) {
    FontFace *face = text_face(named("KAPLO-font", -12));
    ASSERT_NE(face, nullptr);
    ASSERT_STRNE(text_face_file(face), "");
    if (file_exists(kDejaVuSans)) {
        EXPECT_EQ(std::string(text_face_family(face)).rfind("DejaVu", 0), 0u)
            << "picked " << text_face_family(face);
    }
    // Same request, same cached face.
    EXPECT_EQ(text_face(named("KAPLO-font", -12)), face);
}

TEST(TextMapper, FixedFontIsAMonospaceFace) {
    FontFace *face = text_face(stock(ANSI_FIXED_FONT));
    if (file_exists(kDejaVuMono)) {
        EXPECT_STREQ(text_face_family(face), "DejaVu Sans Mono");
    }
    EXPECT_EQ(width_of(face, "i"), width_of(face, "W"));
}

TEST(TextMapper, BoldAndItalicPickStyledFaces) {
    FontFace *plain = text_face(named("KAPLO-font", -20));
    FontFace *bold = text_face(named("KAPLO-font", -20, FW_BOLD));
    FontFace *italic = text_face(named("KAPLO-font", -20, FW_NORMAL, true));
    EXPECT_EQ(metrics_of(bold).tmWeight, FW_BOLD);
    EXPECT_EQ(metrics_of(plain).tmWeight, FW_NORMAL);
    EXPECT_NE(metrics_of(italic).tmItalic, 0);
    EXPECT_EQ(metrics_of(plain).tmItalic, 0);
    // Bold strokes are wider, so is the text.
    EXPECT_GT(width_of(bold, "Laser Blast Attack"), width_of(plain, "Laser Blast Attack"));
    if (file_exists("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf")) {
        EXPECT_NE(std::string(text_face_file(bold)).find("Bold"), std::string::npos);
    }
}

TEST(TextMetrics, NegativeHeightIsTheEmHeight) {
    for (int em : {1, 5, 8, 10, 12, 16, 24, 37, 72, 127, 500}) {
        TEXTMETRICA m = metrics_of(text_face(named("KAPLO-font", -em)));
        SCOPED_TRACE(em);
        EXPECT_EQ(m.tmHeight - m.tmInternalLeading, em);
        EXPECT_EQ(m.tmAscent + m.tmDescent, m.tmHeight);
        EXPECT_GE(m.tmInternalLeading, 0);
        EXPECT_EQ(m.tmExternalLeading, 0);
        EXPECT_GT(m.tmAveCharWidth, 0);
        EXPECT_GE(m.tmMaxCharWidth, m.tmAveCharWidth);
        if (em >= 8) {
            EXPECT_GT(m.tmAscent, m.tmDescent);
        }
    }
    // Taller fonts are taller and wider.
    FontFace *small = text_face(named("KAPLO-font", -10));
    FontFace *large = text_face(named("KAPLO-font", -30));
    EXPECT_GT(width_of(large, "Laser"), 2 * width_of(small, "Laser"));
}

TEST(TextMetrics, PositiveHeightIsTheCellHeight) {
    for (int cell = 1; cell <= 120; ++cell) {
        TEXTMETRICA m = metrics_of(text_face(named("KAPLO-font", cell)));
        SCOPED_TRACE(cell);
        EXPECT_EQ(m.tmHeight, cell);
        EXPECT_EQ(m.tmAscent + m.tmDescent, cell);
        EXPECT_GE(m.tmDescent, 0);
        EXPECT_LE(m.tmInternalLeading, cell);
    }
}

TEST(TextMetrics, ZeroHeightIsTheDefaultSixteenPixelCell) {
    TEXTMETRICA zero = metrics_of(text_face(named("KAPLO-font", 0)));
    TEXTMETRICA sixteen = metrics_of(text_face(named("KAPLO-font", 16)));
    EXPECT_EQ(zero.tmHeight, 16);
    EXPECT_EQ(zero.tmAscent, sixteen.tmAscent);
    EXPECT_EQ(zero.tmAveCharWidth, sixteen.tmAveCharWidth);
}

TEST(TextMetrics, ExtremeHeightsAndWidthsAreServedAtABoundedSize) {
    for (int height : {INT_MIN, INT_MIN + 1, -100000, 100000, INT_MAX}) {
        SCOPED_TRACE(height);
        FontFace *face = text_face(named("KAPLO-font", height));
        TEXTMETRICA m = metrics_of(face);
        EXPECT_GT(m.tmHeight, 0);
        EXPECT_LE(m.tmHeight, 4096);
        EXPECT_GT(width_of(face, "A"), 0);
    }
    FontRequest squeezed = named("KAPLO-font", -20);
    squeezed.width = INT_MIN;
    EXPECT_GT(metrics_of(text_face(squeezed)).tmHeight, 0);
    // Weights outside 0..1000 are taken as the nearest end of that range.
    EXPECT_EQ(metrics_of(text_face(named("KAPLO-font", -20, INT_MAX))).tmWeight, 1000);
    EXPECT_EQ(metrics_of(text_face(named("KAPLO-font", -20, INT_MIN))).tmWeight, FW_NORMAL);
}

TEST(TextMetrics, WidthScalesTheAverageCharacter) {
    FontRequest narrow = named("KAPLO-font", -20);
    narrow.width = 4;
    FontRequest wide = named("KAPLO-font", -20);
    wide.width = 20;
    TEXTMETRICA n = metrics_of(text_face(narrow));
    TEXTMETRICA w = metrics_of(text_face(wide));
    EXPECT_NEAR(n.tmAveCharWidth, 4, 1);
    EXPECT_NEAR(w.tmAveCharWidth, 20, 1);
    EXPECT_EQ(n.tmHeight, w.tmHeight);
    EXPECT_GT(width_of(text_face(wide), "Laser"), 3 * width_of(text_face(narrow), "Laser"));
}

TEST(TextMetrics, FixedFontHasWindowsCell) {
    for (int index : {ANSI_FIXED_FONT, OEM_FIXED_FONT}) {
        FontFace *face = text_face(stock(index));
        TEXTMETRICA m = metrics_of(face);
        EXPECT_EQ(m.tmHeight, 13);
        EXPECT_EQ(m.tmAscent, 11);
        EXPECT_EQ(m.tmDescent, 2);
        EXPECT_EQ(m.tmInternalLeading, 0);
        EXPECT_EQ(m.tmExternalLeading, 0);
        EXPECT_EQ(m.tmAveCharWidth, 8);
        EXPECT_EQ(m.tmMaxCharWidth, 8);
        // Fixed pitch: the low bit of tmPitchAndFamily is clear.
        EXPECT_EQ(m.tmPitchAndFamily & 1, 0);
        // Every byte, control characters included, takes one 8-pixel cell.
        for (int byte = 0; byte < 256; ++byte) {
            char c = static_cast<char>(byte);
            SIZE size = text_extent(face, &c, 1);
            EXPECT_EQ(size.cx, 8) << "byte " << byte;
            EXPECT_EQ(size.cy, 13);
        }
    }
}

TEST(TextMetrics, SystemFontIsProportionalAndSixteenHigh) {
    FontFace *face = text_face(stock(SYSTEM_FONT));
    TEXTMETRICA m = metrics_of(face);
    EXPECT_EQ(m.tmHeight, 16);
    EXPECT_EQ(m.tmPitchAndFamily & 1, 1);
    EXPECT_LT(width_of(face, "iiii"), width_of(face, "WWWW"));
}

TEST(TextExtent, ControlCharactersAreMeasuredAsTheDefaultGlyph) {
    FontFace *face = text_face(named("KAPLO-font", -12));
    TEXTMETRICA m = metrics_of(face);
    // Control bytes, DEL, and the bytes Windows-1252 leaves undefined.
    const int bytes[] = {0x00, 0x01, '\t', '\n', '\r', 0x1B, 0x1F, 0x7F, 0x81, 0x8D, 0x8F, 0x90, 0x9D};
    for (int byte : bytes) {
        char c = static_cast<char>(byte);
        SIZE size = text_extent(face, &c, 1);
        EXPECT_GT(size.cx, 0) << "byte " << byte;
        EXPECT_EQ(size.cy, m.tmHeight);
    }
    // "A\nB" is one line: the newline is just a character in the row.
    SIZE line = text_extent(face, "A\nB", 3);
    EXPECT_EQ(line.cy, m.tmHeight);
    EXPECT_EQ(line.cx, width_of(face, "A") + width_of(face, "\n") + width_of(face, "B"));
    EXPECT_EQ(width_of(face, "\n"), width_of(face, "\r"));
}

TEST(TextExtent, WidthIsTheSumOfAdvances) {
    FontFace *face = text_face(named("KAPLO-font", -14));
    std::string text = "Laser Blast Attack";
    int sum = 0;
    for (char c : text) sum += width_of(face, std::string(1, c));
    EXPECT_EQ(width_of(face, text), sum);
    // Latin-1 and Windows-1252 letters have real glyphs of their own width.
    EXPECT_GT(width_of(face, "\xE9"), 0);     // e acute
    EXPECT_GT(width_of(face, "\x80"), 0);     // euro sign
    EXPECT_NE(width_of(face, "\x97"), width_of(face, "\x81"));  // em dash vs undefined
    // Nothing measured: no width, still one line high.
    SIZE empty = text_extent(face, text.data(), 0);
    EXPECT_EQ(empty.cx, 0);
    EXPECT_EQ(empty.cy, metrics_of(face).tmHeight);
    EXPECT_EQ(text_extent(face, text.data(), -5).cx, 0);
    EXPECT_EQ(text_extent(face, nullptr, 5).cx, 0);
}

TEST(TextExtent, HugeRunSaturatesInsteadOfOverflowing) {
    FontFace *face = text_face(named("KAPLO-font", -2048));
    std::string text(4 * 1024 * 1024, 'W');
    SIZE size = text_extent(face, text.data(), static_cast<int>(text.size()));
    EXPECT_EQ(size.cx, INT32_MAX);
}

// Metrics and extents that GDI under Wine 8 reports for the same DejaVu Sans
// file (CreateFontA with face "DejaVu Sans", GetTextMetricsA and
// GetTextExtentPointA in a mingw-w64 program on a memory DC).
TEST(TextMetrics, DejaVuSansMatchesGdiUnderWine) {
    if (!file_exists(kDejaVuSans)) GTEST_SKIP() << "DejaVu Sans is not installed";
    struct Reference {
        int height, cell, ascent, descent, max_width, label, newline;
    };
    const Reference references[] = {
        {-12, 14, 11, 3, 34, 108, 7},   {-16, 19, 15, 4, 45, 144, 10},
        {16, 16, 13, 3, 39, 127, 8},    {0, 16, 13, 3, 39, 127, 8},
        {-40, 46, 37, 9, 113, 364, 24}, {40, 40, 32, 8, 96, 308, 20},
    };
    for (const Reference &r : references) {
        SCOPED_TRACE(r.height);
        FontFace *face = text_face(named("DejaVu Sans", r.height));
        TEXTMETRICA m = metrics_of(face);
        EXPECT_EQ(m.tmHeight, r.cell);
        EXPECT_EQ(m.tmAscent, r.ascent);
        EXPECT_EQ(m.tmDescent, r.descent);
        EXPECT_EQ(m.tmMaxCharWidth, r.max_width);
        EXPECT_EQ(width_of(face, "Laser Blast Attack"), r.label);
        EXPECT_EQ(width_of(face, "\n"), r.newline);
        EXPECT_EQ(width_of(face, "A\nB"), width_of(face, "A") + r.newline + width_of(face, "B"));
    }
}
