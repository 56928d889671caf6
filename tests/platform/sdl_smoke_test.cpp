// The SDL2 backend on a real (virtual) X display: a window opens with its
// title, and clicks made by xdotool arrive as messages at the right points.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform_tools.h"
#include "shell_line.h"

namespace {

// Leaves other messages to default handling.
LRESULT CALLBACK smoke_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

class SdlSmokeTest : public testing::Test {
protected:
    HWND hwnd = nullptr;
    std::string xid;

    void SetUp() override {
        if (!getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY";
        if (system("command -v xdotool > /dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
        ASSERT_EQ(platform_use_desktop(), 1);
        WNDCLASSA wc{};
        wc.lpfnWndProc = smoke_proc;
        wc.lpszClassName = "SmokeClass";
        RegisterClassA(&wc);
        hwnd = CreateWindowExA(0, "SmokeClass", "KAPLO smoke window", WS_CAPTION | WS_SYSMENU, 40,
                               30, 601, 540, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        HMENU bar = CreateMenu(), popup = CreatePopupMenu();
        AppendMenuA(popup, MF_STRING, 11, "&First\tCtrl+F");
        AppendMenuA(popup, MF_STRING, 12, "&Second");
        AppendMenuA(bar, MF_POPUP, (UINT_PTR)popup, "&Run");
        SetMenu(hwnd, bar);
        ShowWindow(hwnd, SW_SHOWNORMAL);
        // A guard timer: a click that never arrives ends the wait with WM_TIMER.
        SetTimer(hwnd, 1, 5000, nullptr);
        xid = first_line("timeout 10 xdotool search --sync --onlyvisible --name 'KAPLO smoke window'");
        ASSERT_FALSE(xid.empty()) << "the window never appeared";
    }

    void TearDown() override { platform_use_headless(); }

    // Clicks at a client point through the X server.
    void x_click(int client_x, int client_y) {
        int menu = 19;  // the window content starts with the menu bar
        std::string cmd = "timeout 10 xdotool mousemove --window " + xid + " " +
                          std::to_string(client_x) + " " + std::to_string(client_y + menu) +
                          " click 1";
        ASSERT_EQ(system(cmd.c_str()), 0);
    }

    // The next message that is not a mouse move, paint or focus message.
    MSG next_interesting() {
        MSG msg{};
        for (;;) {
            GetMessageA(&msg, nullptr, 0, 0);
            if (msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONUP) continue;
            if (msg.message == WM_PAINT) {
                DispatchMessageA(&msg);
                continue;
            }
            return msg;
        }
    }
};

// One test, one X connection: Xvfb resets itself when its last client
// leaves, which a second connection from the same process can race with.
TEST_F(SdlSmokeTest, WindowShowsItsTitleTakesClicksAndMenuChoices) {
    EXPECT_EQ(first_line("xdotool getwindowname " + xid), "KAPLO smoke window");
    EXPECT_EQ(first_line("xdotool getwindowgeometry " + xid + " | grep Geometry"), "  Geometry: 595x495");
    x_click(120, 200);
    MSG msg = next_interesting();
    ASSERT_EQ(msg.message, (UINT)WM_LBUTTONDOWN);
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(LOWORD(msg.lParam), 120);
    EXPECT_EQ(HIWORD(msg.lParam), 200);

    // A click on the title is the menu's: it opens the pop-up.
    RECT title, item;
    ASSERT_TRUE(headless_menu_rect(hwnd, 0, -1, &title));
    x_click((title.left + title.right) / 2, (title.top + title.bottom) / 2);
    for (int i = 0; i < 50 && !headless_menu_rect(hwnd, 0, 1, &item); ++i) {
        SetTimer(hwnd, 2, 20, nullptr);
        msg = next_interesting();
        ASSERT_EQ(msg.message, (UINT)WM_TIMER);
    }
    KillTimer(hwnd, 2);
    ASSERT_TRUE(headless_menu_rect(hwnd, 0, 1, &item)) << "the pop-up did not open";
    x_click((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    msg = next_interesting();
    EXPECT_EQ(msg.message, (UINT)WM_COMMAND);
    EXPECT_EQ(msg.wParam, 12u);

    // A window with a sizing border follows the desktop's resizing.
    HWND sizable = CreateWindowExA(0, "SmokeClass", "KAPLO smoke sizing", WS_OVERLAPPEDWINDOW, 700,
                                   40, 400, 300, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(sizable, SW_SHOWNORMAL);
    std::string sid =
        first_line("timeout 10 xdotool search --sync --onlyvisible --name 'KAPLO smoke sizing'");
    ASSERT_FALSE(sid.empty());
    ASSERT_EQ(system(("timeout 10 xdotool windowsize --sync " + sid + " 320 200").c_str()), 0);
    RECT client{};
    for (int i = 0; i < 50 && client.right != 320; ++i) {
        SetTimer(hwnd, 3, 20, nullptr);
        next_interesting();
        GetClientRect(sizable, &client);
    }
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
}

// Without any display, and without a runtime folder for Wayland either, the
// layer's message is all that is printed.
TEST(SdlNoDisplay, DesktopIsRefusedWithoutADisplayInOneMessage) {
    const char *names[] = {"DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"};
    std::string saved[3];
    for (int i = 0; i < 3; ++i) {
        saved[i] = getenv(names[i]) ? getenv(names[i]) : "";
        unsetenv(names[i]);
    }
    testing::internal::CaptureStderr();
    int result = platform_use_desktop();
    std::string err = testing::internal::GetCapturedStderr();
    for (int i = 0; i < 3; ++i)
        if (!saved[i].empty()) setenv(names[i], saved[i].c_str(), 1);
    platform_use_headless();
    EXPECT_EQ(result, 0);
    // One line, the layer's own (a build without the desktop backend says why
    // in its own words).
    EXPECT_EQ(err.rfind("kaplo: cannot open a display", 0), 0u) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
}

}  // namespace
