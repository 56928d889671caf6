// Shared set-up for the game tests: a clean package state per test, the log
// ring, and the package's back buffer read at package points.
#pragma once

#include <gtest/gtest.h>

#include "../package/package_fixture.h"
#include "game.h"

// Palette entries as 0x00RRGGBB, the form frames are read in.
#define RGB_BLACK 0x000000u
#define RGB_SEA_GREEN 0x33CC99u
#define RGB_GRAY_50 0x808080u
#define RGB_OLIVE 0x999933u
#define RGB_GOLD 0xCC9933u
#define RGB_ICE_BLUE 0x99FFFFu
#define RGB_YELLOW 0xFFFF00u

// The back buffer's pixel at a package point as 0x00RRGGBB.
inline unsigned back_buffer_rgb(int x, int y) {
    COLORREF c = GetPixel(package_state.back_buffer_dc, package_state.origin_x + x, package_state.origin_y - y);
    return (unsigned)(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
}

// A test that starts and ends with a fresh package and platform.
// The package's own timer keeps running here, as in the game.
class FreshPackageTest : public PackageTest {
protected:
    // Opens the package's windows, as the game's start-up does.
    void begin() {
        KAPLO_begin(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
        ASSERT_NE(package_state.drawing_window, nullptr);
        KAPLO_wipe();
    }
};
