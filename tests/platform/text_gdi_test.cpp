// Text through the Win32 calls on a memory DC: the DC's font, text colour and
// background mode reach the glyphs, and fonts made per call leak nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <string>

#include "../../platform/gdi/text.h"
#include "platform_tools.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

// A memory DC holding a white bitmap.
class TextDc : public testing::Test {
protected:
    static constexpr int kWidth = 200, kHeight = 60;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old_bitmap = nullptr;

    // A 200 x 60 white bitmap in a memory DC on a fresh layer.
    void SetUp() override {
        platform_use_headless();
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
        ReleaseDC(nullptr, screen);
        old_bitmap = SelectObject(dc, bitmap);
        RECT all = {0, 0, kWidth, kHeight};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    // Frees the bitmap and the DC.
    void TearDown() override {
        SelectObject(dc, old_bitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    // The metrics of the selected font.
    TEXTMETRICA metrics() {
        TEXTMETRICA m = {};
        EXPECT_TRUE(GetTextMetricsA(dc, &m));
        return m;
    }
    // How many pixels of a box hold a colour.
    int count(COLORREF color, RECT box = {0, 0, kWidth, kHeight}) {
        int n = 0;
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x) n += GetPixel(dc, x, y) == color;
        return n;
    }
    // How many pixels are no longer white.
    int non_white() { return kWidth * kHeight - count(kWhite); }
    // The font the package creates for text of a height.
    HFONT make_font(int height, int weight = FW_NORMAL) {
        return CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "KAPLO-font");
    }
};

}  // namespace

TEST_F(TextDc, DefaultFontIsTheSixteenPixelSystemFont) {
    TEXTMETRICA m = metrics();
    EXPECT_EQ(m.tmHeight, 16);
    SIZE size;
    ASSERT_TRUE(GetTextExtentPointA(dc, "A\nB", 3, &size));
    EXPECT_EQ(size.cy, 16);
    EXPECT_GT(size.cx, 0);
}

TEST_F(TextDc, SelectedFontsGiveTheirMetrics) {
    SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
    TEXTMETRICA fixed = metrics();
    EXPECT_EQ(fixed.tmHeight, 13);
    EXPECT_EQ(fixed.tmAscent, 11);
    EXPECT_EQ(fixed.tmDescent, 2);
    EXPECT_EQ(fixed.tmInternalLeading + fixed.tmExternalLeading, 0);
    SIZE size;
    GetTextExtentPointA(dc, "line\tone\r\n", 10, &size);
    EXPECT_EQ(size.cx, 80);
    EXPECT_EQ(size.cy, 13);

    for (int height : {-12, 12, 0}) {
        HFONT font = make_font(height);
        HGDIOBJ previous = SelectObject(dc, font);
        TEXTMETRICA m = metrics();
        if (height < 0) {
            EXPECT_EQ(m.tmHeight - m.tmInternalLeading, -height);
        }
        else EXPECT_EQ(m.tmHeight, height ? height : 16);
        SelectObject(dc, previous);
        DeleteObject(font);
    }
}

TEST_F(TextDc, TextOutUsesTextColourAndBackgroundMode) {
    HFONT font = make_font(-20);
    HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICA m = metrics();
    SIZE size;
    GetTextExtentPointA(dc, "Hi", 2, &size);
    RECT cell = {10, 5, 10 + size.cx, 5 + m.tmHeight};

    // Default: OPAQUE over the background colour.
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    SetBkColor(dc, RGB(0, 0, 255));
    SetTextColor(dc, RGB(255, 0, 0));
    ASSERT_TRUE(TextOutA(dc, 10, 5, "Hi", 2));
    EXPECT_EQ(count(RGB(255, 0, 0), cell) + count(RGB(0, 0, 255), cell) > size.cx * m.tmHeight / 2, true);
    EXPECT_EQ(GetPixel(dc, cell.left, cell.top), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, cell.right - 1, cell.bottom - 1), RGB(0, 0, 255));
    EXPECT_EQ(non_white(), size.cx * m.tmHeight);  // the cell, nothing beyond it
    EXPECT_GT(count(RGB(255, 0, 0), cell), 10);

    // TRANSPARENT: only glyph pixels change.
    RECT all = {0, 0, kWidth, kHeight};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, 10, 5, "Hi", 2);
    EXPECT_EQ(count(RGB(0, 0, 255)), 0);
    EXPECT_GT(count(RGB(255, 0, 0), cell), 10);
    EXPECT_EQ(GetPixel(dc, cell.left, cell.top), kWhite);

    SelectObject(dc, previous);
    DeleteObject(font);
}

TEST_F(TextDc, TextOutAtExtremeCoordinatesChangesNothing) {
    std::string text(20000, 'M');  // narrower than a million pixels
    const int coords[] = {INT_MIN, -1000000, 1000000, INT_MAX};
    for (int x : coords) {
        for (int y : coords) {
            EXPECT_TRUE(TextOutA(dc, x, y, text.data(), static_cast<int>(text.size())));
            EXPECT_TRUE(TextOutA(dc, x, 10, text.data(), static_cast<int>(text.size())));
            EXPECT_TRUE(TextOutA(dc, 10, y, text.data(), static_cast<int>(text.size())));
        }
    }
    EXPECT_EQ(non_white(), 0);
    // Started left of the bitmap, a long run still reaches it.
    TextOutA(dc, -5000, 10, text.data(), static_cast<int>(text.size()));
    EXPECT_GT(non_white(), 0);
}

TEST_F(TextDc, FontsMadePerCallLeakNothing) {
    auto draw_label = [&](int round) {
        HFONT font = make_font(-(round % 40));
        HGDIOBJ previous = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        TextOutA(dc, round % 50, 20, "Laser Blast Attack", 18);
        SIZE size;
        GetTextExtentPointA(dc, "Laser Blast Attack", 18, &size);
        SelectObject(dc, previous);
        DeleteObject(font);
    };
    for (int round = 0; round < 200; ++round) draw_label(round);  // every size at every x
    GetPixel(dc, 0, 0);  // text on a bitmap is drawn when its pixels are needed
    PlatformCounts objects = platform_live_objects();
    TextCacheCounts cache = text_cache_counts();
    for (int round = 0; round < 4000; ++round) draw_label(round);
    GetPixel(dc, 0, 0);
    EXPECT_EQ(platform_live_objects().fonts, objects.fonts);
    EXPECT_EQ(text_cache_counts().requests, cache.requests);
    EXPECT_EQ(text_cache_counts().faces, cache.faces);
    EXPECT_EQ(text_cache_counts().glyph_bytes, cache.glyph_bytes);
}
