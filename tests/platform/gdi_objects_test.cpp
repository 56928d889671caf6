// GDI objects and DCs: defaults of a new DC, stock objects, selection and
// deletion rules, refusal of bad handles, window DCs, object accounting, and
// kernel global memory blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "../../platform/gdi/surface.h"
#include "gdi_support.h"
#include "platform_tools.h"

using namespace gditest;

namespace {

bool same_counts(const PlatformCounts &a, const PlatformCounts &b) {
    return a.pens == b.pens && a.brushes == b.brushes && a.fonts == b.fonts && a.bitmaps == b.bitmaps &&
           a.dcs == b.dcs && a.global_blocks == b.global_blocks;
}

std::string describe(const PlatformCounts &c) {
    return "pens " + std::to_string(c.pens) + " brushes " + std::to_string(c.brushes) + " fonts " +
           std::to_string(c.fonts) + " bitmaps " + std::to_string(c.bitmaps) + " dcs " + std::to_string(c.dcs) +
           " blocks " + std::to_string(c.global_blocks);
}

}  // namespace

TEST(GdiDc, NewDcStartsWithWindowsDefaults) {
    MemoryDc m(8, 8);
    EXPECT_EQ(GetBkMode(m.dc), OPAQUE);
    EXPECT_EQ(GetBkColor(m.dc), RGB(255, 255, 255));
    EXPECT_EQ(GetTextColor(m.dc), RGB(0, 0, 0));
    HPEN pen = CreatePen(PS_SOLID, 1, kPen);
    HBRUSH brush = CreateSolidBrush(kBrush);
    HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "KAPLO-font");
    EXPECT_EQ(SelectObject(m.dc, pen), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(m.dc, brush), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SelectObject(m.dc, font), GetStockObject(SYSTEM_FONT));
    SelectObject(m.dc, GetStockObject(BLACK_PEN));
    SelectObject(m.dc, GetStockObject(WHITE_BRUSH));
    SelectObject(m.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(pen);
    DeleteObject(brush);
    DeleteObject(font);
    // The defaults draw a black one-pixel outline around white.
    m.clear(RGB(9, 9, 9));
    Rectangle(m.dc, 0, 0, 8, 8);
    EXPECT_EQ(GetPixel(m.dc, 0, 3), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(m.dc, 7, 7), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(m.dc, 1, 1), RGB(255, 255, 255));
}

// A DC's handle stops working when the DC goes, even right after drawing
// through it, and a DC made in its place answers only to its own handle.
TEST(GdiDc, ADeletedDcIsRefusedEvenRightAfterUse) {
    HDC first = CreateCompatibleDC(nullptr);
    EXPECT_TRUE(Rectangle(first, 0, 0, 1, 1));
    EXPECT_TRUE(DeleteDC(first));
    EXPECT_FALSE(Rectangle(first, 0, 0, 1, 1));
    EXPECT_EQ(SetBkMode(first, TRANSPARENT), 0);
    HDC second = CreateCompatibleDC(nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(SetBkMode(second, TRANSPARENT), OPAQUE);
    EXPECT_EQ(GetBkMode(first), 0);
    EXPECT_EQ(GetBkMode(second), TRANSPARENT);
    EXPECT_FALSE(DeleteDC(first));
    EXPECT_TRUE(DeleteDC(second));
    EXPECT_EQ(GetBkMode(second), 0);
}

TEST(GdiDc, AttributeSettersReturnThePreviousValue) {
    MemoryDc m(4, 4);
    EXPECT_EQ(SetBkMode(m.dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(m.dc, 99), 0);  // not a mode: refused
    EXPECT_EQ(GetBkMode(m.dc), TRANSPARENT);
    EXPECT_EQ(SetTextColor(m.dc, RGB(1, 2, 3)), RGB(0, 0, 0));
    EXPECT_EQ(GetTextColor(m.dc), RGB(1, 2, 3));
    EXPECT_EQ(SetBkColor(m.dc, RGB(4, 5, 6)), RGB(255, 255, 255));
    EXPECT_EQ(GetBkColor(m.dc), RGB(4, 5, 6));
}

TEST(GdiDc, MemoryDcWithoutBitmapDrawsHarmlessly) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_TRUE(Rectangle(dc, -5, -5, 500, 500));
    EXPECT_TRUE(Ellipse(dc, 0, 0, 300, 300));
    MoveToEx(dc, 0, 0, nullptr);
    EXPECT_TRUE(LineTo(dc, 100, 100));
    POINT tri[3] = {{0, 0}, {50, 0}, {0, 50}};
    EXPECT_TRUE(Polygon(dc, tri, 3));
    EXPECT_EQ(GetPixel(dc, 5, 5), CLR_INVALID);  // only pixel (0, 0) exists
    MemoryDc m(8, 8);
    EXPECT_TRUE(BitBlt(m.dc, 0, 0, 8, 8, dc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(m.dc, 3, 3), kWhite);  // beyond the 1 x 1 source: left alone
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(GdiDc, WindowDcDrawsAtItsOriginInsideItsClip) {
    std::vector<uint32_t> pixels(20 * 10, 0x00FFFFFF);
    Surface s;
    s.pixels = pixels.data();
    s.width = 20;
    s.height = 10;
    s.stride = 20;
    PlatformCounts before = platform_live_objects();
    HDC dc = gdi_create_window_dc(nullptr, &s, 5, 2, RECT{5, 2, 15, 8});
    EXPECT_EQ(platform_live_objects().dcs, before.dcs + 1);
    EXPECT_EQ(gdi_dc_window(dc), nullptr);
    HBRUSH b = CreateSolidBrush(RGB(255, 0, 0));
    RECT all = {-100, -100, 100, 100};
    FillRect(dc, &all, b);
    DeleteObject(b);
    int inside = 0;
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 20; x++) {
            bool in_clip = x >= 5 && x < 15 && y >= 2 && y < 8;
            EXPECT_EQ(pixels[y * 20 + x], in_clip ? 0x00FF0000u : 0x00FFFFFFu) << x << "," << y;
            inside += in_clip;
        }
    EXPECT_EQ(inside, 60);
    EXPECT_EQ(SetPixel(dc, 0, 0, RGB(0, 0, 255)), RGB(0, 0, 255));  // DC (0,0) is surface (5,2)
    EXPECT_EQ(pixels[2 * 20 + 5], 0x000000FFu);
    EXPECT_EQ(GetPixel(dc, -1, 0), CLR_INVALID);
    EXPECT_FALSE(DeleteDC(dc));  // window DCs are released, not deleted
    gdi_release_window_dc(dc);
    EXPECT_EQ(platform_live_objects().dcs, before.dcs);
    EXPECT_FALSE(Rectangle(dc, 0, 0, 4, 4));
}

TEST(GdiObjects, BadHandlesAreRefusedWithTheFailureValue) {
    MemoryDc m(8, 8);
    HPEN pen = CreatePen(PS_SOLID, 1, kPen);
    DeleteObject(pen);
    int local = 0;
    HDC made_up = reinterpret_cast<HDC>(&local);
    HGDIOBJ stray = reinterpret_cast<HGDIOBJ>(uintptr_t(0x0047FFFFFE000001));
    EXPECT_EQ(SelectObject(m.dc, nullptr), nullptr);
    EXPECT_EQ(SelectObject(m.dc, pen), nullptr);  // deleted
    EXPECT_EQ(SelectObject(m.dc, stray), nullptr);
    EXPECT_EQ(SelectObject(m.dc, m.dc), nullptr);  // a DC is not selectable
    EXPECT_EQ(SelectObject(made_up, GetStockObject(BLACK_PEN)), nullptr);
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_FALSE(DeleteObject(m.dc));
    EXPECT_FALSE(DeleteDC(reinterpret_cast<HDC>(GetStockObject(WHITE_BRUSH))));
    EXPECT_FALSE(DeleteDC(nullptr));
    EXPECT_FALSE(Rectangle(made_up, 0, 0, 4, 4));
    EXPECT_FALSE(Ellipse(nullptr, 0, 0, 4, 4));
    EXPECT_FALSE(LineTo(nullptr, 1, 1));
    EXPECT_FALSE(MoveToEx(made_up, 1, 1, nullptr));
    EXPECT_EQ(GetPixel(made_up, 0, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(nullptr, 0, 0, 0), CLR_INVALID);
    EXPECT_EQ(GetBkMode(nullptr), 0);
    EXPECT_EQ(SetTextColor(made_up, 0), CLR_INVALID);
    RECT r = {0, 0, 4, 4};
    EXPECT_EQ(FillRect(m.dc, &r, reinterpret_cast<HBRUSH>(pen)), 0);
    EXPECT_EQ(FillRect(m.dc, &r, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_PEN))), 0);  // wrong kind
    EXPECT_EQ(CreateCompatibleBitmap(made_up, 4, 4), nullptr);
    EXPECT_EQ(CreateCompatibleDC(made_up), nullptr);
    EXPECT_EQ(GetStockObject(-1), nullptr);
    EXPECT_EQ(GetStockObject(99), nullptr);
    SIZE size;
    TEXTMETRICA tm;
    EXPECT_FALSE(GetTextExtentPointA(made_up, "a", 1, &size));
    EXPECT_FALSE(GetTextMetricsA(nullptr, &tm));
    EXPECT_FALSE(TextOutA(made_up, 0, 0, "a", 1));
    EXPECT_FALSE(TextOutA(m.dc, 0, 0, nullptr, 3));
    EXPECT_FALSE(ScrollDC(made_up, 0, 1, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(m.picture(), "");
}

TEST(GdiObjects, StockObjectsAreNotCountedAndSurviveDeletion) {
    PlatformCounts before = platform_live_objects();
    for (int i : {WHITE_BRUSH, BLACK_BRUSH, NULL_BRUSH, WHITE_PEN, BLACK_PEN, NULL_PEN, ANSI_FIXED_FONT, SYSTEM_FONT}) {
        ASSERT_NE(GetStockObject(i), nullptr) << i;
        EXPECT_TRUE(DeleteObject(GetStockObject(i))) << i;
    }
    EXPECT_TRUE(same_counts(before, platform_live_objects()));
    MemoryDc m(8, 8);
    HGDIOBJ old = SelectObject(m.dc, GetStockObject(BLACK_BRUSH));
    Rectangle(m.dc, 0, 0, 4, 4);
    SelectObject(m.dc, old);
    EXPECT_EQ(GetPixel(m.dc, 1, 1), RGB(0, 0, 0));
}

TEST(GdiObjects, ABitmapLivesInOneDcAtATime) {
    MemoryDc a(4, 4);
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(other, a.bitmap), nullptr);
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_EQ(CreateCompatibleBitmap(a.dc, -1, 5), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(a.dc, 100000, 100000), nullptr);  // too large: refused, not a crash
}

TEST(GdiObjects, DeletingASelectedObjectWaitsUntilItIsDeselected) {
    MemoryDc m(8, 8);
    PlatformCounts before = platform_live_objects();
    HPEN pen = CreatePen(PS_SOLID, 1, kPen);
    HGDIOBJ old = SelectObject(m.dc, pen);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_EQ(platform_live_objects().pens, before.pens + 1);
    MoveToEx(m.dc, 0, 1, nullptr);
    LineTo(m.dc, 4, 1);  // still drawable while selected
    EXPECT_EQ(GetPixel(m.dc, 2, 1), kPen);
    SelectObject(m.dc, old);
    EXPECT_EQ(platform_live_objects().pens, before.pens);
    EXPECT_EQ(SelectObject(m.dc, pen), nullptr);
}

TEST(GdiObjects, DeleteDcDeselectsButKeepsTheObjects) {
    PlatformCounts before = platform_live_objects();
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bm = CreateCompatibleBitmap(dc, 4, 4);
    HBRUSH br = CreateSolidBrush(kBrush);
    SelectObject(dc, bm);
    SelectObject(dc, br);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(platform_live_objects().bitmaps, before.bitmaps + 1);
    EXPECT_TRUE(DeleteObject(bm));
    EXPECT_TRUE(DeleteObject(br));
    EXPECT_TRUE(same_counts(before, platform_live_objects())) << describe(platform_live_objects());
}

// An object selected into several DCs and deleted lives until the last one
// lets it go, by selecting something else or by being deleted itself.
TEST(GdiObjects, AnObjectDeletedWhileInTwoDcsGoesWhenBothLetGo) {
    MemoryDc a(4, 4), b(4, 4);
    PlatformCounts before = platform_live_objects();
    HBRUSH brush = CreateSolidBrush(kBrush);
    HGDIOBJ old_a = SelectObject(a.dc, brush);
    HGDIOBJ old_b = SelectObject(b.dc, brush);
    HDC c = CreateCompatibleDC(nullptr);
    SelectObject(c, brush);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_EQ(SelectObject(a.dc, brush), nullptr);  // deleted: no longer selectable
    SelectObject(a.dc, old_a);
    EXPECT_TRUE(DeleteDC(c));
    EXPECT_EQ(platform_live_objects().brushes, before.brushes + 1);
    Rectangle(b.dc, 0, 0, 4, 4);
    EXPECT_EQ(GetPixel(b.dc, 1, 1), kBrush);
    EXPECT_EQ(SelectObject(b.dc, old_b), brush);
    EXPECT_TRUE(same_counts(before, platform_live_objects())) << describe(platform_live_objects());
    EXPECT_FALSE(DeleteObject(brush));
}

// Thousands of objects alive at once: each handle keeps naming its own object;
// once deleted none of them names anything, not even after their slots have
// been taken by new objects of another kind.
TEST(GdiObjects, ThousandsOfLiveObjectsKeepTheirOwnHandles) {
    MemoryDc m(4, 1);
    PlatformCounts before = platform_live_objects();
    const int count = 5000;
    std::vector<HPEN> pens;
    for (int i = 0; i < count; i++) pens.push_back(CreatePen(PS_SOLID, 1, RGB(i & 255, i >> 8, 7)));
    EXPECT_EQ(platform_live_objects().pens, before.pens + count);
    for (int i = 0; i < count; i += 97) {
        HGDIOBJ old = SelectObject(m.dc, pens[i]);
        ASSERT_NE(old, nullptr) << i;
        MoveToEx(m.dc, 0, 0, nullptr);
        LineTo(m.dc, 3, 0);
        EXPECT_EQ(GetPixel(m.dc, 1, 0), RGB(i & 255, i >> 8, 7)) << i;
        SelectObject(m.dc, old);
    }
    for (HPEN pen : pens) EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(same_counts(before, platform_live_objects())) << describe(platform_live_objects());
    std::vector<HBRUSH> brushes;
    for (int i = 0; i < count; i++) brushes.push_back(CreateSolidBrush(RGB(1, 2, 3)));
    for (int i = 0; i < count; i++) {
        ASSERT_NE(brushes[i], nullptr) << i;
        EXPECT_NE((void *)brushes[i], (void *)pens[i]) << i;
        EXPECT_EQ(SelectObject(m.dc, pens[i]), nullptr) << i;
        EXPECT_FALSE(DeleteObject(pens[i])) << i;
    }
    EXPECT_EQ(platform_live_objects().brushes, before.brushes + count);
    for (HBRUSH brush : brushes) EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(same_counts(before, platform_live_objects())) << describe(platform_live_objects());
}

// 10,000 primitives of every kind through the package's sequence: create,
// select, draw, select back, delete. Nothing may be left behind.
TEST(GdiObjects, TenThousandPrimitivesOfEveryKindLeakNothing) {
    MemoryDc m(601, 540);
    PlatformCounts before = platform_live_objects();
    for (int i = 0; i < 10000; i++) {
        int x = (i * 37) % 700 - 50, y = (i * 53) % 640 - 50, w = i % 12;
        COLORREF color = RGB(i & 255, (i >> 3) & 255, 90);
        for (int kind = 0; kind < 4; kind++) {
            HPEN pen = CreatePen(PS_SOLID, w, color);
            HGDIOBJ old_pen = SelectObject(m.dc, pen);
            HGDIOBJ brush = w == 0 ? (HGDIOBJ)CreateSolidBrush(color) : GetStockObject(NULL_BRUSH);
            HGDIOBJ old_brush = SelectObject(m.dc, brush);
            POINT tri[3] = {{x, y}, {x + 30, y + 5}, {x + 9, y - 20}};
            switch (kind) {
            case 0: Polygon(m.dc, tri, 3); break;
            case 1: Rectangle(m.dc, x, y, x + 21, y + 11); break;
            case 2: Ellipse(m.dc, x, y, x + 31, y + 13); break;
            case 3:
                MoveToEx(m.dc, x, y, nullptr);
                LineTo(m.dc, x + 40, y - 7);
                break;
            }
            SelectObject(m.dc, old_pen);
            SelectObject(m.dc, old_brush);
            DeleteObject(pen);
            DeleteObject(brush);
        }
        SetPixel(m.dc, x, y, color);
        // text: colour, transparent mode, a font, a locked text block
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 6);
        char *text = static_cast<char *>(GlobalLock(block));
        memcpy(text, "Laser", 6);
        SetTextColor(m.dc, color);
        int mode = GetBkMode(m.dc);
        SetBkMode(m.dc, TRANSPARENT);
        HFONT font = CreateFontA(-(i % 20), 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "KAPLO-font");
        HGDIOBJ old_font = SelectObject(m.dc, font);
        SIZE extent;
        GetTextExtentPointA(m.dc, text, 5, &extent);
        TextOutA(m.dc, x, y, text, 5);
        GlobalUnlock(block);
        SetBkMode(m.dc, mode);
        SelectObject(m.dc, old_font);
        DeleteObject(font);
        GlobalFree(block);
    }
    EXPECT_TRUE(same_counts(before, platform_live_objects()))
        << "before: " << describe(before) << "\nafter:  " << describe(platform_live_objects());
}

// ---- kernel: global memory ------------------------------------------------

TEST(GlobalMemory, MoveableBlocksCountLocks) {
    int blocks = platform_live_objects().global_blocks;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 10);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(platform_live_objects().global_blocks, blocks + 1);
    EXPECT_EQ(GlobalSize(h), 10u);
    char *p = static_cast<char *>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    EXPECT_NE(static_cast<void *>(p), h);  // a moveable handle is not the address
    EXPECT_EQ(GlobalLock(h), p);
    strcpy(p, "123456789");
    EXPECT_TRUE(GlobalUnlock(h));   // still locked once
    EXPECT_FALSE(GlobalUnlock(h));  // now unlocked
    EXPECT_FALSE(GlobalUnlock(h));  // was not locked
    EXPECT_STREQ(static_cast<char *>(GlobalLock(h)), "123456789");
    EXPECT_EQ(GlobalFree(h), nullptr);  // a locked block is freed all the same
    EXPECT_EQ(platform_live_objects().global_blocks, blocks);
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GlobalSize(h), 0u);
    EXPECT_EQ(GlobalFree(h), h);  // twice: refused
}

TEST(GlobalMemory, FixedBlocksZeroSizesAndBadHandles) {
    HGLOBAL fixed = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 16);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(GlobalLock(fixed), fixed);  // the handle is the address
    EXPECT_EQ(static_cast<char *>(fixed)[15], 0);
    EXPECT_TRUE(GlobalUnlock(fixed));
    EXPECT_EQ(GlobalFree(fixed), nullptr);
    HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GlobalLock(empty), nullptr);  // no memory behind a 0-byte moveable block
    EXPECT_EQ(GlobalFree(empty), nullptr);
    int local = 0;
    EXPECT_EQ(GlobalLock(&local), nullptr);
    EXPECT_FALSE(GlobalUnlock(&local));
    EXPECT_EQ(GlobalSize(nullptr), 0u);
    EXPECT_EQ(GlobalFree(&local), &local);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, SIZE_MAX), nullptr);  // cannot be had: NULL, not a crash
}

// Drawing on a window's DC tells USER once per call, so that the window is
// presented (the headless backend records one frame per such call).
TEST(GdiDc, EachDrawingCallOnAWindowDcIsReportedOnce) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "GdiDrawnProbe";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "GdiDrawnProbe", "probe", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 0, 0, 200, 150,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    HDC dc = GetDC(hwnd);
    ASSERT_EQ(gdi_dc_window(dc), hwnd);
    MemoryDc m(20, 20);
    long frames = headless_frame_count(hwnd);
    Rectangle(dc, 1, 1, 30, 30);
    EXPECT_EQ(headless_frame_count(hwnd), frames + 1);
    POINT tri[3] = {{0, 0}, {9, 0}, {0, 9}};
    Polygon(dc, tri, 3);
    BitBlt(dc, 0, 0, 20, 20, m.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(headless_frame_count(hwnd), frames + 3);
    Rectangle(m.dc, 1, 1, 5, 5);  // a memory DC is nobody's window
    BitBlt(m.dc, 0, 0, 10, 10, dc, 20, 0, SRCCOPY);  // the rectangle's top edge, right of the copied block
    EXPECT_EQ(headless_frame_count(hwnd), frames + 3);
    EXPECT_EQ(GetPixel(m.dc, 5, 1), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(m.dc, 5, 2), RGB(255, 255, 255));
    ReleaseDC(hwnd, dc);
    DestroyWindow(hwnd);
}
