// Any int32 coordinate, size or pen width is safe: nothing is written outside
// the visible area, nothing overflows, and what lies far outside costs nothing
// (these calls would take minutes if they walked their invisible parts; CTest's
// time limit turns such a fault into a failure).
#include <gtest/gtest.h>

#include <climits>

#include "../../platform/gdi/surface.h"
#include "gdi_support.h"

using namespace gditest;

namespace {

const uint32_t kGuard = 0x00ABCDEF;

// A window DC over a 100 x 80 surface whose clip is (20,10)-(80,70) and whose
// DC origin lies at surface (50, 40); every pixel outside the clip is a guard.
struct Guarded {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(100 * 80, kGuard);
    Surface surface;
    HDC dc;
    Guarded() {
        surface.pixels = pixels.data();
        surface.width = 100;
        surface.height = 80;
        surface.stride = 100;
        dc = gdi_create_window_dc(nullptr, &surface, 50, 40, RECT{20, 10, 80, 70});
        RECT all = {-50, -40, 50, 40};
        HBRUSH white = CreateSolidBrush(kWhite);
        FillRect(dc, &all, white);
        DeleteObject(white);
    }
    ~Guarded() { gdi_release_window_dc(dc); }
    // Whether every pixel outside the clip still holds the guard value.
    bool guard_intact() const {
        for (int y = 0; y < 80; y++)
            for (int x = 0; x < 100; x++) {
                bool in_clip = x >= 20 && x < 80 && y >= 10 && y < 70;
                if (!in_clip && pixels[(size_t)y * 100 + x] != kGuard) return false;
            }
        return true;
    }
    // DC point (x, y) as 'P', 'B', '.' or '?'.
    char at(int x, int y) const {
        uint32_t p = pixels[(size_t)(y + 40) * 100 + (x + 50)];
        return p == pixel_from_colorref(kPen) ? 'P' : p == pixel_from_colorref(kBrush) ? 'B' : p == 0x00FFFFFF ? '.' : '?';
    }
};

}  // namespace

TEST(GdiSafety, LinesFromFarAwayDrawOnlyTheirVisiblePart) {
    Guarded g;
    draw(g.dc, Shape::Line, 1, false, {{-2000000000, 5}, {2000000000, 7}});
    EXPECT_EQ(g.at(0, 6), 'P');  // halfway between rows 5 and 7
    EXPECT_EQ(g.at(0, 5), '.');
    draw(g.dc, Shape::Line, 1, false, {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}});
    EXPECT_EQ(g.at(-10, -10), 'P');  // the exact diagonal
    EXPECT_EQ(g.at(-10, -9), '.');
    draw(g.dc, Shape::Line, 1, false, {{INT_MAX, INT_MIN}, {INT_MIN, INT_MAX}});
    draw(g.dc, Shape::Line, 9, false, {{-2000000000, -20}, {2000000000, -20}});
    EXPECT_EQ(g.at(0, -24), 'P');
    EXPECT_EQ(g.at(0, -16), 'P');
    EXPECT_EQ(g.at(0, -15), '.');
    draw(g.dc, Shape::Line, 7, false, {{INT_MIN, 3}, {INT_MAX, INT_MIN}});
    draw(g.dc, Shape::Line, INT_MAX, false, {{0, 0}, {INT_MAX, INT_MAX}});
    EXPECT_EQ(g.at(-30, 29), 'P');  // a pen that wide covers everything visible
    EXPECT_TRUE(g.guard_intact());
}

// The body of a wide line is filled as a parallelogram; with corners billions
// of pixels apart its area no longer fits 64 bits, and working it out
// overflowed before the corners were checked for being near.
TEST(GdiSafety, WideLinesWithFarCornersDoNotOverflowTheirArea) {
    Guarded g;
    const int ends[] = {INT_MIN, -1000000000, 0, 1000000000, INT_MAX};
    for (int width : {3, 1 << 20, 1 << 30, INT_MAX}) {
        for (int x0 : ends)
            for (int y1 : ends) {
                draw(g.dc, Shape::Line, width, false, {{x0, INT_MIN}, {INT_MAX, y1}});
                draw(g.dc, Shape::Line, width, false, {{x0, INT_MAX}, {INT_MIN, y1}});
            }
        // Nearly upright and nearly level: the pen's whole width lies across the length.
        draw(g.dc, Shape::Line, width, false, {{0, INT_MIN}, {1, INT_MAX}});
        draw(g.dc, Shape::Line, width, false, {{INT_MIN, 0}, {INT_MAX, -1}});
    }
    EXPECT_TRUE(g.guard_intact());
}

// A filled triangle outlined in its own colour is drawn in one pass; the rows
// after a corner on the last int row used to be counted from corner + 1 in
// int arithmetic, which overflowed.
TEST(GdiSafety, OutlinedTrianglesWithCornersOnTheLastRow) {
    Guarded g;
    const std::vector<std::vector<POINT>> triangles = {
        {{0, 0}, {30, INT_MAX}, {60, INT_MAX}},
        {{0, INT_MAX}, {30, INT_MAX}, {60, INT_MAX}},
        {{INT_MIN, INT_MIN}, {0, INT_MAX}, {INT_MAX, INT_MAX}},
    };
    for (const std::vector<POINT> &p : triangles) draw(g.dc, Shape::Polygon, 1, kPen, true, kPen, p);
    EXPECT_EQ(g.at(0, 20), 'P');  // the first one runs down from (0, 0)
    EXPECT_TRUE(g.guard_intact());
}

TEST(GdiSafety, HugeEllipsesRectanglesAndPens) {
    Guarded g;
    draw(g.dc, Shape::Ellipse, 1, true, {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}});
    EXPECT_EQ(g.at(0, 0), 'B');  // the visible part is deep inside
    draw(g.dc, Shape::Ellipse, 9, false, {{INT_MIN, -20}, {INT_MAX, 20}});
    EXPECT_EQ(g.at(0, -20), 'P');
    EXPECT_EQ(g.at(0, 0), 'B');
    draw(g.dc, Shape::Ellipse, INT_MAX, true, {{-10, -10}, {10, 10}});
    EXPECT_EQ(g.at(-29, -29), 'P');
    draw(g.dc, Shape::Ellipse, 200, true, {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}});
    draw(g.dc, Shape::Ellipse, 1, false, {{-3, INT_MIN}, {5, INT_MAX}});
    draw(g.dc, Shape::Ellipse, -1, true, {{INT_MIN, 0}, {INT_MAX, 1}});
    draw(g.dc, Shape::Rectangle, 1, true, {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}});
    EXPECT_EQ(g.at(0, 0), 'B');
    draw(g.dc, Shape::Rectangle, INT_MAX, true, {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}});
    EXPECT_EQ(g.at(0, 0), 'B');  // half the pen reaches only halfway in
    draw(g.dc, Shape::Rectangle, INT_MAX, true, {{-100, -100}, {100, 100}});
    EXPECT_EQ(g.at(0, 0), 'P');
    draw(g.dc, Shape::Rectangle, 5, false, {{INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}});
    EXPECT_TRUE(g.guard_intact());
}

TEST(GdiSafety, HugePolygonsAndPixels) {
    Guarded g;
    draw(g.dc, Shape::Polygon, 1, true, {{INT_MIN, INT_MIN}, {INT_MAX, INT_MIN + 1}, {0, INT_MAX}});
    EXPECT_EQ(g.at(0, 0), 'B');
    draw(g.dc, Shape::Polygon, 6, true, {{INT_MIN, 0}, {INT_MAX, 1}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MAX}});
    draw(g.dc, Shape::Polygon, INT_MAX, false, {{1, 1}, {INT_MAX, 1}, {1, INT_MAX}});
    draw(g.dc, Shape::Polygon, 1, true, {{INT_MAX, INT_MAX}, {INT_MAX, INT_MAX}, {INT_MAX, INT_MAX}});
    for (int v : {INT_MIN, -51, 50, INT_MAX}) {
        EXPECT_EQ(SetPixel(g.dc, v, 0, kPen), CLR_INVALID);
        EXPECT_EQ(SetPixel(g.dc, 0, v, kPen), CLR_INVALID);
    }
    RECT r = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    HBRUSH b = CreateSolidBrush(kBrush);
    FillRect(g.dc, &r, b);
    DeleteObject(b);
    EXPECT_TRUE(ScrollDC(g.dc, INT_MAX, INT_MIN, &r, &r, nullptr, nullptr));
    EXPECT_TRUE(ScrollDC(g.dc, -7, 3, nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(BitBlt(g.dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX, g.dc, INT_MAX, INT_MAX, SRCCOPY));
    EXPECT_TRUE(TextOutA(g.dc, INT_MIN, INT_MAX, "far away", 8));
    EXPECT_TRUE(g.guard_intact());
}
