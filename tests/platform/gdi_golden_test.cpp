// Golden images, one picture per pixel rule, each test named after the fault
// it catches, and the sampler of every primitive family together. Each is
// compared pixel for pixel with tests/data/golden/<name>.png; on a
// difference expected.png, actual.png and diff.png (differing pixels in red)
// go to <test output>/gdi_golden/<name>/. After a deliberate change of the
// pictures, rewrite the expected files with scripts/update-golden.sh (or
// KAPLO_UPDATE_GOLDEN=1) and review them before committing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "../../platform/gdi/text.h"
#include "gdi_support.h"

using namespace gditest;

namespace {

const std::string kGoldenFolder = std::string(KAPLO_TEST_DATA) + "/golden";
const std::string kOutputFolder = std::string(KAPLO_TEST_OUTPUT) + "/gdi_golden";

// A colour of the pictures' palette.
COLORREF hue(int i) {
    static const COLORREF colors[] = {RGB(0xFF, 0x00, 0x00), RGB(0x00, 0x66, 0x33), RGB(0x00, 0x33, 0x99),
                                      RGB(0xCC, 0x99, 0x33), RGB(0x99, 0x66, 0x99), RGB(0x33, 0xCC, 0x99),
                                      RGB(0xFF, 0x66, 0x00), RGB(0x80, 0x80, 0x80)};
    return colors[i & 7];
}

// Draws one shape with a pen of a width (-1: the null pen) and colour and an optional brush.
void shape(HDC dc, Shape s, int width, COLORREF pen_color, bool fill, COLORREF fill_color,
           const std::vector<POINT> &p) {
    draw(dc, s, width, pen_color, fill, fill_color, p);
}

// Compares the bitmap with the golden picture `name` (or rewrites the
// picture when KAPLO_UPDATE_GOLDEN=1), writing expected / actual / diff on a
// difference.
void expect_golden(const std::string &name, const MemoryDc &m) {
    std::vector<COLORREF> actual = m.pixels();
    const std::string golden = kGoldenFolder + "/" + name + ".png";
    const char *update = getenv("KAPLO_UPDATE_GOLDEN");
    if (update && update[0] == '1') {
        std::filesystem::create_directories(kGoldenFolder);
        ASSERT_TRUE(write_png(golden, actual, m.width, m.height));
        printf("rewrote %s\n", golden.c_str());
        return;
    }
    std::vector<COLORREF> expected;
    int w = 0, h = 0;
    ASSERT_TRUE(read_png(golden, &expected, &w, &h))
        << "no golden image " << golden << "; make it with scripts/update-golden.sh and review it";
    ASSERT_EQ(w, m.width);
    ASSERT_EQ(h, m.height);
    std::vector<COLORREF> diff(actual.size(), RGB(255, 255, 255));
    int differing = 0, first_x = -1, first_y = -1;
    for (size_t i = 0; i < actual.size(); i++) {
        if (actual[i] == expected[i]) continue;
        diff[i] = RGB(255, 0, 0);
        if (differing++ == 0) {
            first_x = (int)(i % m.width);
            first_y = (int)(i / m.width);
        }
    }
    const std::string out = kOutputFolder + "/" + name;
    if (differing > 0) {
        std::filesystem::create_directories(out);
        write_png(out + "/expected.png", expected, m.width, m.height);
        write_png(out + "/actual.png", actual, m.width, m.height);
        write_png(out + "/diff.png", diff, m.width, m.height);
    }
    EXPECT_EQ(differing, 0) << name << ": " << differing << " pixels differ, first at (" << first_x << ","
                            << first_y << "); expected / actual / diff in " << out;
}

// The sampler picture, 320 x 200.
void draw_sampler(HDC dc) {
    for (int w = 0; w < 8; w++) {
        int x = 8 + w * 38;
        shape(dc, Shape::Rectangle, w, hue(w), w % 2 == 0, hue(w + 3), {{x, 6}, {x + 28, 28}});
        shape(dc, Shape::Ellipse, w, hue(w + 1), w % 3 != 1, hue(w + 5), {{x, 38}, {x + 29, 62}});
        shape(dc, Shape::Polygon, w, hue(w + 2), w % 2 == 1, hue(w + 6), {{x, 96}, {x + 30, 90}, {x + 12, 70}});
    }
    for (int k = 0; k < 16; k++) {  // a star of lines in every direction, thin and wide
        double a = k * 3.14159265358979 / 8;
        int cx = 60, cy = 150;
        shape(dc, Shape::Line, k % 4 == 0 ? 5 : 1, hue(k), false, 0,
              {{cx, cy}, {cx + (int)std::lround(40 * std::cos(a)), cy + (int)std::lround(40 * std::sin(a))}});
    }
    shape(dc, Shape::Line, 3, hue(3), false, 0, {{130, 120}, {130, 120}});  // a dot
    shape(dc, Shape::Ellipse, 1, hue(4), true, hue(4), {{140, 110}, {143, 113}});
    shape(dc, Shape::Ellipse, 1, hue(5), true, hue(6), {{150, 110}, {152, 125}});
    shape(dc, Shape::Polygon, 1, hue(1), true, hue(2), {{160, 110}, {200, 110}, {170, 140}, {200, 140}});  // self-crossing
    shape(dc, Shape::Rectangle, 9, hue(0), false, 0, {{300, 180}, {340, 220}});   // past the corner
    shape(dc, Shape::Ellipse, 4, hue(2), true, hue(3), {{-20, 170}, {30, 230}});  // past the edges
    shape(dc, Shape::Line, 10, hue(7), false, 0, {{210, 190}, {260, 120}});
    shape(dc, Shape::Line, 8, hue(6), false, 0, {{220, 125}, {290, 135}});
    // BitBlt a corner of the picture onto itself, overlapping, and scroll a strip.
    BitBlt(dc, 250, 150, 60, 40, dc, 0, 0, SRCCOPY);
    RECT strip = {0, 100, 320, 110};
    ScrollDC(dc, 0, -3, &strip, &strip, nullptr, nullptr);
}

// Pen widths of the rule pictures: the null pen, 0 (one pixel), 1 to 7 and 9.
const int kWidths[10] = {-1, 0, 1, 2, 3, 4, 5, 6, 7, 9};

// A box of a rule picture, relative to its column, and its brush: 0 none, 1
// a colour of its own, 2 the pen's colour.
struct Box {
    int l, t, r, b, brush;
};

// One column per pen width of kWidths, 15 pixels apart from x0, each holding
// the boxes in that pen, a colour for each.
void width_columns(HDC dc, Shape s, int x0, const std::vector<Box> &boxes) {
    for (int i = 0; i < 10; i++) {
        const int x = x0 + i * 15;
        for (int k = 0; k < (int)boxes.size(); k++) {
            const Box &box = boxes[(size_t)k];
            const COLORREF pen = hue(i + k), brush = box.brush == 2 ? pen : hue(i + k + 3);
            shape(dc, s, kWidths[i], pen, box.brush != 0, brush, {{x + box.l, box.t}, {x + box.r, box.b}});
        }
    }
}

// A pattern for the copy pictures: stripes, a diagonal and a disc, so that
// any shift or flip shows.
void draw_pattern(HDC dc, int width, int height) {
    for (int x = 0; x < width; x += 8) shape(dc, Shape::Rectangle, -1, 0, true, hue(x / 8), {{x, 0}, {x + 5, height}});
    shape(dc, Shape::Line, 3, hue(2), false, 0, {{0, 0}, {width, height}});
    shape(dc, Shape::Ellipse, 2, hue(0), true, hue(5), {{width / 3, height / 4}, {width / 3 + 30, height / 4 + 30}});
}

// A font of the DejaVu Sans family at a cell height, for the text picture.
HFONT dejavu(int height, int weight, bool underline, bool strike_out) {
    return CreateFontA(height, 0, 0, 0, weight, FALSE, underline, strike_out, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_DONTCARE, "DejaVu Sans");
}

// Whether text would be drawn from the files of Debian's fonts-dejavu-core,
// whose glyphs the text picture holds.
bool dejavu_core_installed() {
    for (int weight : {FW_NORMAL, FW_BOLD}) {
        FontRequest request;
        request.height = 16;
        request.weight = weight;
        strcpy(request.face, "DejaVu Sans");
        FontFace *face = text_face(request);
        const std::string file = std::filesystem::path(text_face_file(face)).filename().string();
        if (file != (weight == FW_BOLD ? "DejaVuSans-Bold.ttf" : "DejaVuSans.ttf")) return false;
    }
    return true;
}

// Writes text with a font, colours and background mode, as the package does.
void text(HDC dc, HFONT font, int x, int y, const char *s, COLORREF color, bool opaque, COLORREF background) {
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, color);
    SetBkMode(dc, opaque ? OPAQUE : TRANSPARENT);
    SetBkColor(dc, background);
    TextOutA(dc, x, y, s, (int)strlen(s));
    SelectObject(dc, old);
}

}  // namespace

TEST(GdiGolden, SamplerMatchesItsGoldenImage) {
    MemoryDc m(320, 200);
    draw_sampler(m.dc);
    expect_golden("gdi_sampler", m);
}

// Catches: a right or bottom edge drawn, a null-pen brush not one pixel
// smaller, a wide pen off centre, reversed corners not normalised.
TEST(GdiGolden, RectanglesKeepRightAndBottomEdgesOutAndCentreWidePens) {
    MemoryDc m(160, 100);
    width_columns(m.dc, Shape::Rectangle, 6,
                  {{0, 6, 11, 20, 1}, {0, 28, 11, 40, 0}, {0, 48, 11, 58, 2}, {11, 76, 0, 66, 1},  // reversed
                   {0, 84, 1, 94, 1}, {4, 84, 6, 94, 1}, {9, 84, 12, 94, 2}});                      // 1 to 3 wide
    expect_golden("rectangles", m);
}

// Catches: an ellipse not inscribed in its box, small and flat boxes not
// drawn as rectangles, a wide pen's band uneven or its brush spilling out.
TEST(GdiGolden, EllipsesStayInscribedAtEveryPenWidth) {
    MemoryDc m(160, 100);
    width_columns(m.dc, Shape::Ellipse, 5, {{0, 5, 13, 20, 1}, {0, 26, 12, 38, 0}, {2, 62, 5, 95, 2}});
    for (int i = 0; i < 10; i++)  // boxes of 1 x 1 to 10 x 10
        shape(m.dc, Shape::Ellipse, 1, hue(i + 1), true, hue(i + 4), {{5 + i * 15, 46}, {6 + i * 16, 47 + i}});
    expect_golden("ellipses", m);
}

// Catches: a fill that is not top-left (right and bottom edges covered), the
// alternate rule broken on self-crossing or concave outlines, the fast
// triangle path differing from fill plus outline, wide outlines off centre.
TEST(GdiGolden, PolygonsFillTopLeftByTheAlternateRule) {
    MemoryDc m(160, 100);
    for (int i = 0; i < 10; i++) {
        const int x = 4 + i * 15, w = kWidths[i];
        shape(m.dc, Shape::Polygon, w, hue(i), true, hue(i + 3), {{x, 4}, {x + 12, 8}, {x + 3, 22}});
        shape(m.dc, Shape::Polygon, 1, hue(i), true, hue(i), {{x + 12, 26}, {x, 30 + i}, {x + 6, 44}});
        shape(m.dc, Shape::Polygon, w, hue(i + 1), i % 2 == 0, hue(i + 5), {{x, 50}, {x + 12, 50}, {x, 62}, {x + 12, 62}});
    }
    // A five-pointed star (its middle left empty by the alternate rule), a
    // concave arrow, a collinear outline and a polygon of many corners.
    shape(m.dc, Shape::Polygon, 1, hue(0), true, hue(2), {{20, 96}, {30, 66}, {40, 96}, {14, 78}, {46, 78}});
    shape(m.dc, Shape::Polygon, 2, hue(1), true, hue(3), {{56, 80}, {76, 68}, {70, 80}, {76, 92}});
    shape(m.dc, Shape::Polygon, 1, hue(6), true, hue(4), {{86, 70}, {96, 80}, {106, 90}});
    std::vector<POINT> round;
    for (int k = 0; k < 24; k++) {
        double a = k * 3.14159265358979 / 12;
        round.push_back({130 + (int)std::lround(24 * std::cos(a)), 81 + (int)std::lround(15 * std::sin(a))});
    }
    shape(m.dc, Shape::Polygon, 1, hue(7), true, hue(5), round);
    expect_golden("polygons", m);
}

// Catches: an end pixel drawn, a tie going to the larger minor coordinate,
// a line and its reverse covering different pixels, a lone pixel for a
// line of no length.
TEST(GdiGolden, LinesLeaveOutTheirEndPixelAndTiesGoToTheSmallerMinor) {
    MemoryDc m(160, 100);
    for (int k = 0; k < 32; k++) {  // every direction, each from the middle outwards
        double a = k * 3.14159265358979 / 16;
        shape(m.dc, Shape::Line, 1, hue(k), false, 0,
              {{45, 50}, {45 + (int)std::lround(40 * std::cos(a)), 50 + (int)std::lround(40 * std::sin(a))}});
    }
    for (int i = 0; i < 8; i++) {  // ties (slopes 1/2, 2/1) both ways, short lines, a line of no length
        const int x = 100 + i * 7;
        shape(m.dc, Shape::Line, 1, hue(i), false, 0, {{x, 4}, {x + 6, 4 + (i % 4)}});
        shape(m.dc, Shape::Line, 1, hue(i + 2), false, 0, {{x + 6, 14 + (i % 4)}, {x, 14}});
        shape(m.dc, Shape::Line, 1, hue(i + 4), false, 0, {{x, 24}, {x + (i % 4), 24 + 6}});
        shape(m.dc, Shape::Line, 1, hue(i + 6), false, 0, {{x + 2, 40}, {x + 2 + i % 3, 40 + i % 2}});
    }
    expect_golden("lines", m);
}

// Catches: a wide line without its round caps, a body off centre or uneven
// across directions, a wide line of no length not a disc.
TEST(GdiGolden, WideLinesAreRoundCappedAndCentred) {
    MemoryDc m(160, 100);
    for (int i = 0; i < 12; i++) {
        double a = i * 3.14159265358979 / 12;
        const int width = 2 + i, cx = 40, cy = 50;
        shape(m.dc, Shape::Line, width, hue(i), false, 0,
              {{cx + (int)std::lround(12 * std::cos(a)), cy + (int)std::lround(12 * std::sin(a))},
               {cx + (int)std::lround(38 * std::cos(a)), cy + (int)std::lround(38 * std::sin(a))}});
    }
    for (int i = 0; i < 6; i++) {
        const int x = 96 + i * 11, width = 2 + 2 * i;
        shape(m.dc, Shape::Line, width, hue(i + 3), false, 0, {{x, 10}, {x, 10}});  // a dot
        shape(m.dc, Shape::Line, width, hue(i + 5), false, 0, {{x, 30}, {x + 4, 60}});
        shape(m.dc, Shape::Line, width, hue(i + 1), false, 0, {{x - 2, 90}, {x + 6, 72}});
    }
    expect_golden("wide_lines", m);
}

// Catches: shapes past an edge wrapping round or drawn on the wrong rows,
// far coordinates overflowing, the clip applied to one part of a shape but
// not another (a wide band, a brush inside, a cap).
TEST(GdiGolden, ShapesPastTheEdgesAreClippedNotWrapped) {
    MemoryDc m(160, 100);
    shape(m.dc, Shape::Rectangle, 5, hue(0), true, hue(3), {{-20, -10}, {30, 25}});
    shape(m.dc, Shape::Ellipse, 3, hue(1), true, hue(4), {{130, -15}, {175, 30}});
    shape(m.dc, Shape::Polygon, 2, hue(2), true, hue(5), {{-30, 90}, {40, 70}, {10, 130}});
    shape(m.dc, Shape::Ellipse, 7, hue(6), false, 0, {{120, 70}, {190, 130}});
    shape(m.dc, Shape::Line, 9, hue(7), false, 0, {{-40, 50}, {200, 40}});
    shape(m.dc, Shape::Rectangle, 1, hue(3), true, hue(0), {{-1000000000, 56}, {1000000000, 60}});
    shape(m.dc, Shape::Line, 1, hue(4), false, 0, {{-1073741824, -1073741824}, {1073741824, 1073741824}});
    shape(m.dc, Shape::Line, 6, hue(5), false, 0, {{80, -2000000000}, {90, 2000000000}});
    shape(m.dc, Shape::Ellipse, 2, hue(2), false, 0, {{-100000, 20}, {100160, 200000}});
    shape(m.dc, Shape::Ellipse, 300, hue(1), true, hue(6), {{200, 60}, {700, 500}});  // a very wide band
    shape(m.dc, Shape::Polygon, 1, hue(0), true, hue(7), {{60, -1500000000}, {75, 95}, {66, 95}});
    expect_golden("clip_edges", m);
}

// Catches: an overlapping copy read after it was written, a copy whose
// source runs past its bitmap writing there, a copy between two bitmaps
// taken from the wrong rows.
TEST(GdiGolden, BitBltCopiesOverlappingBlocksAsIfThroughABuffer) {
    MemoryDc m(160, 100);
    draw_pattern(m.dc, 160, 100);
    BitBlt(m.dc, 10, 6, 50, 30, m.dc, 0, 0, SRCCOPY);    // down and right, overlapping
    BitBlt(m.dc, 90, 40, 50, 30, m.dc, 100, 46, SRCCOPY);  // up and left, overlapping
    BitBlt(m.dc, 120, 0, 60, 30, m.dc, 130, 80, SRCCOPY);  // source past the bitmap
    MemoryDc other(40, 30);
    draw_pattern(other.dc, 40, 30);
    BitBlt(m.dc, -10, 70, 40, 30, other.dc, 0, 0, SRCCOPY);  // from another bitmap, past the left edge
    expect_golden("bitblt", m);
}

// Catches: a scroll moving pixels outside the clip, the uncovered part
// changed, a scroll one row or column out in any of the four directions.
TEST(GdiGolden, ScrollDCMovesTheStripAndLeavesTheUncoveredRows) {
    MemoryDc m(160, 100);
    draw_pattern(m.dc, 160, 100);
    RECT top = {0, 0, 160, 20}, left = {0, 24, 40, 100}, box = {50, 30, 110, 70}, clip = {60, 36, 100, 64};
    RECT right = {120, 24, 160, 100};
    ScrollDC(m.dc, 0, -4, &top, &top, nullptr, nullptr);
    ScrollDC(m.dc, 0, 5, &left, &left, nullptr, nullptr);
    ScrollDC(m.dc, -6, 3, &box, &clip, nullptr, nullptr);
    ScrollDC(m.dc, 7, 0, &right, &right, nullptr, nullptr);
    expect_golden("scroll_dc", m);
}

// Catches: glyphs blended off the clip or past a bitmap's edge, opaque cells
// not filled, underline or strike-out missing, text drawn out of order with
// the shapes batched around it.
TEST(GdiGolden, TextIsClippedBlendedAndOpaqueCellsFilled) {
    if (!dejavu_core_installed()) GTEST_SKIP() << "the text picture holds glyphs of Debian's fonts-dejavu-core";
    MemoryDc m(160, 100);
    HFONT plain = dejavu(16, FW_NORMAL, false, false), bold = dejavu(20, FW_BOLD, false, false);
    HFONT lined = dejavu(14, FW_NORMAL, true, true);
    shape(m.dc, Shape::Rectangle, -1, 0, true, hue(5), {{0, 40}, {160, 64}});
    text(m.dc, plain, 4, 2, "Laser Blast 42", hue(0), false, 0);
    text(m.dc, bold, -6, 20, "Shields", hue(2), true, RGB(255, 255, 0));
    text(m.dc, plain, 100, 44, "edge of it", hue(7), false, 0);   // past the right edge
    text(m.dc, lined, 10, 44, "under & out", hue(1), true, hue(3));
    text(m.dc, bold, 30, -8, "top", hue(6), false, 0);            // past the top
    text(m.dc, plain, 40, 90, "bottom", hue(4), true, hue(0));   // past the bottom
    shape(m.dc, Shape::Line, 3, hue(0), false, 0, {{0, 70}, {160, 80}});
    text(m.dc, plain, 20, 68, "over a line", hue(2), false, 0);
    DeleteObject(plain);
    DeleteObject(bold);
    DeleteObject(lined);
    expect_golden("text", m);
}

// Catches: a wide solid rectangle hiding what lies beside it, or the shapes
// after it, when a batch leaves out what it paints over.
TEST(GdiGolden, ShapesUnderAWideSolidRectangleStillShowAroundIt) {
    MemoryDc m(320, 120);
    for (int i = 0; i < 12; i++) {
        shape(m.dc, Shape::Ellipse, 2, hue(i), true, hue(i + 3), {{i * 26, 10 + (i % 3) * 8}, {i * 26 + 40, 70}});
        shape(m.dc, Shape::Line, 4, hue(i + 1), false, 0, {{i * 26, 0}, {i * 26 + 30, 120}});
    }
    shape(m.dc, Shape::Rectangle, -1, 0, true, hue(7), {{10, 30}, {300, 50}});     // wide, null pen
    shape(m.dc, Shape::Rectangle, 1, hue(6), true, hue(6), {{0, 60}, {320, 66}});    // whole rows, pen = brush
    shape(m.dc, Shape::Rectangle, 1, hue(0), true, hue(1), {{40, 80}, {300, 100}});  // outlined: hides nothing
    for (int i = 0; i < 6; i++)
        shape(m.dc, Shape::Polygon, 1, hue(i), true, hue(i + 2), {{i * 50 + 5, 40}, {i * 50 + 40, 58}, {i * 50 + 15, 110}});
    expect_golden("batch_cover", m);
}
