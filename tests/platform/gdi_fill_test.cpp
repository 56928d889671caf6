// Span fills of every short length at every start within a 32-byte line:
// exactly the pixels asked for change, none beside them (the long-run fill
// writes overlapping and aligned blocks, so its edges are where it would go wrong).
#include <gtest/gtest.h>
#include <windows.h>

#include "platform_tools.h"

namespace {

const int kWidth = 200, kHeight = 3;

TEST(GdiFill, EveryLengthAtEveryAlignmentFillsExactlyItsPixels) {
    platform_use_headless();
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, kWidth, kHeight);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH background = CreateSolidBrush(RGB(1, 2, 3));
    HBRUSH paint = CreateSolidBrush(RGB(200, 100, 50));
    const RECT all = {0, 0, kWidth, kHeight};
    for (int start = 0; start < 9; start++) {
        for (int length = 0; start + length <= kWidth - 2 && length <= 180; length++) {
            FillRect(dc, &all, background);
            RECT r = {start, 1, start + length, 2};
            FillRect(dc, &r, paint);
            for (int y = 0; y < kHeight; y++) {
                for (int x = 0; x < kWidth; x++) {
                    bool inside = y == 1 && x >= start && x < start + length;
                    COLORREF want = inside ? RGB(200, 100, 50) : RGB(1, 2, 3);
                    ASSERT_EQ(GetPixel(dc, x, y), want) << "start " << start << " length " << length << " at " << x
                                                        << "," << y;
                }
            }
        }
    }
    SelectObject(dc, old);
    DeleteObject(paint);
    DeleteObject(background);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

}  // namespace
