// Shared set-up for the USER tests: a fresh headless layer, a window class
// whose procedure records every message, and helpers to pump the queue.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "platform_tools.h"

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

// Messages the recording procedure received, in order.
inline std::vector<Seen> &seen() {
    static std::vector<Seen> list;
    return list;
}

// Whether the recording procedure builds a menu bar on WM_CREATE.
inline bool &menu_on_create() {
    static bool on = false;
    return on;
}

// Builds a bar with one "&Run" pop-up like the package's: three commands, a
// separator, a checked item, a grayed item.
inline HMENU build_run_menu(HMENU *popup_out) {
    HMENU bar = CreateMenu();
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, 1, "&Animate\tCtrl+A");
    AppendMenuA(popup, MF_STRING, 2, "&Halt animation\tCtrl+H");
    AppendMenuA(popup, MF_STRING, 3, "Advance one &frame\tCtrl+F");
    AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(popup, MF_STRING | MF_CHECKED, 4, "&Logging\tCtrl+L");
    AppendMenuA(popup, MF_STRING | MF_GRAYED, 9, "INFO: someone@example.org");
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)popup, "&Run");
    if (popup_out) *popup_out = popup;
    return bar;
}

// Records every message, builds the menu on WM_CREATE when asked, and leaves
// the rest to DefWindowProcA.
inline LRESULT CALLBACK recording_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    seen().push_back(Seen{hwnd, message, wparam, lparam});
    if (message == WM_CREATE && menu_on_create()) {
        SetMenu(hwnd, build_run_menu(nullptr));
        DrawMenuBar(hwnd);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

// The messages recorded, without their parameters.
inline std::vector<UINT> seen_messages() {
    std::vector<UINT> out;
    for (const Seen &s : seen()) out.push_back(s.message);
    return out;
}

class UserTest : public testing::Test {
protected:
    // A fresh layer and the recording class.
    void SetUp() override {
        platform_use_headless();
        seen().clear();
        menu_on_create() = false;
        WNDCLASSA wc{};
        wc.lpfnWndProc = recording_proc;
        wc.lpszClassName = "RecordingClass";
        wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        ASSERT_NE(RegisterClassA(&wc), 0);
    }

    // The drawing-window shape: caption, system menu, 601 x 540.
    HWND make_window(bool with_menu, DWORD style = WS_CAPTION | WS_SYSMENU) {
        menu_on_create() = with_menu;
        return CreateWindowExA(0, "RecordingClass", "Test window", style, 0, 0, 601, 540, nullptr,
                               nullptr, nullptr, nullptr);
    }

    // A shown window with its first messages and paint already handled.
    HWND shown_window(bool with_menu) {
        HWND hwnd = make_window(with_menu);
        ShowWindow(hwnd, SW_SHOWNORMAL);
        ValidateRect(hwnd, nullptr);
        seen().clear();
        return hwnd;
    }

    // Takes the next message (dispatching it when asked).
    MSG next(bool dispatch = false) {
        MSG msg{};
        GetMessageA(&msg, nullptr, 0, 0);
        if (dispatch) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return msg;
    }
};
