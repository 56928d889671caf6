// The desktop backend's own keys and scale on a real (virtual) X display: F12
// saves a PNG, Shift+F12 records a GIF, neither reaches the program, and a
// forced scale of 2 doubles the window while clicks map back to logical
// pixels.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform_tools.h"
#include "shell_line.h"

namespace {

// The name of a file in the current folder ending in ext, "" when none.
std::string file_ending(const char *ext) {
    std::string found;
    if (DIR *d = opendir(".")) {
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > strlen(ext) && n.compare(n.size() - strlen(ext), strlen(ext), ext) == 0 &&
                n.find(".part-") == std::string::npos)
                found = n;
        }
        closedir(d);
    }
    return found;
}

LRESULT CALLBACK capture_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

class SdlCaptureTest : public testing::Test {
protected:
    HWND hwnd = nullptr;
    std::string xid, previous, folder;
    bool saw_f12 = false;

    void SetUp() override {
        if (!getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY";
        if (system("command -v xdotool > /dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
        char cwd[4096], name[] = "/tmp/kaplo-capture-XXXXXX";
        previous = getcwd(cwd, sizeof cwd) ? cwd : "/tmp";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder = name;
        ASSERT_EQ(chdir(name), 0);
        platform_set_desktop_scale(2);
        ASSERT_EQ(platform_use_desktop(), 1);
        WNDCLASSA wc{};
        wc.lpfnWndProc = capture_proc;
        wc.lpszClassName = "CaptureClass";
        RegisterClassA(&wc);
        hwnd = CreateWindowExA(0, "CaptureClass", "KAPLO capture window", WS_CAPTION | WS_SYSMENU,
                               20, 20, 601, 540, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        HMENU bar = CreateMenu(), popup = CreatePopupMenu();
        AppendMenuA(popup, MF_STRING, 11, "&First");
        AppendMenuA(bar, MF_POPUP, (UINT_PTR)popup, "&Run");
        SetMenu(hwnd, bar);
        ShowWindow(hwnd, SW_SHOWNORMAL);
        SetTimer(hwnd, 1, 20, nullptr);  // every wait below ends within 20 ms
        xid = first_line("timeout 10 xdotool search --sync --onlyvisible --name 'KAPLO capture window'");
        ASSERT_FALSE(xid.empty()) << "the window never appeared";
    }

    void TearDown() override {
        platform_set_desktop_scale(0);
        platform_use_headless();
        if (!previous.empty() && chdir(previous.c_str()) == 0)
            (void)!system(("rm -rf '" + folder + "'").c_str());
    }

    // Handles messages for up to two seconds, or until a message of this kind.
    MSG pump_until(UINT wanted) {
        MSG msg{};
        for (int ticks = 0; ticks < 100;) {
            GetMessageA(&msg, nullptr, 0, 0);
            if ((msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) && msg.wParam == VK_F12)
                saw_f12 = true;
            if (msg.message == wanted) return msg;
            if (msg.message == WM_TIMER) ++ticks;
            DispatchMessageA(&msg);
        }
        return MSG{};
    }

    // Presses keys in the window through the X server, then lets them arrive.
    void keys(const char *combo) {
        ASSERT_EQ(system(("timeout 10 xdotool windowfocus --sync " + xid + " key " + combo).c_str()), 0);
        pump_until(0xFFFF);
    }
};

// One test, one X connection (see sdl_smoke_test.cpp).
TEST_F(SdlCaptureTest, ScaleTwoDoublesTheWindowAndCaptureKeysWriteFiles) {
    EXPECT_EQ(platform_desktop_scale(), 2);
    EXPECT_EQ(first_line("xdotool getwindowgeometry " + xid + " | grep Geometry"), "  Geometry: 1190x990");
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 595);
    EXPECT_EQ(client.bottom, 476);

    // Desktop pixel (241, 2 * 19 + 401) lies in logical pixel (120, 200).
    ASSERT_EQ(system(("timeout 10 xdotool mousemove --window " + xid + " 241 439 click 1").c_str()), 0);
    MSG down = pump_until(WM_LBUTTONDOWN);
    ASSERT_EQ(down.message, (UINT)WM_LBUTTONDOWN);
    EXPECT_EQ(LOWORD(down.lParam), 120);
    EXPECT_EQ(HIWORD(down.lParam), 200);

    keys("F12");
    std::string png = file_ending(".png");
    ASSERT_FALSE(png.empty()) << "F12 wrote no PNG";
    EXPECT_EQ(first_line("xdotool getwindowname " + xid), "KAPLO capture window - saved " + png);
    // At logical size: the IHDR chunk's width and height, big-endian.
    unsigned char head[24] = {};
    FILE *p = fopen(png.c_str(), "rb");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(fread(head, 1, 24, p), 24u);
    fclose(p);
    EXPECT_EQ(head[18] << 8 | head[19], 595);
    EXPECT_EQ(head[22] << 8 | head[23], 495);

    keys("shift+F12");
    keys("shift+F12");
    std::string gif = file_ending(".gif");
    ASSERT_FALSE(gif.empty()) << "Shift+F12 twice wrote no GIF";
    FILE *f = fopen(gif.c_str(), "rb");
    char magic[7] = {};
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fread(magic, 1, 6, f), 6u);
    fclose(f);
    EXPECT_STREQ(magic, "GIF89a");
    EXPECT_FALSE(saw_f12) << "F12 reached the program";
}

}  // namespace
