// Menus: the objects and their queries, choosing by mouse, and the pop-up
// drawn as an overlay that leaves the client area's pixels alone.
#include "user_fixture.h"

class MenuTest : public UserTest {
protected:
    HWND hwnd = nullptr;
    HMENU run = nullptr;

    void SetUp() override {
        UserTest::SetUp();
        hwnd = shown_window(true);
        run = GetSubMenu(GetMenu(hwnd), 0);
        SetTimer(hwnd, 50, 1000, nullptr);  // ends a pump when nothing else comes
    }

    // Centre of a menu part in client coordinates.
    POINT centre(int title, int item) {
        RECT r{};
        EXPECT_TRUE(headless_menu_rect(hwnd, title, item, &r));
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    // Clicks a client point and returns the first message that comes of it.
    MSG click(POINT p) {
        headless_click(hwnd, p.x, p.y);
        return next(true);
    }

    // Whether the pop-up is open.
    bool open() {
        RECT r;
        return headless_menu_rect(hwnd, 0, 0, &r) != 0;
    }
};

TEST_F(MenuTest, ItemsAnswerQueries) {
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(GetMenuItemCount(GetMenu(hwnd)), 1);
    EXPECT_EQ(GetMenuItemCount(run), 6);
    EXPECT_EQ(GetMenuItemID(run, 1), 2u);
    EXPECT_EQ(GetMenuItemID(run, 3), 0u);  // separator
    EXPECT_EQ(GetMenuItemID(GetMenu(hwnd), 0), (UINT)-1);
    char text[64];
    EXPECT_EQ(GetMenuStringA(run, 3, text, sizeof text, MF_BYCOMMAND), 25);
    EXPECT_STREQ(text, "Advance one &frame\tCtrl+F");
    EXPECT_EQ(GetMenuStringA(GetMenu(hwnd), 0, text, sizeof text, MF_BYPOSITION), 4);
    EXPECT_STREQ(text, "&Run");
    EXPECT_EQ(GetMenuState(run, 9, MF_BYCOMMAND) & MF_GRAYED, (UINT)MF_GRAYED);
    EXPECT_EQ(GetMenuState(run, 77, MF_BYCOMMAND), (UINT)-1);
}

TEST_F(MenuTest, CheckMarksByCommandAndPosition) {
    EXPECT_EQ(CheckMenuItem(run, 4, MF_BYCOMMAND | MF_UNCHECKED), (DWORD)MF_CHECKED);
    EXPECT_EQ(GetMenuState(run, 4, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(CheckMenuItem(run, 4, MF_BYCOMMAND | MF_CHECKED), (DWORD)MF_UNCHECKED);
    EXPECT_EQ(CheckMenuItem(run, 0, MF_BYPOSITION | MF_CHECKED), (DWORD)MF_UNCHECKED);
    EXPECT_EQ(GetMenuState(run, 1, MF_BYCOMMAND) & MF_CHECKED, (UINT)MF_CHECKED);
    // By command, the bar finds the item in its pop-up.
    EXPECT_EQ(CheckMenuItem(GetMenu(hwnd), 4, MF_CHECKED), (DWORD)MF_CHECKED);
    EXPECT_EQ(CheckMenuItem(run, 42, MF_CHECKED), (DWORD)-1);
}

TEST_F(MenuTest, ChoosingAnItemPostsItsCommand) {
    EXPECT_EQ(headless_choose_menu(hwnd, 2), 1);
    MSG msg = next();
    EXPECT_EQ(msg.message, (UINT)WM_COMMAND);
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_EQ(msg.lParam, 0);
    EXPECT_FALSE(open());
}

TEST_F(MenuTest, GrayedItemsAndUnknownIdsDoNothing) {
    EXPECT_EQ(headless_choose_menu(hwnd, 9), 0);
    EXPECT_EQ(headless_choose_menu(hwnd, 1234), 0);
    EXPECT_EQ(next().message, (UINT)WM_TIMER);
}

TEST_F(MenuTest, ClicksOpenTheMenuAndChooseByPosition) {
    EXPECT_FALSE(open());
    EXPECT_EQ(click(centre(0, -1)).message, (UINT)WM_TIMER);  // the click went to the menu
    ASSERT_TRUE(open());
    MSG msg = click(centre(0, 2));
    EXPECT_EQ(msg.message, (UINT)WM_COMMAND);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(open());
}

TEST_F(MenuTest, SeparatorAndGrayedClicksKeepTheMenuOpen) {
    click(centre(0, -1));
    EXPECT_EQ(click(centre(0, 3)).message, (UINT)WM_TIMER);
    EXPECT_TRUE(open());
    EXPECT_EQ(click(centre(0, 5)).message, (UINT)WM_TIMER);
    EXPECT_TRUE(open());
}

TEST_F(MenuTest, EscapeClosesAndIsSwallowed) {
    click(centre(0, -1));
    headless_key_down(hwnd, VK_ESCAPE);
    EXPECT_EQ(next().message, (UINT)WM_TIMER);
    EXPECT_FALSE(open());
    // Closed again, keys reach the window.
    headless_key_down(hwnd, 'A');
    EXPECT_EQ(next().message, (UINT)WM_KEYDOWN);
}

TEST_F(MenuTest, ClickElsewhereClosesWithoutReachingTheWindow) {
    click(centre(0, -1));
    EXPECT_EQ(click(POINT{590, 470}).message, (UINT)WM_TIMER);
    EXPECT_FALSE(open());
    EXPECT_EQ(click(POINT{590, 470}).message, (UINT)WM_LBUTTONDOWN);
}

TEST_F(MenuTest, ClickOnTheTitleAgainCloses) {
    click(centre(0, -1));
    click(centre(0, -1));
    EXPECT_FALSE(open());
}

TEST_F(MenuTest, PopupLiesBelowTheBarItemsInOrder) {
    click(centre(0, -1));
    RECT title, first, second, sep;
    ASSERT_TRUE(headless_menu_rect(hwnd, 0, -1, &title));
    ASSERT_TRUE(headless_menu_rect(hwnd, 0, 0, &first));
    ASSERT_TRUE(headless_menu_rect(hwnd, 0, 1, &second));
    ASSERT_TRUE(headless_menu_rect(hwnd, 0, 3, &sep));
    EXPECT_EQ(title.bottom, 0);  // the bar ends where the client area begins
    EXPECT_LT(title.top, 0);
    EXPECT_GE(first.top, 0);
    EXPECT_EQ(second.top, first.bottom);
    EXPECT_LT(sep.bottom - sep.top, first.bottom - first.top);
    EXPECT_FALSE(headless_menu_rect(hwnd, 0, 6, &sep));
    EXPECT_FALSE(headless_menu_rect(hwnd, 1, -1, &sep));
}

TEST_F(MenuTest, DestroyMenuTakesItOffTheWindow) {
    RECT before, after;
    GetClientRect(hwnd, &before);
    EXPECT_TRUE(DestroyMenu(GetMenu(hwnd)));
    EXPECT_EQ(GetMenu(hwnd), nullptr);
    GetClientRect(hwnd, &after);
    EXPECT_EQ(after.bottom - before.bottom, 19);
    EXPECT_EQ(GetMenuItemCount(run), -1);
    EXPECT_EQ(headless_choose_menu(hwnd, 2), 0);
}

// ---- pixels (GDI draws them) --------------------------------------------

class MenuPixelTest : public MenuTest {
protected:
    void SetUp() override {
        MenuTest::SetUp();
        HDC dc = GetDC(hwnd);
        if (!dc) GTEST_SKIP() << "no window DCs from GDI";
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        RECT all{-1000, -1000, 5000, 5000};
        FillRect(dc, &all, red);
        DeleteObject(red);
        ReleaseDC(hwnd, dc);
    }

    // The newest presented pixel at a client point.
    DWORD pixel(int x, int y) {
        DWORD p = 0xDEADBEEF;
        EXPECT_TRUE(headless_frame_pixel(hwnd, 0, x, y, &p));
        return p;
    }

    // How many pixels of a rectangle are darker than a threshold.
    int dark_pixels(const RECT &r, int threshold) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                DWORD p = pixel(x, y);
                if ((int)((p >> 16) & 0xFF) < threshold && (int)((p >> 8) & 0xFF) < threshold) ++n;
            }
        return n;
    }
};

TEST_F(MenuPixelTest, WindowDcDrawsOnlyTheClientArea) {
    EXPECT_EQ(pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(pixel(594, 475), 0xFF0000u);
    EXPECT_NE(pixel(590, -5), 0xFF0000u);  // the bar is untouched
    DWORD outside;
    EXPECT_FALSE(headless_frame_pixel(hwnd, 0, 595, 0, &outside));
}

TEST_F(MenuPixelTest, BarShowsTheTitleText) {
    RECT title;
    ASSERT_TRUE(headless_menu_rect(hwnd, 0, -1, &title));
    EXPECT_GT(dark_pixels(title, 100), 10);
    RECT empty_part{title.right + 5, title.top, title.right + 40, title.bottom};
    EXPECT_EQ(dark_pixels(empty_part, 100), 0);
}

TEST_F(MenuPixelTest, PopupCoversThenGivesBackTheClientPixels) {
    click(centre(0, -1));
    POINT p = centre(0, 0);
    RECT first;
    headless_menu_rect(hwnd, 0, 0, &first);
    EXPECT_NE(pixel(first.right - 2, p.y), 0xFF0000u);
    EXPECT_EQ(pixel(594, 475), 0xFF0000u);  // beside the pop-up
    // Drawing under the open pop-up reaches the client area, not the pop-up.
    HDC dc = GetDC(hwnd);
    SetPixel(dc, first.right - 2, p.y, RGB(0, 0, 255));
    ReleaseDC(hwnd, dc);
    EXPECT_NE(pixel(first.right - 2, p.y), 0x0000FFu);
    headless_key_down(hwnd, VK_ESCAPE);
    next();
    EXPECT_EQ(pixel(first.right - 2, p.y), 0x0000FFu);
    EXPECT_EQ(pixel(first.right - 3, p.y), 0xFF0000u);
}

TEST_F(MenuPixelTest, CheckMarkGrayedTextAndSeparatorAreDrawn) {
    click(centre(0, -1));
    RECT item[6];
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(headless_menu_rect(hwnd, 0, i, &item[i]));
    // Check column: marked on Logging (4), empty on Animate (0).
    auto column = [](RECT r) { return RECT{r.left, r.top, r.left + 20, r.bottom}; };
    EXPECT_GT(dark_pixels(column(item[4]), 100), 5);
    EXPECT_EQ(dark_pixels(column(item[0]), 100), 0);
    // Text: black on enabled items, only gray on the grayed one.
    RECT text0{item[0].left + 20, item[0].top, item[0].right, item[0].bottom};
    RECT text5{item[5].left + 20, item[5].top, item[5].right, item[5].bottom};
    EXPECT_GT(dark_pixels(text0, 60), 10);
    EXPECT_EQ(dark_pixels(text5, 60), 0);
    EXPECT_GT(dark_pixels(text5, 200), 10);
    // The separator is a line across its strip.
    EXPECT_GT(dark_pixels(item[3], 220), 20);
    // The key text sits at the right end of the row.
    RECT right_end{item[0].right - 50, item[0].top, item[0].right - 10, item[0].bottom};
    EXPECT_GT(dark_pixels(right_end, 100), 5);
}
