// Glyph rendering: colour, cell placement, background modes, clipping, safe
// coordinates, and a cache that does not grow with repeated use.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "../../platform/gdi/text.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGuard = 0x123456;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;

// A surface inside a larger buffer whose border must never be written.
struct Picture {
    static constexpr int kBorder = 16;
    int width, height;
    std::vector<uint32_t> buffer;
    Surface surface;

    // A w x h surface filled with one colour, framed by guard pixels.
    Picture(int w, int h, uint32_t fill = kWhite) : width(w), height(h) {
        int stride = w + 2 * kBorder;
        buffer.assign(static_cast<size_t>(stride) * (h + 2 * kBorder), kGuard);
        surface.pixels = buffer.data() + kBorder * stride + kBorder;
        surface.width = w;
        surface.height = h;
        surface.stride = stride;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) at(x, y) = fill;
    }
    // The pixel at a surface point.
    uint32_t &at(int x, int y) { return surface.pixels[y * surface.stride + x]; }
    // The whole surface as a clip.
    RECT all() const { return {0, 0, width, height}; }
    // True when every pixel outside the surface still holds the guard value.
    bool guard_intact() const {
        int stride = surface.stride;
        for (int y = 0; y < height + 2 * kBorder; ++y) {
            for (int x = 0; x < stride; ++x) {
                bool inside = x >= kBorder && x < kBorder + width && y >= kBorder && y < kBorder + height;
                if (!inside && buffer[static_cast<size_t>(y) * stride + x] != kGuard) return false;
            }
        }
        return true;
    }
    // The smallest box holding every pixel that differs from fill; empty when none.
    RECT changed(uint32_t fill = kWhite) {
        RECT box = {INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (at(x, y) == fill) continue;
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
        if (box.left == INT_MAX) return {0, 0, 0, 0};
        return box;
    }
    // How many pixels hold a colour.
    int count(uint32_t color) {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) n += at(x, y) == color;
        return n;
    }
};

// A request for a face name at a height.
FontRequest named(int height, const char *face = "KAPLO-font") {
    FontRequest request;
    request.height = height;
    std::strncpy(request.face, face, sizeof request.face - 1);
    return request;
}

// The stock fixed-pitch font.
FontFace *fixed_font() {
    FontRequest request;
    request.stock = ANSI_FIXED_FONT;
    return text_face(request);
}

// The metrics of a face.
TEXTMETRICA metrics_of(FontFace *face) {
    TEXTMETRICA m;
    text_metrics(face, &m);
    return m;
}

// Draws a string over the whole canvas.
void draw(Picture &canvas, FontFace *face, int x, int y, const std::string &text, uint32_t color = kRed,
          bool opaque = false, uint32_t background = kBlue) {
    text_draw(face, &canvas.surface, canvas.all(), x, y, text.data(), static_cast<int>(text.size()),
              color, opaque, background);
}

// Whether a rectangle holds no pixel.
bool empty(const RECT &r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

TEST(TextDraw, GlyphsAreDrawnInTheTextColourInsideTheCell) {
    FontFace *face = text_face(named(-16));
    TEXTMETRICA m = metrics_of(face);
    Picture canvas(80, 40);
    draw(canvas, face, 10, 5, "HH");
    int advance = text_extent(face, "HH", 2).cx;
    RECT ink = canvas.changed();
    ASSERT_FALSE(empty(ink));
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 10 + advance);
    EXPECT_GE(ink.top, 5);
    EXPECT_LE(ink.bottom, 5 + m.tmHeight);
    // "H" stands on the baseline: its lowest ink row is the one just above y + ascent.
    EXPECT_EQ(ink.bottom, 5 + m.tmAscent);
    // Full-coverage stems are exactly the text colour; the rest blends red into white.
    EXPECT_GT(canvas.count(kRed), 10);
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            uint32_t p = canvas.at(x, y);
            ASSERT_EQ(p >> 16, 0xFFu);
            ASSERT_EQ((p >> 8) & 0xFF, p & 0xFF);
        }
    }
    EXPECT_TRUE(canvas.guard_intact());
}

TEST(TextDraw, OpaqueFillsTheCellTransparentLeavesIt) {
    FontFace *face = text_face(named(-16));
    TEXTMETRICA m = metrics_of(face);
    int advance = text_extent(face, "Ab.", 3).cx;

    Picture opaque(80, 40);
    draw(opaque, face, 7, 9, "Ab.", kRed, true, kBlue);
    EXPECT_EQ(opaque.changed().left, 7);
    EXPECT_EQ(opaque.changed().top, 9);
    EXPECT_EQ(opaque.changed().right, 7 + advance);
    EXPECT_EQ(opaque.changed().bottom, 9 + m.tmHeight);
    // Corners of the cell are background, glyph stems text colour over it.
    EXPECT_EQ(opaque.at(7, 9), kBlue);
    EXPECT_EQ(opaque.at(7 + advance - 1, 9 + m.tmHeight - 1), kBlue);
    EXPECT_GT(opaque.count(kRed), 5);
    EXPECT_EQ(opaque.count(kWhite), 80 * 40 - advance * m.tmHeight);

    Picture transparent(80, 40);
    draw(transparent, face, 7, 9, "Ab.", kRed, false, kBlue);
    EXPECT_EQ(transparent.count(kBlue), 0);
    EXPECT_EQ(transparent.at(7, 9), kWhite);
    // The glyphs themselves are the same in both modes.
    EXPECT_EQ(transparent.count(kRed), opaque.count(kRed));
}

TEST(TextDraw, BlendsOverWhatIsAlreadyThere) {
    FontFace *face = text_face(named(-20));
    Picture canvas(60, 40, 0x00FF00);
    draw(canvas, face, 2, 2, "O", kRed);
    bool mixed = false;
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            uint32_t p = canvas.at(x, y);
            ASSERT_EQ(p & 0xFF, 0u);                              // no blue anywhere
            ASSERT_EQ(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) >= 254, true);  // red + green mix
            mixed |= p != kRed && p != 0x00FF00;
        }
    }
    EXPECT_TRUE(mixed);  // antialiased edges
}

// Every pixel of a glyph is its coverage a (read back from white drawn on
// black) weighed into what was there: per channel (s a' + d (256 - a') + 128)
// >> 8 with a' = a + (a >> 7), the top byte cleared; untouched where a = 0.
// Both blenders are held to it, at sizes with and without vector weights.
TEST(TextDraw, EachPixelIsItsCoverageBlendedOverWhatWasThere) {
    for (bool vector : {true, false}) {
        bool was = text_set_vector_blend(vector);
        for (int size : {-9, -12, -40, -200}) {
            FontFace *face = text_face(named(size));
            for (const char *text : {"g", "@", "\x01"}) {
                int width = text_extent(face, text, 1).cx + 20, height = metrics_of(face).tmHeight + 20;
                Picture coverage(width, height, 0), canvas(width, height);
                draw(coverage, face, 10, 10, text, 0xFFFFFF);
                std::vector<uint32_t> before;
                uint32_t seed = 7;
                for (int y = 0; y < height; ++y) {
                    for (int x = 0; x < width; ++x) {
                        seed = seed * 1103515245u + 12345u;
                        canvas.at(x, y) = seed;  // top bytes too
                        before.push_back(seed);
                    }
                }
                const uint32_t color = 0x3C8A1F;
                draw(canvas, face, 10, 10, text, color);
                for (int y = 0; y < height; ++y) {
                    for (int x = 0; x < width; ++x) {
                        uint32_t a = coverage.at(x, y) & 0xFF, d = before[y * width + x], want = d;
                        if (a) {
                            uint32_t w = a + (a >> 7);
                            want = 0;
                            for (int shift : {0, 8, 16}) {
                                uint32_t sc = (color >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
                                want |= ((sc * w + dc * (256 - w) + 128) >> 8) << shift;
                            }
                        }
                        ASSERT_EQ(canvas.at(x, y), want) << "vector " << vector << " size " << size
                                                         << " char " << int(text[0]) << " at " << x << "," << y;
                    }
                }
            }
        }
        text_set_vector_blend(was);
    }
}

// The vector blender draws what the pixel-at-a-time one draws, for seeded
// random text, sizes, colours, backgrounds, positions and clips; clips and
// surface edges cut glyphs at every column, and every guard pixel must stay.
TEST(TextDraw, VectorAndPixelBlendsDrawAlike) {
    const unsigned seed = 20261208;
    std::mt19937 random(seed);
    const int sizes[] = {-7, -12, -13, -17, -30, -64, -260, 20};
    for (int round = 0; round < 300; ++round) {
        FontRequest request = named(sizes[random() % 8]);
        request.weight = random() % 3 == 0 ? FW_BOLD : FW_NORMAL;
        request.italic = random() % 4 == 0;
        FontFace *face = random() % 10 == 0 ? fixed_font() : text_face(request);
        std::string text;
        for (int n = 1 + random() % 12; n > 0; --n) text.push_back(static_cast<char>(1 + random() % 255));
        int width = 1 + random() % 90, height = 1 + random() % 60;
        RECT clip = {static_cast<LONG>(random() % 20) - 5, static_cast<LONG>(random() % 20) - 5,
                     static_cast<LONG>(random() % 100), static_cast<LONG>(random() % 80)};
        int x = static_cast<int>(random() % 120) - 40, y = static_cast<int>(random() % 90) - 40;
        uint32_t color = random(), background = random();
        bool opaque = random() % 4 == 0;
        Picture vector(width, height), pixel(width, height);
        for (size_t i = 0; i < vector.buffer.size(); ++i) {
            uint32_t value = random();
            if (vector.buffer[i] == kWhite) vector.buffer[i] = pixel.buffer[i] = value;
        }
        bool was = text_set_vector_blend(true);
        text_draw(face, &vector.surface, clip, x, y, text.data(), static_cast<int>(text.size()), color,
                  opaque, background);
        text_set_vector_blend(false);
        text_draw(face, &pixel.surface, clip, x, y, text.data(), static_cast<int>(text.size()), color,
                  opaque, background);
        text_set_vector_blend(was);
        ASSERT_TRUE(vector.guard_intact() && pixel.guard_intact()) << "seed " << seed << " round " << round;
        ASSERT_EQ(vector.buffer, pixel.buffer) << "seed " << seed << " round " << round << ": size "
                                               << request.height << " at " << x << "," << y << " on "
                                               << width << "x" << height;
    }
}

TEST(TextDraw, ControlCharactersDrawTheDefaultGlyph) {
    FontFace *face = text_face(named(-16));
    for (const char *text : {"\n", "\t", "\r", "\x01", "\x7F"}) {
        Picture canvas(40, 30);
        draw(canvas, face, 4, 4, text);
        RECT ink = canvas.changed();
        EXPECT_FALSE(empty(ink)) << "byte " << int(text[0]);
        EXPECT_LE(ink.right, 4 + text_extent(face, text, 1).cx);
    }
    // A space has width but no ink.
    Picture canvas(40, 30);
    draw(canvas, face, 4, 4, " ");
    EXPECT_TRUE(empty(canvas.changed()));
}

TEST(TextDraw, ClippedDrawingIsTheUnclippedDrawingCutToTheClip) {
    FontFace *face = text_face(named(-18));
    Picture full(120, 40);
    draw(full, face, 3, 6, "Laser Blast", kRed, true, kBlue);
    for (RECT clip : {RECT{10, 10, 50, 20}, RECT{0, 0, 5, 40}, RECT{60, 0, 200, 100},
                      RECT{-50, -50, 20, 12}, RECT{30, 30, 20, 20}}) {
        Picture cut(120, 40);
        text_draw(face, &cut.surface, clip, 3, 6, "Laser Blast", 11, kRed, true, kBlue);
        for (int y = 0; y < cut.height; ++y) {
            for (int x = 0; x < cut.width; ++x) {
                bool inside = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
                ASSERT_EQ(cut.at(x, y), inside ? full.at(x, y) : kWhite)
                    << "clip " << clip.left << "," << clip.top << " at " << x << "," << y;
            }
        }
        EXPECT_TRUE(cut.guard_intact());
    }
}

TEST(TextDraw, PartlyOffTheSurfaceIsAShiftOfTheWholeDrawing) {
    FontFace *face = text_face(named(-15));
    const std::string text = "Whoa, jiggly!";
    Picture whole(160, 50);
    draw(whole, face, 30, 20, text);
    for (int dx : {-1, -7, -29, -45}) {
        for (int dy : {-3, -15, 0}) {
            Picture shifted(160, 50);
            draw(shifted, face, dx, dy, text);
            for (int y = 0; y < shifted.height; ++y) {
                for (int x = 0; x < shifted.width; ++x) {
                    int sx = x - dx + 30, sy = y - dy + 20;
                    uint32_t expected = sx < whole.width && sy < whole.height ? whole.at(sx, sy) : kWhite;
                    ASSERT_EQ(shifted.at(x, y), expected) << dx << "," << dy << " at " << x << "," << y;
                }
            }
            EXPECT_TRUE(shifted.guard_intact());
        }
    }
}

TEST(TextDraw, ExtremeCoordinatesWriteNothingOutside) {
    FontFace *faces[] = {text_face(named(-12)), text_face(named(-300)), fixed_font()};
    const std::string text = "Laser \n\t Blast\xE9\x80";
    const int coords[] = {INT_MIN, INT_MIN + 1, -1000000000, -200, -3, 0, 5, 1000000000, INT_MAX - 4,
                          INT_MAX};
    for (FontFace *face : faces) {
        for (int x : coords) {
            for (int y : coords) {
                Picture canvas(50, 30);
                draw(canvas, face, x, y, text, kRed, true, kBlue);
                ASSERT_TRUE(canvas.guard_intact()) << x << "," << y;
                if (x < -100000 || x > 100000 || y < -100000 || y > 100000) {
                    ASSERT_TRUE(empty(canvas.changed())) << x << "," << y;
                }
            }
        }
    }
}

// A run starting just right of the clip still counts as reaching it (its
// glyphs may lean left), but its cell and underline lie wholly outside: they
// must fill nothing rather than run backwards through memory.
TEST(TextDraw, RunStartingJustRightOfTheClipFillsNothing) {
    FontRequest underlined = named(-12);
    underlined.underline = true;
    underlined.strike_out = true;
    FontFace *faces[] = {text_face(named(-12)), text_face(underlined), text_face(named(-300)),
                         fixed_font()};
    for (FontFace *face : faces) {
        for (int x = 40; x < 80; ++x) {
            Picture canvas(50, 30);
            RECT clip = {0, 0, 40, 30};
            text_draw(face, &canvas.surface, clip, x, 2, "Laser", 5, kRed, true, kBlue);
            ASSERT_TRUE(canvas.guard_intact()) << x;
            ASSERT_TRUE(empty(canvas.changed())) << x;
        }
    }
}

TEST(TextDraw, MegabyteStringsOutsideOrAcrossTheSurface) {
    FontFace *face = text_face(named(-12));
    std::string text(1 << 20, 'x');
    for (int i = 0; i < static_cast<int>(text.size()); i += 7) text[i] = static_cast<char>(i & 0xFF);
    int length = static_cast<int>(text.size());
    struct Place { int x, y; bool visible; };
    for (Place p : {Place{INT_MAX, 10, false}, Place{INT_MIN, 10, false}, Place{10, INT_MIN, false},
                    Place{10, INT_MAX, false}, Place{-5000, 200, false}, Place{3, 5, true},
                    Place{INT_MIN + 100, 5, false}}) {
        Picture canvas(64, 32);
        text_draw(face, &canvas.surface, canvas.all(), p.x, p.y, text.data(), length, kRed, true, kBlue);
        EXPECT_TRUE(canvas.guard_intact()) << p.x << "," << p.y;
        EXPECT_EQ(!empty(canvas.changed()), p.visible) << p.x << "," << p.y;
        if (p.visible) {
            EXPECT_EQ(canvas.at(63, 6), kBlue);  // the run reaches the right edge
        }
    }
}

TEST(TextDraw, FixedFontCharactersStayInTheirCells) {
    FontFace *face = fixed_font();
    Picture canvas(100, 20);
    draw(canvas, face, 0, 0, "MiWl");
    RECT ink = canvas.changed();
    EXPECT_GE(ink.left, 0);
    EXPECT_LE(ink.right, 32);
    // 'i' is centred in its cell 8..15.
    Picture one(40, 20);
    draw(one, face, 8, 0, "i");
    RECT i = one.changed();
    EXPECT_GE(i.left, 9);
    EXPECT_LE(i.right, 15);
    EXPECT_LE(std::abs((i.left - 8) - (16 - i.right)), 2);
    // Letters and digits, descenders included, stay inside the 13-row cell,
    // so that rows of log lines do not cut each other off.
    Picture letters(520, 40);
    draw(letters, face, 0, 10, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    EXPECT_GE(letters.changed().top, 10);
    EXPECT_LE(letters.changed().bottom, 23);
    EXPECT_LE(letters.changed().right, 62 * 8);
}

TEST(TextDraw, UnderlineAndStrikeOutRunAcrossTheText) {
    FontRequest request = named(-16);
    request.underline = true;
    FontFace *underlined = text_face(request);
    TEXTMETRICA m = metrics_of(underlined);
    EXPECT_NE(m.tmUnderlined, 0);
    Picture canvas(100, 30);
    draw(canvas, underlined, 5, 2, "a b");
    int advance = text_extent(underlined, "a b", 3).cx;
    int row = -1;
    for (int y = 2 + m.tmAscent; y < 2 + m.tmHeight && row < 0; ++y)
        if (canvas.at(5, y) == kRed && canvas.at(5 + advance - 1, y) == kRed) row = y;
    EXPECT_GE(row, 0) << "no underline row below the baseline";
    EXPECT_EQ(canvas.at(4, row), kWhite);
    EXPECT_EQ(canvas.at(5 + advance, row), kWhite);

    request.underline = false;
    request.strike_out = true;
    FontFace *struck = text_face(request);
    Picture strike(100, 30);
    draw(strike, struck, 5, 2, "   ");
    RECT line = strike.changed();
    EXPECT_EQ(line.left, 5);
    EXPECT_EQ(line.right, 5 + text_extent(struck, "   ", 3).cx);
    EXPECT_LT(line.bottom, 2 + m.tmAscent);
}

TEST(TextDraw, ItalicLeansRightWhetherRealOrMadeUp) {
    // Where the face has no italic file, FreeType slants the upright glyphs.
    FontRequest request = named(-40);
    request.italic = true;
    Picture upright(60, 60), italic(60, 60);
    draw(upright, text_face(named(-40)), 10, 5, "l");
    draw(italic, text_face(request), 10, 5, "l");
    // Leftmost ink column of the top and of the bottom row of the stroke.
    auto lean = [](Picture &c) {
        RECT ink = c.changed();
        int top = -1, bottom = -1;
        for (int x = 0; x < c.width && (top < 0 || bottom < 0); ++x) {
            if (top < 0 && c.at(x, ink.top + 1) != kWhite) top = x;
            if (bottom < 0 && c.at(x, ink.bottom - 2) != kWhite) bottom = x;
        }
        return top - bottom;
    };
    EXPECT_LE(std::abs(lean(upright)), 1);
    EXPECT_GE(lean(italic), 4);
}

TEST(TextDraw, NothingHappensWithoutSurfaceTextOrLength) {
    FontFace *face = text_face(named(-12));
    Picture canvas(20, 20);
    text_draw(face, &canvas.surface, canvas.all(), 0, 0, "abc", 0, kRed, true, kBlue);
    text_draw(face, &canvas.surface, canvas.all(), 0, 0, "abc", -1, kRed, true, kBlue);
    text_draw(face, &canvas.surface, canvas.all(), 0, 0, nullptr, 3, kRed, true, kBlue);
    text_draw(nullptr, &canvas.surface, canvas.all(), 0, 0, "abc", 3, kRed, true, kBlue);
    text_draw(face, nullptr, canvas.all(), 0, 0, "abc", 3, kRed, true, kBlue);
    EXPECT_TRUE(empty(canvas.changed()));
}

TEST(TextCache, RepeatedRequestsReuseOneFace) {
    Picture canvas(200, 40);
    const std::string label = "Laser Blast Attack";
    // Warm up every size the package may ask for.
    for (int size = 0; size <= 127; ++size) draw(canvas, text_face(named(-size)), 0, 20, label);
    TextCacheCounts before = text_cache_counts();
    for (int round = 0; round < 20; ++round) {
        for (int size = 0; size <= 127; ++size) {
            FontFace *face = text_face(named(-size));
            draw(canvas, face, round, 20, label);
            text_extent(face, label.data(), static_cast<int>(label.size()));
        }
    }
    TextCacheCounts after = text_cache_counts();
    EXPECT_EQ(after.requests, before.requests);
    EXPECT_EQ(after.faces, before.faces);
    EXPECT_EQ(after.files, before.files);
    EXPECT_EQ(after.glyph_bytes, before.glyph_bytes);
    // Point sizes share faces: at most one face per pixel size.
    EXPECT_LE(after.faces, before.requests);
}

// The same font asked for again is answered from the last request, so a
// request differing in any one field must still get its own face, and a
// stock font its stock face whatever else the request holds.
TEST(TextCache, TheLastRequestAnswersOnlyTheSameFont) {
    FontRequest base = named(-12);
    std::vector<FontRequest> variants(10, base);
    variants[0].height = -13;
    variants[1].width = 5;
    variants[2].weight = FW_BOLD;
    variants[3].italic = true;
    variants[4].underline = true;
    variants[5].strike_out = true;
    variants[6].pitch_and_family = FIXED_PITCH;
    std::strcpy(variants[7].face, "KAPLO-fonts");
    variants[8].stock = ANSI_FIXED_FONT;
    variants[9].stock = SYSTEM_FONT;
    FontFace *base_face = text_face(base);
    std::vector<FontFace *> faces;
    for (const FontRequest &v : variants) faces.push_back(text_face(v));
    for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < variants.size(); ++i) {
            ASSERT_EQ(text_face(base), base_face) << i;
            ASSERT_EQ(text_face(variants[i]), faces[i]) << i;
            ASSERT_NE(faces[i], base_face) << i;
            ASSERT_EQ(text_face(variants[i]), faces[i]) << i;
        }
    }
    // Stock fonts ignore the rest of the request; the fixed font is the stock one.
    EXPECT_EQ(faces[8], fixed_font());
    EXPECT_EQ(text_face(variants[9]), faces[9]);
    FontRequest stock_with_height = variants[8];
    stock_with_height.height = -40;
    EXPECT_EQ(text_face(stock_with_height), faces[8]);
    // Names are compared in full, up to the 32 bytes a request holds.
    FontRequest long_name = base, longer_name = base;
    std::memset(long_name.face, 'a', sizeof long_name.face);
    std::memset(longer_name.face, 'a', sizeof longer_name.face);
    longer_name.face[sizeof longer_name.face - 1] = 'b';
    FontFace *long_face = text_face(long_name);
    EXPECT_NE(text_face(longer_name), long_face);
    EXPECT_EQ(text_face(long_name), long_face);
}

TEST(TextCache, GlyphBitmapsStayWithinTheBudget) {
    FontFace *face = text_face(named(-2048));
    Picture canvas(2600, 2400);
    // Large glyphs of many characters: their bitmaps far exceed the budget together.
    for (int i = 0; i < 3; ++i) {
        for (char c = 'A'; c <= 'P'; ++c) {
            char text[1] = {c};
            text_draw(face, &canvas.surface, canvas.all(), 0, 0, text, 1, kRed, false, kBlue);
        }
        EXPECT_LE(text_cache_counts().glyph_bytes, 32L * 1024 * 1024);
    }
    // Re-rendered after being dropped, a glyph is drawn just the same.
    Picture first(60, 40), again(60, 40);
    FontFace *small = text_face(named(-20));
    draw(first, small, 2, 2, "Q");
    for (char c = 'A'; c <= 'P'; ++c) {
        char text[1] = {c};
        text_draw(face, &canvas.surface, canvas.all(), 0, 0, text, 1, kRed, false, kBlue);
    }
    draw(again, small, 2, 2, "Q");
    EXPECT_EQ(first.buffer, again.buffer);
}
