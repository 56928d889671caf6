// Windows: creation and show sequences, sizes, closing, lookups.
#include <algorithm>
#include <cstring>

#include "user_fixture.h"
#include "user/user.h"

using WindowTest = UserTest;

namespace {

// Whether the list holds the message.
bool has(const std::vector<UINT> &list, UINT message) {
    return std::find(list.begin(), list.end(), message) != list.end();
}

}  // namespace

TEST_F(WindowTest, CreationSendsItsMessagesAndNoSize) {
    HWND hwnd = make_window(true);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(seen_messages(),
              (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE}));
    EXPECT_FALSE(IsWindowVisible(hwnd));
}

TEST_F(WindowTest, CreationTheBackendCannotOpenReturnsNullSendsNothingAndLeavesNoWindow) {
    headless_fail_windows(1);
    EXPECT_EQ(make_window(true), nullptr);
    EXPECT_TRUE(seen_messages().empty());
    EXPECT_EQ(FindWindowA("RecordingClass", nullptr), nullptr);
    headless_fail_windows(0);
    HWND later = make_window(true);
    ASSERT_NE(later, nullptr);
    EXPECT_EQ(FindWindowA("RecordingClass", nullptr), later);
}

TEST_F(WindowTest, FirstShowEndsWithSizeOfTheClientAreaThenMove) {
    HWND hwnd = make_window(true);
    seen().clear();
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOWNORMAL));
    std::vector<UINT> msgs = seen_messages();
    ASSERT_GE(msgs.size(), 2u);
    EXPECT_EQ(msgs[msgs.size() - 2], (UINT)WM_SIZE);
    EXPECT_EQ(msgs.back(), (UINT)WM_MOVE);
    const Seen &size = seen()[msgs.size() - 2];
    EXPECT_EQ(LOWORD(size.lparam), 595);
    EXPECT_EQ(HIWORD(size.lparam), 476);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 595);
    EXPECT_EQ(client.bottom, 476);
    RECT outer;
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ(outer.right - outer.left, 601);
    EXPECT_EQ(outer.bottom - outer.top, 540);
    // A second show sends no size again.
    seen().clear();
    EXPECT_TRUE(ShowWindow(hwnd, SW_SHOWNORMAL));
    EXPECT_FALSE(has(seen_messages(), WM_SIZE));
}

TEST_F(WindowTest, VisibleStyleSizesInsideCreation) {
    menu_on_create() = true;
    HWND hwnd = CreateWindowExA(0, "RecordingClass", "v", WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0,
                                0, 601, 540, nullptr, nullptr, nullptr, nullptr);
    std::vector<UINT> msgs = seen_messages();
    auto create = std::find(msgs.begin(), msgs.end(), (UINT)WM_CREATE);
    auto size = std::find(msgs.begin(), msgs.end(), (UINT)WM_SIZE);
    ASSERT_NE(size, msgs.end());
    EXPECT_LT(create, size);
    EXPECT_TRUE(IsWindowVisible(hwnd));
}

TEST_F(WindowTest, WindowWithoutMenuHasTheSameFrame) {
    HWND hwnd = CreateWindowExA(0, "RecordingClass", "KAPLO Text", WS_OVERLAPPEDWINDOW, 0, 550,
                                601, GetSystemMetrics(SM_CYSCREEN) / 3, nullptr, nullptr, nullptr,
                                nullptr);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 595);
    EXPECT_EQ(client.bottom, 341 - 3 - 39 - 3);
}

TEST_F(WindowTest, SetMenuLaterShrinksTheClientArea) {
    HWND hwnd = shown_window(false);
    RECT before, after;
    GetClientRect(hwnd, &before);
    SetMenu(hwnd, build_run_menu(nullptr));
    GetClientRect(hwnd, &after);
    EXPECT_EQ(before.bottom - after.bottom, 19);
    // The window had its first size, so it hears about the change.
    EXPECT_TRUE(has(seen_messages(), WM_SIZE));
}

TEST_F(WindowTest, ScreenMetricsOfTheHeadlessBackend) {
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
}

TEST_F(WindowTest, CloseBoxClosesThroughDefaultHandling) {
    HWND hwnd = shown_window(true);
    headless_close_box(hwnd);
    MSG msg = next();
    EXPECT_EQ(msg.message, (UINT)WM_SYSCOMMAND);
    EXPECT_EQ(msg.wParam, (WPARAM)SC_CLOSE);
    DispatchMessageA(&msg);
    EXPECT_EQ(seen_messages(),
              (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(GetMenu(hwnd), nullptr);
}

// Refuses to be created.
static LRESULT CALLBACK refusing_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    seen().push_back(Seen{hwnd, message, wparam, lparam});
    if (message == WM_CREATE) return -1;
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

TEST_F(WindowTest, FailedCreationReturnsNullAndDestroys) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = refusing_proc;
    wc.lpszClassName = "Refusing";
    RegisterClassA(&wc);
    EXPECT_EQ(CreateWindowExA(0, "Refusing", "", 0, 0, 0, 10, 10, 0, 0, 0, 0), nullptr);
    EXPECT_TRUE(has(seen_messages(), WM_DESTROY));
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 10, 10, 0, 0, 0, 0), nullptr);
    EXPECT_EQ(RegisterClassA(&wc), 0);  // the name is taken
}

TEST_F(WindowTest, FindByClassAndTitle) {
    HWND a = make_window(false);
    EXPECT_EQ(FindWindowA("RecordingClass", nullptr), a);
    EXPECT_EQ(FindWindowA("recordingclass", "Test window"), a);
    EXPECT_EQ(FindWindowA("RecordingClass", "Other"), nullptr);
    char title[8];
    EXPECT_EQ(GetWindowTextA(a, title, sizeof title), 7);
    EXPECT_STREQ(title, "Test wi");
    DestroyWindow(a);
    EXPECT_EQ(FindWindowA("RecordingClass", nullptr), nullptr);
}

TEST_F(WindowTest, ShowGivesFocusAndHideTakesIt) {
    HWND hwnd = make_window(false);
    ShowWindow(hwnd, SW_SHOW);
    EXPECT_EQ(GetFocus(), hwnd);
    EXPECT_TRUE(has(seen_messages(), WM_SETFOCUS));
    EXPECT_TRUE(ShowWindow(hwnd, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(WindowTest, ResetForgetsEverything) {
    HWND hwnd = shown_window(true);
    SetTimer(hwnd, 1, 10, nullptr);
    platform_use_headless();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(headless_now(), 0u);
    WNDCLASSA wc{};
    wc.lpfnWndProc = recording_proc;
    wc.lpszClassName = "RecordingClass";
    EXPECT_NE(RegisterClassA(&wc), 0);
}

TEST_F(WindowTest, DestroyInsideDestroyIsRefused) {
    HWND hwnd = shown_window(false);
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));
    RECT r{1, 2, 3, 4};
    EXPECT_FALSE(GetClientRect(hwnd, &r));
}

TEST_F(WindowTest, WildSizesAreCutDownInsteadOfAllocatedOrOverflowed) {
    HWND hwnd = CreateWindowExA(0, "RecordingClass", "huge", WS_POPUP, 2147480000, -2147480000,
                                2000000000, 2000000000, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_GT(r.right, r.left);
    EXPECT_EQ(r.right - r.left, 2 * 1280);
    EXPECT_EQ(r.bottom - r.top, 2 * 1280);
    HWND negative = CreateWindowExA(0, "RecordingClass", "neg", WS_POPUP, 0, 0, -5, -5, nullptr,
                                    nullptr, nullptr, nullptr);
    GetClientRect(negative, &r);
    EXPECT_EQ(r.right, 0);
    EXPECT_EQ(r.bottom, 0);
}

// Placement on the desktop: a 1400 x 1200 screen at scale 2 is 700 x 600 to
// the layer. Windows are moved (and sizable ones shrunk) onto the screen.
TEST(WindowPlacement, NewWindowsLieWhollyOnTheScreen) {
    auto place = [](RECT r, bool sizable) {
        RECT p = user_place_on_screen(r, sizable, 700, 600);
        return std::vector<LONG>{p.left, p.top, p.right, p.bottom};
    };
    using V = std::vector<LONG>;
    EXPECT_EQ(place({0, 0, 601, 540}, false), (V{0, 0, 601, 540}));          // drawing window
    EXPECT_EQ(place({0, 550, 601, 750}, true), (V{0, 400, 601, 600}));      // text window
    EXPECT_EQ(place({-20, -30, 80, 70}, false), (V{0, 0, 100, 100}));
    EXPECT_EQ(place({10, 10, 910, 710}, true), (V{0, 0, 700, 600}));         // shrunk to the screen
    EXPECT_EQ(place({50, 50, 850, 750}, false), (V{0, 0, 800, 700}));        // fixed: top-left kept
}
