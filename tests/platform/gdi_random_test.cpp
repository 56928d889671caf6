// Seeded random cases compared with slow per-pixel references of the same
// rules, and drawing through a clipped, offset window DC compared with the
// same drawing on a plain bitmap. The seed is printed (KAPLO_SEED overrides
// it); a failure names the guilty case, which is drawn alone on a clear
// canvas, with its arguments and its first wrong pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <set>

#include "../../platform/gdi/surface.h"
#include "gdi_support.h"

using namespace gditest;

namespace {

constexpr int kSize = 64;
constexpr int kCases = 400;

unsigned seed() {
    const char *env = getenv("KAPLO_SEED");
    unsigned s = env ? (unsigned)strtoul(env, nullptr, 10) : 20261208u;
    printf("random GDI cases: seed %u (set KAPLO_SEED to repeat another)\n", s);
    return s;
}

typedef std::set<std::pair<int, int>> PixelSet;

// The pixels of a picture in one colour.
PixelSet pixels_of(const MemoryDc &m, COLORREF color) {
    PixelSet out;
    for (int y = 0; y < m.height; y++)
        for (int x = 0; x < m.width; x++)
            if (GetPixel(m.dc, x, y) == color) out.insert({x, y});
    return out;
}

// First pixel in one set but not the other, as text.
std::string first_difference(const PixelSet &want, const PixelSet &got) {
    for (auto p : want)
        if (!got.count(p)) return "missing (" + std::to_string(p.first) + "," + std::to_string(p.second) + ")";
    for (auto p : got)
        if (!want.count(p)) return "extra (" + std::to_string(p.first) + "," + std::to_string(p.second) + ")";
    return "";
}

// Floor division for a positive divisor.
int64_t floor_div(int64_t n, int64_t d) { return n / d - ((n % d != 0) && (n < 0)); }

// Reference fill: pixel (x, y) is inside when an odd number of the row's edge
// crossings ceil(x_edge(y)) are at or left of x (edges cover top <= y < bottom).
PixelSet reference_fill(const std::vector<POINT> &p) {
    PixelSet out;
    for (int y = 0; y < kSize; y++)
        for (int x = 0; x < kSize; x++) {
            int count = 0;
            for (size_t i = 0; i < p.size(); i++) {
                POINT a = p[i], b = p[(i + 1) % p.size()];
                if (a.y == b.y) continue;
                if (a.y > b.y) std::swap(a, b);
                if (y < a.y || y >= b.y) continue;
                int64_t num = (int64_t)a.x * (b.y - a.y) + (int64_t)(y - a.y) * (b.x - a.x), den = b.y - a.y;
                int64_t ceil_x = -floor_div(-num, den);
                if (ceil_x <= x) count++;
            }
            if (count & 1) out.insert({x, y});
        }
    return out;
}

// Reference line: step i of n along the major axis, the minor coordinate
// rounded to nearest with ties to the smaller value; end pixel left out.
PixelSet reference_line(int x0, int y0, int x1, int y1) {
    PixelSet out;
    int dx = x1 - x0, dy = y1 - y0;
    bool x_major = abs(dx) >= abs(dy);
    int n = x_major ? abs(dx) : abs(dy), minor = x_major ? dy : dx, s = (x_major ? dx : dy) < 0 ? -1 : 1;
    for (int i = 0; i < n; i++) {
        int m = (int)floor_div(2LL * i * minor + n - 1, 2LL * n);
        int x = x_major ? x0 + s * i : x0 + m, y = x_major ? y0 + m : y0 + s * i;
        if (x >= 0 && x < kSize && y >= 0 && y < kSize) out.insert({x, y});
    }
    return out;
}

// Reference ellipse outline: the quadrant walk plotted point by point and
// mirrored into the four quadrants (box at least 3 x 3).
PixelSet reference_ellipse(int l, int t, int r, int b) {
    PixelSet out;
    int64_t a = r - l - 1, bb = b - t - 1, b1 = bb & 1;
    int64_t dx = 4 * (1 - a) * bb * bb, dy = 4 * (b1 + 1) * a * a, err = dx + dy + b1 * a * a;
    int64_t up = t + bb / 2, low = t + (bb + 1) / 2;
    int64_t x = 0, k = 0;
    auto plot = [&](int64_t px, int64_t py) {
        if (px >= 0 && px < kSize && py >= 0 && py < kSize && py >= t && py < b) out.insert({(int)px, (int)py});
    };
    while (x <= a - (a + 1) / 2) {
        if (k <= bb / 2) {
            plot(l + x, up - k);
            plot(l + a - x, up - k);
            plot(l + x, low + k);
            plot(l + a - x, low + k);
        }
        int64_t e2 = 2 * err;
        if (e2 >= dx) {
            x++;
            dx += 8 * bb * bb;
            err += dx;
        }
        if (e2 <= dy) {
            k++;
            dy += 8 * a * a;
            err += dy;
        }
    }
    return out;
}

// Reference rectangle with a one-pixel pen and a brush.
void reference_rectangle(int l, int t, int r, int b, PixelSet *pen, PixelSet *brush) {
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    if (r == l || b == t || (r - l == 1 && b - t == 1)) return;
    for (int y = std::max(t, 0); y < std::min(b, kSize); y++)
        for (int x = std::max(l, 0); x < std::min(r, kSize); x++) {
            bool edge = x == l || x == r - 1 || y == t || y == b - 1;
            (edge ? pen : brush)->insert({x, y});
        }
}

std::string points_text(const std::vector<POINT> &p) {
    std::string s;
    for (const POINT &q : p) s += "(" + std::to_string(q.x) + "," + std::to_string(q.y) + ")";
    return s;
}

}  // namespace

TEST(GdiRandom, SpanFillMatchesPerPixelPolygonRule) {
    std::mt19937 rng(seed());
    MemoryDc m(kSize, kSize);
    for (int c = 0; c < kCases; c++) {
        int n = 3 + (int)(rng() % 5);
        std::vector<POINT> p((size_t)n);
        for (POINT &q : p) q = {(LONG)(rng() % 84) - 10, (LONG)(rng() % 84) - 10};
        m.clear(kWhite);
        draw(m.dc, Shape::Polygon, -1, true, p);
        std::string d = first_difference(reference_fill(p), pixels_of(m, kBrush));
        ASSERT_EQ(d, "") << "case " << c << ": Polygon " << points_text(p) << ", null pen";
    }
}

// Corners thousands to millions of pixels away give long edges with fine
// slopes, where stepped positions need their full precision.
TEST(GdiRandom, SpanFillWithFarCornersMatchesPerPixelPolygonRule) {
    std::mt19937 rng(seed() + 5);
    MemoryDc m(kSize, kSize);
    for (int c = 0; c < kCases; c++) {
        int n = 3 + (int)(rng() % 4);
        std::vector<POINT> p((size_t)n);
        for (POINT &q : p) q = {(LONG)(rng() % 84) - 10, (LONG)(rng() % 84) - 10};
        for (int far = 0; far < 1 + c % 2; far++) {
            POINT &q = p[rng() % p.size()];
            LONG reach = (LONG)1 << (10 + rng() % 15);
            q.x += (LONG)(rng() % 3 - 1) * reach;
            q.y += (LONG)(rng() % 3 - 1) * reach;
        }
        m.clear(kWhite);
        draw(m.dc, Shape::Polygon, -1, true, p);
        std::string d = first_difference(reference_fill(p), pixels_of(m, kBrush));
        ASSERT_EQ(d, "") << "case " << c << ": Polygon " << points_text(p) << ", null pen";
    }
}

TEST(GdiRandom, LinesMatchPerPixelRule) {
    std::mt19937 rng(seed() + 1);
    MemoryDc m(kSize, kSize);
    for (int c = 0; c < kCases; c++) {
        int x0 = (int)(rng() % 90) - 13, y0 = (int)(rng() % 90) - 13;
        int x1 = (int)(rng() % 90) - 13, y1 = (int)(rng() % 90) - 13;
        m.clear(kWhite);
        draw(m.dc, Shape::Line, 1, false, {{x0, y0}, {x1, y1}});
        std::string d = first_difference(reference_line(x0, y0, x1, y1), pixels_of(m, kPen));
        ASSERT_EQ(d, "") << "case " << c << ": line (" << x0 << "," << y0 << ")-(" << x1 << "," << y1 << ")";
    }
}

TEST(GdiRandom, EllipseOutlinesMatchThePointWalk) {
    std::mt19937 rng(seed() + 2);
    MemoryDc m(kSize, kSize);
    for (int c = 0; c < kCases; c++) {
        int l = (int)(rng() % 70) - 8, t = (int)(rng() % 70) - 8;
        int r = l + 3 + (int)(rng() % 60), b = t + 3 + (int)(rng() % 60);
        m.clear(kWhite);
        draw(m.dc, Shape::Ellipse, 1, false, {{l, t}, {r, b}});
        std::string d = first_difference(reference_ellipse(l, t, r, b), pixels_of(m, kPen));
        ASSERT_EQ(d, "") << "case " << c << ": Ellipse(" << l << "," << t << "," << r << "," << b << ")";
    }
}

TEST(GdiRandom, RectanglesMatchPerPixelRule) {
    std::mt19937 rng(seed() + 3);
    MemoryDc m(kSize, kSize);
    for (int c = 0; c < kCases; c++) {
        int l = (int)(rng() % 80) - 8, t = (int)(rng() % 80) - 8;
        int r = (int)(rng() % 80) - 8, b = (int)(rng() % 80) - 8;
        m.clear(kWhite);
        draw(m.dc, Shape::Rectangle, 1, true, {{l, t}, {r, b}});
        PixelSet pen, brush;
        reference_rectangle(l, t, r, b, &pen, &brush);
        std::string d = first_difference(pen, pixels_of(m, kPen)) + first_difference(brush, pixels_of(m, kBrush));
        ASSERT_EQ(d, "") << "case " << c << ": Rectangle(" << l << "," << t << "," << r << "," << b << ")";
    }
}

// The same shape drawn through a window DC whose origin is moved and whose
// clip is a small part of its surface must give the bitmap's pixels inside
// the clip and leave every pixel outside it alone: the clip is applied once,
// before spans are made, for every kind of shape and pen.
TEST(GdiRandom, ClippedOffsetDrawingMatchesUnclippedDrawing) {
    std::mt19937 rng(seed() + 4);
    const int sw = 90, sh = 70, ox = 13, oy = 9;  // DC (0,0) at surface (13, 9)
    const uint32_t guard = 0x00123456;
    std::vector<uint32_t> surface_pixels((size_t)sw * sh);
    Surface s;
    s.pixels = surface_pixels.data();
    s.width = sw;
    s.height = sh;
    s.stride = sw;
    MemoryDc m(kSize, kSize);
    for (int c = 0; c < kCases; c++) {
        RECT clip = {ox + (LONG)(rng() % 30), oy + (LONG)(rng() % 30), 0, 0};
        clip.right = clip.left + 1 + (LONG)(rng() % 40);
        clip.bottom = clip.top + 1 + (LONG)(rng() % 40);
        Shape shape = (Shape)(rng() % 4);
        int width = (int)(rng() % 6) - 1;  // -1 null pen, 0 and 1 thin, up to 4 wide
        bool brush = rng() % 2;
        std::vector<POINT> p(shape == Shape::Polygon ? 3 : 2);
        for (POINT &q : p) q = {(LONG)(rng() % 100) - 18, (LONG)(rng() % 100) - 18};
        std::fill(surface_pixels.begin(), surface_pixels.end(), guard);
        HDC wdc = gdi_create_window_dc(nullptr, &s, ox, oy, clip);
        RECT all = {-ox, -oy, sw, sh};
        HBRUSH white = CreateSolidBrush(kWhite);
        FillRect(wdc, &all, white);
        DeleteObject(white);
        draw(wdc, shape, width, brush, p);
        gdi_release_window_dc(wdc);
        m.clear(kWhite);
        draw(m.dc, shape, width, brush, p);
        for (int y = 0; y < sh; y++)
            for (int x = 0; x < sw; x++) {
                bool in_clip = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
                uint32_t want = guard;
                if (in_clip) want = pixel_from_colorref(GetPixel(m.dc, x - ox, y - oy));
                ASSERT_EQ(surface_pixels[(size_t)y * sw + x], want)
                    << "case " << c << ": shape " << (int)shape << " pen " << width << " brush " << brush << " points "
                    << points_text(p) << " clip (" << clip.left << "," << clip.top << "," << clip.right << ","
                    << clip.bottom << "), surface pixel (" << x << "," << y << ")";
            }
    }
}
