// Golden images: a sampler of every primitive family (pens 0 to 7 wide,
// filled and outlined, all directions, clipping at the edges, BitBlt and
// ScrollDC) compared pixel for pixel with tests/data/golden/. On a difference
// expected.png, actual.png and diff.png (differing pixels in red) go to the
// test output folder. After a deliberate change of the pictures, rewrite the
// expected files with KAPLO_UPDATE_GOLDEN=1 and review them before committing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "gdi_support.h"

using namespace gditest;

namespace {

const std::string kGoldenFolder = std::string(KAPLO_TEST_DATA) + "/golden";
const std::string kOutputFolder = std::string(KAPLO_TEST_OUTPUT) + "/gdi_golden";

// A colour of the sampler's palette.
COLORREF hue(int i) {
    static const COLORREF colors[] = {RGB(0xFF, 0x00, 0x00), RGB(0x00, 0x66, 0x33), RGB(0x00, 0x33, 0x99),
                                      RGB(0xCC, 0x99, 0x33), RGB(0x99, 0x66, 0x99), RGB(0x33, 0xCC, 0x99),
                                      RGB(0xFF, 0x66, 0x00), RGB(0x80, 0x80, 0x80)};
    return colors[i & 7];
}

// Draws one shape with a pen of a width and colour and an optional brush.
void shape(HDC dc, Shape s, int width, COLORREF pen_color, bool fill, COLORREF fill_color,
           const std::vector<POINT> &p) {
    draw(dc, s, width, pen_color, fill, fill_color, p);
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

}  // namespace

TEST(GdiGolden, SamplerMatchesItsGoldenImage) {
    MemoryDc m(320, 200);
    draw_sampler(m.dc);
    std::vector<COLORREF> actual = m.pixels();
    const std::string golden = kGoldenFolder + "/gdi_sampler.png";
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
        << "no golden image " << golden << "; make it with KAPLO_UPDATE_GOLDEN=1 and review it";
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
    if (differing > 0) {
        std::filesystem::create_directories(kOutputFolder);
        write_png(kOutputFolder + "/expected.png", expected, m.width, m.height);
        write_png(kOutputFolder + "/actual.png", actual, m.width, m.height);
        write_png(kOutputFolder + "/diff.png", diff, m.width, m.height);
    }
    EXPECT_EQ(differing, 0) << "first at (" << first_x << "," << first_y << "); expected / actual / diff in "
                            << kOutputFolder;
}
