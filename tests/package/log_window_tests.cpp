// The log ring, logging switch and painting of the text window.
#include <string>
#include <vector>

#include "package_fixture.h"

using LogRingTest = PackageTest;

TEST_F(LogRingTest, FirstLineGoesToSlotZero) {
    EXPECT_EQ(KAPLO_log("hello %d\n", 42), 9);
    EXPECT_EQ(package_state.log_oldest, 0);
    EXPECT_EQ(package_state.log_next, 1);
    EXPECT_EQ(log_line(0), "hello 42\n");
    EXPECT_EQ(GlobalSize(package_state.log_lines[0]), (SIZE_T)10);  // exactly the text and its zero
}

TEST_F(LogRingTest, RingKeepsTheLast25Lines) {
    for (int i = 1; i <= 25; i++) KAPLO_log("line %d", i);
    EXPECT_EQ(package_state.log_oldest, 0);
    EXPECT_EQ(package_state.log_next, 0);
    EXPECT_EQ(log_count(), 25);
    EXPECT_EQ(log_line(24), "line 1");

    KAPLO_log("line %d", 26);
    EXPECT_EQ(package_state.log_oldest, 1);
    EXPECT_EQ(package_state.log_next, 1);
    EXPECT_EQ(log_count(), 25);
    EXPECT_EQ(log_line(0), "line 26");
    EXPECT_EQ(log_line(24), "line 2");

    for (int i = 27; i <= 60; i++) KAPLO_log("line %d", i);
    EXPECT_EQ(log_count(), 25);
    EXPECT_EQ(log_line(0), "line 60");
    EXPECT_EQ(log_line(24), "line 36");
}

TEST_F(LogRingTest, LinesAreStoredWhateverTheLoggingSetting) {
    begin();
    KAPLO_set_logging(0);
    KAPLO_log("still stored");
    EXPECT_EQ(log_line(0), "still stored");
}

TEST_F(LogRingTest, LongLineIsCutToTheBuffer) {
    std::string long_text(3000, 'x');
    EXPECT_EQ(KAPLO_log("%s", long_text.c_str()), LOG_LINE_SIZE - 1);
    EXPECT_EQ(log_line(0), std::string(LOG_LINE_SIZE - 1, 'x'));
    EXPECT_EQ(KAPLO_log("%s", std::string(1023, 'y').c_str()), 1023);
    EXPECT_EQ(log_line(0).size(), 1023u);
}

TEST_F(LogRingTest, EmptyLineIsALineOfItsOwn) {
    EXPECT_EQ(KAPLO_log(""), 0);
    EXPECT_EQ(log_count(), 1);
    EXPECT_EQ(log_line(0), "");
}

TEST_F(LogRingTest, LogBeforeBeginStoresTheLine) {
    EXPECT_EQ(KAPLO_log("early"), 5);
    begin();
    EXPECT_EQ(log_line(0), "early");
}

using LoggingSwitchTest = PackageTest;

TEST_F(LoggingSwitchTest, OffUnchecksAndLeavesTheWindowAsItWas) {
    begin();
    ShowWindow(package_state.text_window, SW_HIDE);
    EXPECT_EQ(KAPLO_set_logging(0), 1);
    EXPECT_EQ(package_state.logging, 0);
    EXPECT_EQ(GetMenuState(package_state.run_menu, CMD_LOGGING, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_FALSE(IsWindowVisible(package_state.text_window));

    EXPECT_EQ(KAPLO_set_logging(7), 1);
    EXPECT_EQ(package_state.logging, 1);
    EXPECT_EQ(GetMenuState(package_state.run_menu, CMD_LOGGING, MF_BYCOMMAND) & MF_CHECKED,
              (UINT)MF_CHECKED);
    EXPECT_TRUE(IsWindowVisible(package_state.text_window));
}

TEST_F(LoggingSwitchTest, KeysInTheTextWindowReachTheDrawingWindow) {
    begin();
    // The text window posts each key on, behind what is queued already.
    post_key(package_state.text_window, WM_KEYDOWN, VK_CONTROL);
    post_click(package_state.origin_x, package_state.origin_y);
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
    EXPECT_EQ(package_state.ctrl_down, 0);
    post_click(package_state.origin_x, package_state.origin_y);
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
    EXPECT_EQ(package_state.ctrl_down, 1);

    post_key(package_state.text_window, WM_KEYUP, VK_CONTROL);
    post_click(package_state.origin_x, package_state.origin_y);
    next_event();
    post_click(package_state.origin_x, package_state.origin_y);
    next_event();
    EXPECT_EQ(package_state.ctrl_down, 0);
}

TEST_F(LoggingSwitchTest, ClosingTheTextWindowLeavesTheProgramRunning) {
    begin();
    PostMessageA(package_state.text_window, WM_CLOSE, 0, 0);
    post_char('r');
    EXPECT_EQ(next_event().kind, KAPLO_KBD);
    KAPLO_log("after the close");  // no window to repaint any more
    EXPECT_EQ(KAPLO_set_logging(1), 1);
    EXPECT_EQ(log_line(0), "after the close");
}

// Painting: the text window's pixels, read back through its device context.
class LogPaintTest : public PackageTest {
protected:
    RECT client = {};
    int row_height = 0;
    int char_width = 0;

    void SetUp() override {
        PackageTest::SetUp();
        begin();
        GetClientRect(package_state.text_window, &client);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ previous = SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
        TEXTMETRICA metrics = {};
        GetTextMetricsA(dc, &metrics);
        SelectObject(dc, previous);
        DeleteDC(dc);
        row_height = metrics.tmHeight + metrics.tmExternalLeading;
        char_width = metrics.tmAveCharWidth;
        ASSERT_GT(row_height, 0);
        ASSERT_GT(char_width, 0);
    }

    // Paints the text window now.
    void paint() {
        InvalidateRect(package_state.text_window, nullptr, TRUE);
        UpdateWindow(package_state.text_window);
    }

    // Rightmost column with ink in the row band of the given age (0 the bottom row), or -1.
    int ink_right(int age) {
        HDC dc = GetDC(package_state.text_window);
        int bottom = client.bottom - age * row_height;
        int right = -1;
        for (int y = bottom - row_height; y < bottom; y++) {
            if (y < client.top) continue;
            for (int x = client.left; x < client.right; x++)
                if (GetPixel(dc, x, y) != RGB(255, 255, 255) && x > right) right = x;
        }
        ReleaseDC(package_state.text_window, dc);
        return right;
    }

    // Leftmost column with ink in the band of the given age, or -1.
    int ink_left(int age) {
        HDC dc = GetDC(package_state.text_window);
        int bottom = client.bottom - age * row_height;
        int left = -1;
        for (int y = bottom - row_height; y < bottom && left == -1; y++)
            for (int x = client.left; x < client.right; x++)
                if (GetPixel(dc, x, y) != RGB(255, 255, 255)) {
                    if (left == -1 || x < left) left = x;
                    break;
                }
        ReleaseDC(package_state.text_window, dc);
        return left;
    }

    // Whether the ink of the band of the given age ends within the cell of character n (1-based).
    void expect_text_of_length(int age, int characters) {
        int right = ink_right(age);
        EXPECT_GE(right, client.left + 5 + (characters - 1) * char_width) << "row " << age;
        EXPECT_LT(right, client.left + 5 + characters * char_width) << "row " << age;
    }
};

TEST_F(LogPaintTest, EmptyLogPaintsAWhiteWindow) {
    paint();
    int rows = (client.bottom - client.top) / row_height;
    for (int age = 0; age < rows; age++) EXPECT_EQ(ink_right(age), -1) << age;
}

TEST_F(LogPaintTest, NewestLineIsAtTheBottom) {
    KAPLO_log("M");
    KAPLO_log("MMMMM");
    KAPLO_log("MMMMMMMMMM");
    paint();
    expect_text_of_length(0, 10);
    expect_text_of_length(1, 5);
    expect_text_of_length(2, 1);
    EXPECT_EQ(ink_right(3), -1);
    EXPECT_GE(ink_left(0), client.left + 5);
}

TEST_F(LogPaintTest, TrailingNewlineIsNotDrawn) {
    KAPLO_log("MMM\n");
    KAPLO_log("MMM");
    paint();
    EXPECT_EQ(ink_right(1), ink_right(0));
    EXPECT_EQ(ink_right(2), -1);
}

TEST_F(LogPaintTest, InnerNewlineStaysOnOneRow) {
    KAPLO_log("MM\nMM");
    paint();
    expect_text_of_length(0, 5);  // the newline is drawn as a character of its own
    EXPECT_EQ(ink_right(1), -1);
}

TEST_F(LogPaintTest, EmptyLineTakesABlankRow) {
    KAPLO_log("MMM");
    KAPLO_log("");
    KAPLO_log("MMM");
    paint();
    expect_text_of_length(0, 3);
    EXPECT_EQ(ink_right(1), -1);
    expect_text_of_length(2, 3);
}

TEST_F(LogPaintTest, FullRingShowsTheNewestLinesThatFit) {
    for (int i = 1; i <= 30; i++) KAPLO_log("%s", std::string(i, 'M').c_str());
    paint();
    // Lines 6 to 30 are stored; the bottom row holds line 30, each older one a row higher.
    int rows = (client.bottom - client.top) / row_height;
    int shown = rows < LOG_RING_SIZE ? rows : LOG_RING_SIZE;
    for (int age = 0; age < shown; age++) expect_text_of_length(age, 30 - age);
    for (int age = LOG_RING_SIZE; age < rows; age++) EXPECT_EQ(ink_right(age), -1) << age;
}
