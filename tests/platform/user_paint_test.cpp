// Painting: update regions, BeginPaint/EndPaint, window DCs, frames, PNG.
#include <cstdio>
#include <cstring>
#include <string>

#include "user_fixture.h"

using PaintTest = UserTest;

TEST_F(PaintTest, BeginPaintReportsAndValidatesTheUpdateRegion) {
    HWND hwnd = shown_window(false);
    RECT a{10, 20, 30, 40}, b{50, 5, 60, 25};
    InvalidateRect(hwnd, &a, FALSE);
    InvalidateRect(hwnd, &b, FALSE);
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    EXPECT_EQ(ps.rcPaint.left, 10);
    EXPECT_EQ(ps.rcPaint.top, 5);
    EXPECT_EQ(ps.rcPaint.right, 60);
    EXPECT_EQ(ps.rcPaint.bottom, 40);
    EndPaint(hwnd, &ps);
    SetTimer(hwnd, 1, 100, nullptr);
    EXPECT_EQ(next().message, (UINT)WM_TIMER);
}

TEST_F(PaintTest, InvalidationIsClippedToTheClientArea) {
    HWND hwnd = shown_window(false);
    RECT outside{-50, -50, -1, -1};
    InvalidateRect(hwnd, &outside, TRUE);
    SetTimer(hwnd, 1, 100, nullptr);
    EXPECT_EQ(next().message, (UINT)WM_TIMER);
    RECT huge{-100000, -100000, 100000, 100000};
    InvalidateRect(hwnd, &huge, FALSE);
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    EXPECT_EQ(ps.rcPaint.right, 595);
    EXPECT_EQ(ps.rcPaint.bottom, 495);  // no menu bar here
    EndPaint(hwnd, &ps);
}

TEST_F(PaintTest, EraseIsSentOnlyWhenAsked) {
    HWND hwnd = shown_window(false);
    InvalidateRect(hwnd, nullptr, FALSE);
    next(true);
    EXPECT_EQ(seen_messages(), (std::vector<UINT>{WM_PAINT}));
    seen().clear();
    InvalidateRect(hwnd, nullptr, TRUE);
    next(true);
    EXPECT_EQ(seen_messages(), (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}));
}

TEST_F(PaintTest, PartialValidationShrinksTheRegion) {
    HWND hwnd = shown_window(false);
    RECT r{0, 0, 100, 100}, top{0, 0, 100, 40};
    InvalidateRect(hwnd, &r, FALSE);
    ValidateRect(hwnd, &top);
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    EXPECT_EQ(ps.rcPaint.top, 40);
    EXPECT_EQ(ps.rcPaint.bottom, 100);
    EndPaint(hwnd, &ps);
}

TEST_F(PaintTest, UpdateWindowPaintsAtOnce) {
    HWND hwnd = shown_window(false);
    UpdateWindow(hwnd);
    EXPECT_TRUE(seen().empty());
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
    EXPECT_EQ(seen_messages(), (std::vector<UINT>{WM_PAINT}));
}

TEST_F(PaintTest, ScreenDcIsGdisAndReleasesHarmlessly) {
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDC(nullptr), screen);  // one screen DC, never really released
    EXPECT_EQ(ReleaseDC(nullptr, screen), screen ? 1 : 0);
    EXPECT_EQ(GetDC(nullptr), screen);
}

class FramePaintTest : public PaintTest {
protected:
    HWND hwnd = nullptr;
    HDC dc = nullptr;

    void SetUp() override {
        PaintTest::SetUp();
        hwnd = shown_window(true);
        dc = GetDC(hwnd);
        if (!dc) GTEST_SKIP() << "no window DCs from GDI";
    }
    void TearDown() override {
        if (dc) ReleaseDC(hwnd, dc);
    }

    // Fills the client area with one colour.
    void fill(COLORREF c) {
        HBRUSH b = CreateSolidBrush(c);
        RECT r{0, 0, 595, 476};
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
};

TEST_F(FramePaintTest, EachDrawingIsAFrameAndOldOnesAreKept) {
    long before = headless_frame_count(hwnd);
    fill(RGB(1, 2, 3));
    fill(RGB(4, 5, 6));
    EXPECT_EQ(headless_frame_count(hwnd), before + 2);
    DWORD p;
    ASSERT_TRUE(headless_frame_pixel(hwnd, 0, 10, 10, &p));
    EXPECT_EQ(p, 0x040506u);
    ASSERT_TRUE(headless_frame_pixel(hwnd, 1, 10, 10, &p));
    EXPECT_EQ(p, 0x010203u);
    EXPECT_FALSE(headless_frame_pixel(hwnd, 4, 10, 10, &p));
}

// Text on a window DC is drawn through the shapes' canvas: its cells land at
// client coordinates below the menu bar, and none of it reaches the bar.
TEST_F(FramePaintTest, TextCellsLandInTheClientAreaAndNotOnTheMenuBar) {
    auto at = [&](int x, int y) {  // a pixel of the newest frame, client coordinates
        DWORD p = 0x123456;
        EXPECT_TRUE(headless_frame_pixel(hwnd, 0, x, y, &p)) << x << "," << y;
        return p;
    };
    fill(RGB(255, 255, 255));
    const DWORD bar = at(2, -2);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(0, 0, 255));
    TextOutA(dc, 0, -8, "  ", 2);  // a 16-pixel cell from 8 rows above the client area
    EXPECT_EQ(at(2, 0), 0x0000FFu);
    EXPECT_EQ(at(2, 7), 0x0000FFu);
    EXPECT_EQ(at(2, 8), 0xFFFFFFu);
    EXPECT_EQ(at(2, -2), bar);
}

TEST_F(FramePaintTest, HistoryIsBoundedButTheCountIsNot) {
    headless_set_frame_history(2);
    long before = headless_frame_count(hwnd);
    for (int i = 0; i < 50; ++i) fill(RGB(i, 0, 0));
    EXPECT_EQ(headless_frame_count(hwnd), before + 50);
    DWORD p;
    EXPECT_TRUE(headless_frame_pixel(hwnd, 1, 0, 0, &p));
    EXPECT_EQ(p, 0x300000u);
    EXPECT_FALSE(headless_frame_pixel(hwnd, 2, 0, 0, &p));
}

// A window manager resizes the window: the DC the program holds draws on the
// pixels now shown, over the whole new client area and no further.
TEST_F(FramePaintTest, DcFollowsItsWindowThroughAnUnaskedResize) {
    auto at = [&](int x, int y) {
        DWORD p = 0x123456;
        EXPECT_TRUE(headless_frame_pixel(hwnd, 0, x, y, &p)) << x << "," << y;
        return p;
    };
    ASSERT_EQ(headless_resize_window(hwnd, 700, 19 + 520), 1);
    RECT c;
    GetClientRect(hwnd, &c);
    EXPECT_EQ(c.right, 700);
    EXPECT_EQ(c.bottom, 520);
    HBRUSH b = CreateSolidBrush(RGB(7, 8, 9));
    RECT all{0, 0, 2000, 2000};
    FillRect(dc, &all, b);
    EXPECT_EQ(at(10, 10), 0x070809u);
    EXPECT_EQ(at(699, 519), 0x070809u);
    const DWORD bar = at(2, -2);
    ASSERT_EQ(headless_resize_window(hwnd, 100, 19 + 50), 1);
    FillRect(dc, &all, b);
    EXPECT_EQ(at(99, 49), 0x070809u);
    EXPECT_EQ(at(2, -2), bar) << "drawing reached the menu bar";
    DeleteObject(b);
}

TEST_F(FramePaintTest, DcOfADestroyedWindowStaysHarmless) {
    DestroyWindow(hwnd);
    fill(RGB(9, 9, 9));  // lands nowhere, must not crash
    EXPECT_EQ(ReleaseDC(hwnd, dc), 1);
    dc = nullptr;
}

TEST_F(FramePaintTest, SavesTheWholeSurfaceAsPng) {
    fill(RGB(0, 128, 255));
    std::string path = std::string(KAPLO_TEST_OUTPUT) + "/user_frame.png";
    std::string mk = std::string("mkdir -p ") + KAPLO_TEST_OUTPUT;
    ASSERT_EQ(system(mk.c_str()), 0);
    ASSERT_EQ(headless_save_png(hwnd, path.c_str()), 1);
    FILE *f = fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    unsigned char head[24];
    ASSERT_EQ(fread(head, 1, 24, f), 24u);
    fclose(f);
    EXPECT_EQ(memcmp(head + 1, "PNG", 3), 0);
    auto be32 = [&](int at) {
        return (head[at] << 24) | (head[at + 1] << 16) | (head[at + 2] << 8) | head[at + 3];
    };
    EXPECT_EQ(be32(16), 595);        // width
    EXPECT_EQ(be32(20), 476 + 19);   // client area and menu bar
    EXPECT_EQ(headless_save_png(nullptr, path.c_str()), 0);
}
