// The rasteriser's shortcuts compared with the plain path they replace, on
// seeded random shapes: the same pixels whatever the clip, and the same
// pixels when a shape is drawn in two row bands (as a batch draws it around
// a rectangle that hides part of it). The seed is printed (KAPLO_SEED overrides it); a failure names the
// case, its arguments and its first wrong pixel.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "../../platform/gdi/raster.h"

namespace {

constexpr int kSide = 64;    // the surface is kSide x kSide pixels
constexpr int kCases = 3000;
constexpr uint32_t kBackground = 0x00FFFFFF, kInk = 0x00123456;

unsigned seed() {
    const char *env = getenv("KAPLO_SEED");
    unsigned s = env ? (unsigned)strtoul(env, nullptr, 10) : 20261208u;
    printf("random raster cases: seed %u (set KAPLO_SEED to repeat another)\n", s);
    return s;
}

// A kSide x kSide surface and canvases on it.
struct Surface {
    std::vector<uint32_t> pixels = std::vector<uint32_t>((size_t)kSide * kSide, kBackground);

    void clear() { std::fill(pixels.begin(), pixels.end(), kBackground); }

    // The whole surface, DC (0, 0) at its corner.
    Canvas whole() {
        Canvas c;
        c.pixels = pixels.data();
        c.stride = kSide;
        c.x1 = kSide;
        c.y1 = kSide;
        return c;
    }
};

// The triangle drawn the plain way: the fill, then each side as a line.
void plain_triangle(const Canvas &c, const PixelPoint *p, uint32_t color) {
    FixPoint fix[3];
    for (int i = 0; i < 3; i++) fix[i] = {(int64_t)p[i].x * kFixOne, (int64_t)p[i].y * kFixOne};
    raster_polygon_fill(c, fix, 3, color);
    for (int i = 0; i < 3; i++) raster_line(c, p[i].x, p[i].y, p[(i + 1) % 3].x, p[(i + 1) % 3].y, color);
}

// The first pixel where two surfaces differ, as text; empty when none.
std::string first_difference(const Surface &want, const Surface &got) {
    for (int y = 0; y < kSide; y++)
        for (int x = 0; x < kSide; x++) {
            uint32_t w = want.pixels[(size_t)y * kSide + x], g = got.pixels[(size_t)y * kSide + x];
            if (w != g) {
                std::string where = "pixel (" + std::to_string(x) + "," + std::to_string(y) + ") ";
                return where + (w == kInk ? "missing" : "extra");
            }
        }
    return "";
}

std::string points_text(const PixelPoint *p, int n) {
    std::string s;
    for (int i = 0; i < n; i++) s += "(" + std::to_string(p[i].x) + "," + std::to_string(p[i].y) + ")";
    return s;
}

// A random triangle: mostly around the surface, some flat, collinear or with
// repeated corners, some with corners far outside (coordinates near the
// int32 limits go through the wide arithmetic, those a few million away step
// in fixed point close to its precision limit).
void random_triangle(std::mt19937 &rng, PixelPoint *p) {
    auto near = [&]() { return (int32_t)(rng() % 100) - 18; };
    for (int i = 0; i < 3; i++) p[i] = {near(), near()};
    switch (rng() % 8) {
    case 0: p[2].y = p[1].y; break;                                   // a flat side
    case 1: p[2] = {2 * p[1].x - p[0].x, 2 * p[1].y - p[0].y}; break;  // collinear
    case 2: p[2] = p[(rng() % 2)]; break;                              // a repeated corner
    case 3: {                                                           // one corner far away
        int far = (int)(rng() % 3);
        p[far].x = (int32_t)(rng() % 2 ? INT32_MAX - (int32_t)(rng() % 1000) : INT32_MIN + (int32_t)(rng() % 1000));
        if (rng() % 2) p[far].y = (int32_t)(rng() % 2 ? INT32_MAX : INT32_MIN + 1);
        break;
    }
    case 4: p[1] = p[2] = p[0]; break;  // a single point
    case 5: {  // one corner a long way off: long sides with fine slopes
        int far = (int)(rng() % 3);
        int32_t reach = (int32_t)1 << (20 + rng() % 10);
        p[far].x += (int32_t)(rng() % 3 - 1) * reach;
        p[far].y += (int32_t)(rng() % 3 - 1) * reach;
        break;
    }
    default: break;
    }
}

// A random clip inside the surface, origin anywhere on it.
Canvas random_clip(std::mt19937 &rng, Surface &s) {
    Canvas c = s.whole();
    c.org_x = (int64_t)(rng() % 20);
    c.org_y = (int64_t)(rng() % 20);
    c.x0 = (int64_t)(rng() % 30) - c.org_x;
    c.y0 = (int64_t)(rng() % 30) - c.org_y;
    c.x1 = std::min<int64_t>(c.x0 + 1 + (int64_t)(rng() % 40), kSide - c.org_x);
    c.y1 = std::min<int64_t>(c.y0 + 1 + (int64_t)(rng() % 40), kSide - c.org_y);
    return c;
}

TEST(GdiRaster, TriangleWithPenOfTheBrushColourMatchesFillThenLines) {
    std::mt19937 rng(seed());
    Surface want, got;
    for (int n = 0; n < kCases; n++) {
        PixelPoint p[3];
        random_triangle(rng, p);
        Canvas c = n % 2 ? random_clip(rng, got) : got.whole();
        Canvas cw = c;
        cw.pixels = want.pixels.data();
        want.clear();
        got.clear();
        plain_triangle(cw, p, kInk);
        raster_polygon(c, p, 3, 1, kInk, true, kInk);
        std::string d = first_difference(want, got);
        ASSERT_EQ(d, "") << "case " << n << ": triangle " << points_text(p, 3) << " clip (" << c.x0 << "," << c.y0
                         << ")-(" << c.x1 << "," << c.y1 << ") origin (" << c.org_x << "," << c.org_y << ")";
    }
}

TEST(GdiRaster, TriangleDrawnInTwoRowBandsMatchesOneCall) {
    std::mt19937 rng(seed() + 1);
    Surface whole, banded;
    for (int n = 0; n < kCases; n++) {
        PixelPoint p[3];
        random_triangle(rng, p);
        int split = (int)(rng() % (kSide + 1));
        whole.clear();
        banded.clear();
        raster_polygon(whole.whole(), p, 3, 1, kInk, true, kInk);
        Canvas top = banded.whole(), bottom = banded.whole();
        top.y1 = split;
        bottom.y0 = split;
        raster_polygon(bottom, p, 3, 1, kInk, true, kInk);  // either order gives the same picture
        raster_polygon(top, p, 3, 1, kInk, true, kInk);
        std::string d = first_difference(whole, banded);
        ASSERT_EQ(d, "") << "case " << n << ": triangle " << points_text(p, 3) << " split at row " << split;
    }
}

TEST(GdiRaster, ParallelogramFillMatchesPolygonFill) {
    std::mt19937 rng(seed() + 3);
    Surface want, got;
    for (int n = 0; n < kCases; n++) {
        auto near = [&]() { return (int64_t)(rng() % 100) - 18; };
        int64_t x0 = near(), y0 = near(), ux = (int64_t)(rng() % 41) - 20, uy = (int64_t)(rng() % 41) - 20;
        int64_t vx = near() - x0, vy = near() - y0;
        if (n % 7 == 0) vy = 0;                      // a flat side
        if (n % 11 == 0) ux = vx * 2, uy = vy * 2;   // no area
        if (n % 13 == 0) vy += (int64_t)1 << (12 + rng() % 14);  // far below
        FixPoint p[4] = {{x0, y0}, {x0 + ux, y0 + uy}, {x0 + ux + vx, y0 + uy + vy}, {x0 + vx, y0 + vy}};
        for (FixPoint &q : p) q = {q.x * kFixOne, q.y * kFixOne};
        if (n % 17 == 0) p[2].x += 3;                // not a parallelogram
        if (n % 19 == 0) p[1].y += kFixOne / 2;      // a corner between pixels
        Canvas c = n % 2 ? random_clip(rng, got) : got.whole();
        Canvas cw = c;
        cw.pixels = want.pixels.data();
        want.clear();
        got.clear();
        raster_polygon_fill(cw, p, 4, kInk);
        raster_parallelogram_fill(c, p, kInk);
        std::string d = first_difference(want, got);
        ASSERT_EQ(d, "") << "case " << n << ": corners (" << p[0].x << "," << p[0].y << ") (" << p[1].x << ","
                         << p[1].y << ") (" << p[2].x << "," << p[2].y << ") (" << p[3].x << "," << p[3].y
                         << ") in 1/" << kFixOne << " pixel";
    }
}

// Corners billions of pixels apart, as the body of a very wide, very long
// line has them: the area test overflowed 64 bits before the corners were
// checked for being near. They go to the polygon fill, which covers all.
TEST(GdiRaster, ParallelogramWithFarCornersFallsBackWithoutOverflow) {
    Surface want, got;
    const int64_t far = 3000000000;
    FixPoint p[4] = {{-far, -far}, {far, -far}, {far, far}, {-far, far}};
    for (FixPoint &q : p) q = {q.x * kFixOne, q.y * kFixOne};
    raster_polygon_fill(want.whole(), p, 4, kInk);
    raster_parallelogram_fill(got.whole(), p, kInk);
    EXPECT_EQ(first_difference(want, got), "");
    EXPECT_EQ(got.pixels[0], kInk);
}

// Filled polygons of any shape and wide lines, drawn in two row bands.
TEST(GdiRaster, PolygonsAndWideLinesDrawnInTwoRowBandsMatchOneCall) {
    std::mt19937 rng(seed() + 2);
    Surface whole, banded;
    for (int n = 0; n < kCases; n++) {
        int count = 2 + (int)(rng() % 6);
        std::vector<PixelPoint> p((size_t)count);
        for (PixelPoint &q : p) q = {(int32_t)(rng() % 100) - 18, (int32_t)(rng() % 100) - 18};
        if (rng() % 4 == 0) p[0].y += (int32_t)(rng() % 2 ? 1 : -1) * ((int32_t)1 << (10 + rng() % 15));
        int64_t pen = (int64_t)(rng() % 8);  // 0: no pen
        uint32_t pen_color = rng() % 2 ? kInk : 0x00ABCDEF;
        int split = (int)(rng() % (kSide + 1));
        auto paint = [&](const Canvas &c) {
            if (count == 2)
                raster_wide_line(c, p[0].x, p[0].y, p[1].x, p[1].y, 2 + pen, kInk);
            else
                raster_polygon(c, p.data(), count, pen, pen_color, true, kInk);
        };
        whole.clear();
        banded.clear();
        paint(whole.whole());
        Canvas top = banded.whole(), bottom = banded.whole();
        top.y1 = split;
        bottom.y0 = split;
        paint(top);
        paint(bottom);
        std::string d = first_difference(whole, banded);
        ASSERT_EQ(d, "") << "case " << n << ": points " << points_text(p.data(), count) << " pen " << pen
                         << " split at row " << split;
    }
}

}  // namespace
