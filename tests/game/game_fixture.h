// Shared set-up for the game tests: a clean package state per test, the log
// ring, and the package's back buffer read at package points.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "game.h"
#include "package.h"

#ifndef _WIN32
#include "platform_tools.h"
#endif

// Palette entries as 0x00RRGGBB, the form frames are read in.
#define RGB_BLACK 0x000000u
#define RGB_SEA_GREEN 0x33CC99u
#define RGB_GRAY_50 0x808080u
#define RGB_OLIVE 0x999933u
#define RGB_GOLD 0xCC9933u
#define RGB_ICE_BLUE 0x99FFFFu
#define RGB_YELLOW 0xFFFF00u

// Frees what the package state holds and puts every field back to its initial
// value, as a fresh process would have it.
inline void reset_package_state() {
    for (HGLOBAL &line : package_state.log_lines) {
        if (line != nullptr) GlobalFree(line);
        line = nullptr;
    }
    if (package_state.script_file != nullptr) fclose(package_state.script_file);
    package_state = PackageState{};
}

// The stored log line of the given age (0 the newest), or "<none>".
inline std::string log_line(int age) {
    const PackageState &state = package_state;
    if (state.log_oldest == -1) return "<none>";
    int slot = ((state.log_next - 1 - age) % LOG_RING_SIZE + LOG_RING_SIZE) % LOG_RING_SIZE;
    HGLOBAL block = state.log_lines[slot];
    if (block == nullptr) return "<none>";
    const char *text = (const char *)GlobalLock(block);
    std::string line = text != nullptr ? text : "<unlocked>";
    GlobalUnlock(block);
    return line;
}

// The back buffer's pixel at a package point as 0x00RRGGBB.
inline unsigned back_buffer_rgb(int x, int y) {
    COLORREF c = GetPixel(package_state.back_buffer_dc, package_state.origin_x + x, package_state.origin_y - y);
    return (unsigned)(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
}

// A test that starts and ends with a fresh package and platform.
class FreshPackageTest : public testing::Test {
protected:
    void SetUp() override {
        reset_package_state();
#ifndef _WIN32
        platform_use_headless();
#endif
    }

    void TearDown() override { reset_package_state(); }

    // Opens the package's windows, as the game's start-up does.
    void begin() {
        KAPLO_begin(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
        ASSERT_NE(package_state.drawing_window, nullptr);
        KAPLO_wipe();
    }
};
