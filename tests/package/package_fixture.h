// Shared set-up for the package tests: a clean package state and platform per
// test, and helpers that drive the drawing window the way the platform would.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "package.h"

#ifndef _WIN32
#include "platform_tools.h"
#endif

// Frees what the package state holds and puts every field back to its initial value.
inline void reset_package_state() {
    for (HGLOBAL &line : package_state.log_lines) {
        if (line != nullptr) GlobalFree(line);
        line = nullptr;
    }
    if (package_state.script_file != nullptr) fclose(package_state.script_file);
    package_state = PackageState{};
}

// One event as KAPLO_next_event hands it out.
struct Event {
    int kind;
    int x;
    int y;
    char key;
};

// Retrieves the next event.
inline Event next_event() {
    Event event = {0, -12345, -12345, 'z'};
    event.kind = KAPLO_next_event(&event.x, &event.y, &event.key);
    return event;
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

// The number of lines in the log ring.
inline int log_count() {
    const PackageState &state = package_state;
    if (state.log_oldest == -1) return 0;
    int count = ((state.log_next - state.log_oldest) % LOG_RING_SIZE + LOG_RING_SIZE) % LOG_RING_SIZE;
    return count == 0 ? LOG_RING_SIZE : count;
}

// A package test starts with a fresh state; begin() opens the windows.
class PackageTest : public testing::Test {
protected:
    int log_before = 0;

    void SetUp() override {
        reset_package_state();
#ifndef _WIN32
        platform_use_headless();
#endif
    }

    void TearDown() override { reset_package_state(); }

    // Starts the package and stops its own timer, so that only posted timer messages count.
    void begin() {
        KAPLO_begin(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
        ASSERT_NE(package_state.drawing_window, nullptr);
        KillTimer(package_state.drawing_window, PERIODIC_TIMER_ID);
    }

    // Posts a left-button press at a client position of the drawing window.
    void post_click(int client_x, int client_y) {
        PostMessageA(package_state.drawing_window, WM_LBUTTONDOWN, MK_LBUTTON,
                     MAKELPARAM(client_x, client_y));
    }

    // Posts a typed character to the drawing window.
    void post_char(char c) {
        PostMessageA(package_state.drawing_window, WM_CHAR, (WPARAM)(unsigned char)c, 0);
    }

    // Posts one message of the package's timer.
    void post_tick() {
        PostMessageA(package_state.drawing_window, WM_TIMER, PERIODIC_TIMER_ID, 0);
    }

    // Posts a key press or release to a window.
    void post_key(HWND window, UINT message, int virtual_key) {
        PostMessageA(window, message, (WPARAM)virtual_key, 0);
    }

    // The pixel of the back buffer at a package point.
    COLORREF back_pixel_at(int x, int y) {
        return GetPixel(package_state.back_buffer_dc, package_state.origin_x + x,
                        package_state.origin_y - y);
    }

    // The pixel of the back buffer at a column and row.
    COLORREF back_pixel(int column, int row) {
        return GetPixel(package_state.back_buffer_dc, column, row);
    }
};
