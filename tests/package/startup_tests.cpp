// Start-up, shutdown and animation requests.
#include "package_fixture.h"

using StartupTest = PackageTest;

TEST_F(StartupTest, RequestsBeforeBeginReturnZeroAndChangeNothing) {
    EXPECT_EQ(KAPLO_set_animation(ANIMATE_RUN), 0);
    EXPECT_EQ(KAPLO_set_animation(ANIMATE_STEP), 0);
    EXPECT_EQ(KAPLO_set_animation(ANIMATE_QUIT), 0);
    EXPECT_EQ(KAPLO_set_logging(0), 0);
    EXPECT_EQ(package_state.running, 0);
    EXPECT_EQ(package_state.single_step, 0);
    EXPECT_EQ(package_state.quit_requested, 0);
    EXPECT_EQ(package_state.logging, 1);
}

TEST_F(StartupTest, BeginOpensBothWindowsWhereTheyBelong) {
    EXPECT_EQ(KAPLO_begin(nullptr, nullptr, nullptr, SW_SHOWNORMAL), 1);
    HWND drawing = package_state.drawing_window;
    HWND text = package_state.text_window;
    ASSERT_NE(drawing, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(FindWindowA("DrawWndClass", nullptr), drawing);
    EXPECT_EQ(FindWindowA("TextWndClass", nullptr), text);

    char title[64] = {};
    GetWindowTextA(drawing, title, sizeof title);
    EXPECT_STREQ(title, "KAPLO Graphics");
    GetWindowTextA(text, title, sizeof title);
    EXPECT_STREQ(title, "KAPLO Text");

    RECT outer;
    GetWindowRect(drawing, &outer);
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);
    EXPECT_EQ(outer.right - outer.left, DRAW_WIDTH);
    EXPECT_EQ(outer.bottom - outer.top, DRAW_HEIGHT);
    GetWindowRect(text, &outer);
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 550);
    EXPECT_EQ(outer.right - outer.left, DRAW_WIDTH);
    EXPECT_EQ(outer.bottom - outer.top, GetSystemMetrics(SM_CYSCREEN) / 3);

    EXPECT_TRUE(IsWindowVisible(drawing));
    EXPECT_TRUE(IsWindowVisible(text));
    EXPECT_NE(package_state.window_dc, nullptr);
    EXPECT_NE(package_state.back_buffer, nullptr);
    EXPECT_NE(package_state.back_buffer_dc, nullptr);
    EXPECT_EQ(package_state.running, 0);
    EXPECT_EQ(package_state.single_step, 0);
    EXPECT_EQ(package_state.back_buffer_dirty, 1);
}

TEST_F(StartupTest, OriginIsTheCentreOfTheClientArea) {
    begin();
    RECT client;
    GetClientRect(package_state.drawing_window, &client);
    EXPECT_GT(client.right, 0);
    EXPECT_EQ(package_state.origin_x, client.left + (client.right - client.left) / 2);
    EXPECT_EQ(package_state.origin_y, client.top + (client.bottom - client.top) / 2);
}

TEST_F(StartupTest, BackBufferIsAsLargeAsTheDrawingWindow) {
    begin();
    HDC dc = package_state.back_buffer_dc;
    SetPixel(dc, DRAW_WIDTH - 1, DRAW_HEIGHT - 1, RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(dc, DRAW_WIDTH - 1, DRAW_HEIGHT - 1), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(dc, DRAW_WIDTH, DRAW_HEIGHT - 1), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, DRAW_WIDTH - 1, DRAW_HEIGHT), CLR_INVALID);
}

TEST_F(StartupTest, AnimationRequestsSetOnlyTheirOwnFlag) {
    begin();
    EXPECT_EQ(KAPLO_set_animation(ANIMATE_RUN), 1);
    EXPECT_EQ(KAPLO_set_animation(ANIMATE_STEP), 1);
    EXPECT_EQ(package_state.running, 1);  // a step leaves running alone
    EXPECT_EQ(package_state.single_step, 1);

    EXPECT_EQ(KAPLO_set_animation(ANIMATE_HALT), 1);
    EXPECT_EQ(package_state.running, 0);
    EXPECT_EQ(package_state.single_step, 0);

    KAPLO_set_animation(ANIMATE_STEP);
    KAPLO_set_animation(ANIMATE_RUN);
    EXPECT_EQ(package_state.single_step, 1);  // running leaves a pending step alone
    EXPECT_EQ(package_state.running, 1);
    EXPECT_EQ(package_state.quit_requested, 0);
}

TEST_F(StartupTest, UnknownAnimationRequestsAreAcceptedAndDoNothing) {
    begin();
    KAPLO_set_animation(ANIMATE_STEP);
    for (int request : {3, 4, 6, -1, 1000, -2147483647 - 1}) {
        EXPECT_EQ(KAPLO_set_animation(request), 1) << request;
        EXPECT_EQ(package_state.running, 0) << request;
        EXPECT_EQ(package_state.single_step, 1) << request;
        EXPECT_EQ(package_state.quit_requested, 0) << request;
    }
}

TEST_F(StartupTest, QuitRequestStaysSet) {
    begin();
    EXPECT_EQ(KAPLO_set_animation(ANIMATE_QUIT), 1);
    EXPECT_EQ(KAPLO_set_animation(ANIMATE_QUIT), 1);
    EXPECT_EQ(package_state.quit_requested, 1);
    KAPLO_set_animation(ANIMATE_HALT);
    KAPLO_set_animation(ANIMATE_RUN);
    EXPECT_EQ(package_state.quit_requested, 1);
}

TEST_F(StartupTest, EndKeepsTheDrawingWindowHandleAndCanBeRepeated) {
    begin();
    HWND drawing = package_state.drawing_window;
    EXPECT_EQ(KAPLO_end(), 1);
    EXPECT_EQ(package_state.drawing_window, drawing);
    EXPECT_EQ(package_state.script_file, nullptr);
    EXPECT_EQ(KAPLO_end(), 1);
}
