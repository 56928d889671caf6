// Shapes on memory bitmaps are batched, skipping what a later solid
// rectangle paints over. These tests draw the same seeded scenes once with
// every shape drawn at once and once batched, and demand the same pixels;
// they also check that everything that reads or moves pixels sees the
// pending shapes first, that a bitmap freed with shapes pending is never written, and that a
// bitmap whose shapes were drawn straight onto the window it is shown on
// still gives its own pixels to whatever asks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>

#include "../../platform/gdi/surface.h"
#include "gdi_support.h"
#include "platform_tools.h"

using namespace gditest;

namespace {

constexpr int kWidth = 320, kHeight = 120;  // wide enough for rectangles that hide what is below

// Puts the layer back to batching, its default.
struct Batching : ::testing::Test {
    void TearDown() override { platform_set_batching(1); }
};

// One random drawing call in a random colour, partly off the bitmap at times.
void random_call(HDC dc, std::mt19937 &rng) {
    auto coord = [&](int size) { return (int)(rng() % (size + 80)) - 40; };
    COLORREF pen_color = RGB(rng() % 256, rng() % 256, rng() % 256);
    COLORREF brush_color = rng() % 3 == 0 ? pen_color : RGB(rng() % 256, rng() % 256, rng() % 256);
    int pen_width = (int)(rng() % 14) - 1;  // -1: the null pen
    bool brush = rng() % 4 != 0;
    std::vector<POINT> p;
    int kind = (int)(rng() % 8);
    int corners = kind == 3 ? 3 + (int)(rng() % 4) : 2;
    for (int i = 0; i < corners; i++) p.push_back({coord(kWidth), coord(kHeight)});
    switch (kind) {
    case 0: draw(dc, Shape::Rectangle, pen_width, pen_color, brush, brush_color, p); break;
    case 1: draw(dc, Shape::Ellipse, pen_width, pen_color, brush, brush_color, p); break;
    case 2: draw(dc, Shape::Line, pen_width, pen_color, brush, brush_color, p); break;
    case 3: draw(dc, Shape::Polygon, pen_width, pen_color, brush, brush_color, p); break;
    case 4: {
        RECT r = {p[0].x, p[0].y, p[1].x, p[1].y};
        HBRUSH b = CreateSolidBrush(brush_color);
        FillRect(dc, &r, b);
        DeleteObject(b);
        break;
    }
    case 5: {  // a wide solid band hides what lies below it
        int top = coord(kHeight), bottom = top + (int)(rng() % 40);
        int left = (int)(rng() % 64) - 3, right = kWidth - 64 + (int)(rng() % 67);
        if (rng() % 2) {
            RECT r = {left, top, right, bottom};
            HBRUSH b = CreateSolidBrush(brush_color);
            FillRect(dc, &r, b);
            DeleteObject(b);
        } else {
            draw(dc, Shape::Rectangle, (int)(rng() % 3) - 1, pen_color, true, brush_color,
                 {{left, top}, {right, bottom}});
        }
        break;
    }
    case 6:  // a large filled triangle without a pen hides part of the solid rectangles below it
        draw(dc, Shape::Polygon, rng() % 2 ? -1 : 1, brush_color, true, brush_color,
             {{coord(kWidth), coord(kHeight)}, {coord(kWidth), coord(kHeight)}, {coord(kWidth), coord(kHeight)}});
        break;
    default: {  // text blends with what lies below it, so it needs the shapes first
        SetTextColor(dc, pen_color);
        SetBkMode(dc, rng() % 2 ? OPAQUE : TRANSPARENT);
        TextOutA(dc, p[0].x, p[0].y, "Kg|", 3);
        break;
    }
    }
}

// A seeded scene of many calls on a fresh bitmap, read back pixel by pixel.
std::vector<COLORREF> scene(unsigned seed) {
    MemoryDc m(kWidth, kHeight);
    std::mt19937 rng(seed);
    for (int i = 0; i < 120; i++) random_call(m.dc, rng);
    return m.pixels();
}

TEST_F(Batching, BatchesGiveThePixelsOfShapesDrawnOneByOne) {
    for (unsigned seed = 1; seed <= 12; seed++) {
        platform_set_batching(0);
        std::vector<COLORREF> expected = scene(seed);
        platform_set_batching(1);
        std::vector<COLORREF> actual = scene(seed);
        size_t wrong = 0, first = 0;
        for (size_t i = 0; i < expected.size(); i++)
            if (expected[i] != actual[i] && wrong++ == 0) first = i;
        EXPECT_EQ(wrong, 0u) << "seed " << seed << ": first wrong pixel (" << first % kWidth << ", "
                             << first / kWidth << ")";
    }
}

// Fills the whole bitmap through the batch.
void fill_batched(const MemoryDc &m, COLORREF color) {
    RECT r = {0, 0, m.width, m.height};
    HBRUSH b = CreateSolidBrush(color);
    FillRect(m.dc, &r, b);
    DeleteObject(b);
}

// A window's surface of its own, and a DC on part of it.
struct TestWindow {
    static constexpr int kSurfaceWidth = kWidth + 30, kSurfaceHeight = kHeight + 20;
    std::vector<uint32_t> pixels = std::vector<uint32_t>((size_t)kSurfaceWidth * kSurfaceHeight, 0x123456);
    Surface surface{pixels.data(), kSurfaceWidth, kSurfaceHeight, kSurfaceWidth};
    HDC dc = nullptr;

    // A DC whose (0, 0) lies at (ox, oy) and that draws only inside `clip`.
    void open(int ox, int oy, RECT clip) { dc = gdi_create_window_dc(nullptr, &surface, ox, oy, clip); }
    void close() {
        if (dc) gdi_release_window_dc(dc);
        dc = nullptr;
    }
    COLORREF at(int x, int y) const { return colorref_from_pixel(pixels[(size_t)y * kSurfaceWidth + x]); }
};

// Each way of reading or moving a bitmap's pixels, on a bitmap whose last
// shapes (a fill, then a box at (10, 10)-(40, 40)) are still pending: each
// returns what it found where the box's inside went.
TEST_F(Batching, EveryReadOfABitmapSeesItsPendingShapes) {
    const std::pair<const char *, std::function<COLORREF(const MemoryDc &)>> reads[] = {
        {"GetPixel", [](const MemoryDc &m) { return GetPixel(m.dc, 20, 20); }},
        {"BitBlt to another bitmap",
         [](const MemoryDc &m) {
             MemoryDc other(kWidth, kHeight);
             BitBlt(other.dc, 3, -2, kWidth, kHeight, m.dc, 0, 0, SRCCOPY);
             return GetPixel(other.dc, 23, 18);
         }},
        {"BitBlt within the bitmap",
         [](const MemoryDc &m) {
             BitBlt(m.dc, 100, 50, 40, 40, m.dc, 0, 0, SRCCOPY);
             return GetPixel(m.dc, 120, 70);
         }},
        {"BitBlt to a window, twice",  // the second copy draws the shapes straight onto the window
         [](const MemoryDc &m) {
             TestWindow w;
             w.open(5, 5, RECT{5, 5, 5 + kWidth, 5 + kHeight});
             BitBlt(w.dc, 0, 0, kWidth, kHeight, m.dc, 0, 0, SRCCOPY);
             draw(m.dc, Shape::Rectangle, -1, kPen, true, kBrush, {{60, 10}, {90, 40}});
             BitBlt(w.dc, 0, 0, kWidth, kHeight, m.dc, 0, 0, SRCCOPY);
             COLORREF seen = w.at(25, 25) == w.at(75, 25) ? w.at(25, 25) : CLR_INVALID;
             w.close();
             return seen;
         }},
        {"ScrollDC",
         [](const MemoryDc &m) {
             RECT scrolled;
             ScrollDC(m.dc, 50, 0, nullptr, nullptr, nullptr, &scrolled);
             return GetPixel(m.dc, 70, 20);
         }},
        {"SetPixel beside it", [](const MemoryDc &m) {
             SetPixel(m.dc, 0, 0, kPen);
             return GetPixel(m.dc, 0, 0) == kPen ? GetPixel(m.dc, 20, 20) : CLR_INVALID;
         }},
    };
    for (const auto &[name, read] : reads) {
        MemoryDc m(kWidth, kHeight);
        fill_batched(m, RGB(1, 2, 3));
        draw(m.dc, Shape::Rectangle, -1, kPen, true, kBrush, {{10, 10}, {40, 40}});
        EXPECT_EQ(read(m), kBrush) << name;
        EXPECT_EQ(GetPixel(m.dc, 5, 100), RGB(1, 2, 3)) << name;
    }
}

// A copy into a bitmap lands on top of the shapes pending there.
TEST_F(Batching, ACopyIntoABitmapLandsOnItsPendingShapes) {
    MemoryDc source(kWidth, kHeight), dest(kWidth, kHeight);
    fill_batched(source, RGB(4, 5, 6));
    fill_batched(dest, RGB(7, 8, 9));
    EXPECT_TRUE(BitBlt(dest.dc, 0, 0, 10, 10, source.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(dest.dc, 5, 5), RGB(4, 5, 6));
    EXPECT_EQ(GetPixel(dest.dc, 50, 50), RGB(7, 8, 9));
}

TEST_F(Batching, FreedBitmapDropsItsPendingShapes) {
    PlatformCounts before = platform_live_objects();
    for (int round = 0; round < 3; round++) {
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, kWidth, kHeight);
        HGDIOBJ old = SelectObject(dc, bitmap);
        std::mt19937 rng(round);
        for (int i = 0; i < 50; i++) random_call(dc, rng);
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);  // freed with shapes still pending: they must never be drawn
    }
    MemoryDc after(kWidth, kHeight);  // a new bitmap may reuse the freed memory
    draw(after.dc, Shape::Ellipse, 3, kPen, true, kBrush, {{10, 10}, {100, 80}});
    EXPECT_EQ(GetPixel(after.dc, 55, 45), kBrush);
    EXPECT_EQ(GetPixel(after.dc, 150, 110), kWhite);
    PlatformCounts now = platform_live_objects();
    EXPECT_EQ(now.bitmaps, before.bitmaps + 1);
    EXPECT_EQ(now.dcs, before.dcs + 1);
}

TEST_F(Batching, LongBatchesNeverReadAreStillDrawnRight) {
    
    MemoryDc m(kWidth, kHeight);
    // Far more shapes than one batch holds, each a pixel-wide column in turn.
    for (int i = 0; i < 10000; i++) {
        COLORREF c = RGB(i % 251, i % 241, 0);
        HBRUSH b = CreateSolidBrush(c);
        RECT r = {i % kWidth, 0, i % kWidth + 1, kHeight};
        FillRect(m.dc, &r, b);
        DeleteObject(b);
    }
    for (int x = 0; x < kWidth; x++) {
        int last = 10000 - 1 - ((10000 - 1 - x) % kWidth);
        ASSERT_EQ(GetPixel(m.dc, x, 60), RGB(last % 251, last % 241, 0)) << "column " << x;
    }
}

// What a program that shows its back buffer on a window saw and left behind.
struct Shown {
    std::vector<uint32_t> window;
    std::vector<COLORREF> bitmap;
    std::vector<COLORREF> reads;
};

// Seeded rounds of shapes and text on a bitmap, each mostly shown on the
// window at the same place, sometimes with a read, a copy or a drawing that
// forces the bitmap to have its own pixels or changes the window under it.
Shown show_rounds(unsigned seed) {
    std::mt19937 rng(seed);
    TestWindow w;
    // The window's DC shows less than the bitmap (cut right and below), as a
    // client area smaller than the back buffer does.
    w.open(7, 5, RECT{7, 5, 7 + kWidth - 25, 5 + kHeight - 17});
    MemoryDc m(kWidth, kHeight), other(kWidth, kHeight);
    Shown out;
    for (int round = 0; round < 40; round++) {
        int calls = 1 + (int)(rng() % 12);
        for (int i = 0; i < calls; i++) random_call(m.dc, rng);
        switch (rng() % 12) {
        case 0:  // a read of the bitmap, inside the shown block and outside it
            out.reads.push_back(GetPixel(m.dc, (int)(rng() % kWidth), (int)(rng() % kHeight)));
            out.reads.push_back(GetPixel(m.dc, kWidth - 1 - (int)(rng() % 25), kHeight - 1));
            break;
        case 1:  // drawing on the window under the shown block
            random_call(w.dc, rng);
            break;
        case 2:  // a copy of the bitmap elsewhere
            BitBlt(other.dc, 0, 0, kWidth, kHeight, m.dc, 0, 0, SRCCOPY);
            out.reads.push_back(GetPixel(other.dc, (int)(rng() % kWidth), (int)(rng() % kHeight)));
            break;
        case 3:  // the bitmap shown at another place, or only part of it
            BitBlt(w.dc, (int)(rng() % 9) - 4, (int)(rng() % 9) - 4, kWidth - (int)(rng() % 50), kHeight, m.dc,
                   (int)(rng() % 5), 0, SRCCOPY);
            break;
        case 4:  // a copy from the window into the bitmap, and a pixel set on it
            BitBlt(m.dc, 3, 3, 40, 30, w.dc, 0, 0, SRCCOPY);
            SetPixel(m.dc, (int)(rng() % kWidth), (int)(rng() % kHeight), RGB(9, 8, 7));
            break;
        case 5: {  // the window scrolled, or its DC given back and a new one made
            RECT scrolled;
            if (rng() % 2) {
                ScrollDC(w.dc, 0, 6, nullptr, nullptr, nullptr, &scrolled);
            } else {
                w.close();
                std::fill(w.pixels.begin(), w.pixels.end(), 0x654321);  // the old surface's pixels are gone
                w.open(7, 5, RECT{7, 5, 7 + kWidth - 25, 5 + kHeight - 17});
            }
            break;
        }
        default:
            BitBlt(w.dc, 0, 0, kWidth, kHeight, m.dc, 0, 0, SRCCOPY);
            break;
        }
    }
    out.window = w.pixels;
    out.bitmap = m.pixels();
    w.close();
    return out;
}

TEST_F(Batching, ShapesDrawnStraightOntoTheWindowLeaveBothAsACopyWould) {
    for (unsigned seed = 1; seed <= 10; seed++) {
        platform_set_batching(0);  // each shape at once, every copy made
        Shown expected = show_rounds(seed);
        platform_set_batching(1);
        Shown actual = show_rounds(seed);
        size_t wrong_window = 0, wrong_bitmap = 0;
        for (size_t i = 0; i < expected.window.size(); i++) wrong_window += expected.window[i] != actual.window[i];
        for (size_t i = 0; i < expected.bitmap.size(); i++) wrong_bitmap += expected.bitmap[i] != actual.bitmap[i];
        EXPECT_EQ(wrong_window, 0u) << "seed " << seed;
        EXPECT_EQ(wrong_bitmap, 0u) << "seed " << seed;
        EXPECT_EQ(actual.reads, expected.reads) << "seed " << seed;
    }
}

TEST_F(Batching, ABitmapShownOnAWindowGetsItsPixelsBackWhenTheDcGoes) {
    MemoryDc m(kWidth, kHeight);
    TestWindow w;
    w.open(0, 0, RECT{0, 0, kWidth, kHeight});
    m.clear(RGB(1, 1, 1));
    BitBlt(w.dc, 0, 0, kWidth, kHeight, m.dc, 0, 0, SRCCOPY);
    draw(m.dc, Shape::Rectangle, -1, kPen, true, kBrush, {{10, 10}, {100, 100}});
    BitBlt(w.dc, 0, 0, kWidth, kHeight, m.dc, 0, 0, SRCCOPY);  // drawn straight onto the window
    EXPECT_EQ(w.pixels[(size_t)50 * TestWindow::kSurfaceWidth + 50], pixel_from_colorref(kBrush));
    w.close();
    std::fill(w.pixels.begin(), w.pixels.end(), 0);  // as if the surface were freed
    EXPECT_EQ(GetPixel(m.dc, 50, 50), kBrush);
    EXPECT_EQ(GetPixel(m.dc, 5, 5), RGB(1, 1, 1));
}

}  // namespace
