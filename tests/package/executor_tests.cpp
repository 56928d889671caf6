// The executor: what the drawing operations leave in the back buffer.
#include <climits>

#include "package_fixture.h"

static const COLORREF white = RGB(0xFF, 0xFF, 0xFF);
static const COLORREF black = RGB(0, 0, 0);
static const COLORREF red = RGB(0xFF, 0, 0);
static const COLORREF blue = RGB(0, 0, 0xFF);

// A started package with a wiped back buffer, the origin at (300, 270) and logging off.
class ExecutorTest : public PackageTest {
protected:
    void SetUp() override {
        PackageTest::SetUp();
        begin();
        KAPLO_set_logging(0);
        package_state.origin_x = 300;
        package_state.origin_y = 270;
        KAPLO_wipe();
    }

    // Number of pixels of the colour in a rectangle of columns and rows (inclusive).
    int count_in(int left, int top, int right, int bottom, COLORREF color) {
        int count = 0;
        for (int y = top; y <= bottom; y++)
            for (int x = left; x <= right; x++)
                if (back_pixel(x, y) == color) count++;
        return count;
    }

    // Number of pixels in the bitmap that are not white.
    int count_not_white(int left, int top, int right, int bottom) {
        int area = (right - left + 1) * (bottom - top + 1);
        return area - count_in(left, top, right, bottom, white);
    }
};

TEST_F(ExecutorTest, WipeLeavesABlackFrameAroundWhite) {
    KAPLO_rectangle(BLUE, -500, 500, 500, -500, 0);
    KAPLO_line(RED, -50, 0, 50, 0, 9);  // a wide pen in between must not stay selected
    KAPLO_wipe();
    EXPECT_EQ(package_state.back_buffer_dirty, 1);
    for (int x = 0; x < DRAW_WIDTH; x++) {
        ASSERT_EQ(back_pixel(x, 0), black) << x;
        ASSERT_EQ(back_pixel(x, DRAW_HEIGHT - 1), black) << x;
    }
    for (int y = 0; y < DRAW_HEIGHT; y++) {
        ASSERT_EQ(back_pixel(0, y), black) << y;
        ASSERT_EQ(back_pixel(DRAW_WIDTH - 1, y), black) << y;
    }
    EXPECT_EQ(count_in(1, 1, DRAW_WIDTH - 2, DRAW_HEIGHT - 2, white),
              (DRAW_WIDTH - 2) * (DRAW_HEIGHT - 2));
}

TEST_F(ExecutorTest, FilledRectangleCoversBothCorners) {
    KAPLO_rectangle(BLUE, 10, -5, -10, 5, 0);
    EXPECT_EQ(count_in(290, 265, 310, 275, blue), 21 * 11);
    EXPECT_EQ(count_not_white(280, 255, 320, 285), 21 * 11);
}

TEST_F(ExecutorTest, OutlinedRectangleLeavesItsInside) {
    KAPLO_rectangle(RED, -10, 5, 10, -5, 1);
    EXPECT_EQ(count_in(290, 265, 310, 275, red), 2 * 21 + 2 * 9);
    EXPECT_EQ(back_pixel(300, 270), white);
    EXPECT_EQ(back_pixel(290, 265), red);
    EXPECT_EQ(back_pixel(310, 275), red);
}

TEST_F(ExecutorTest, CircleOfRadiusZeroStaysOnItsCentre) {
    // The box is the single centre pixel, which GDI's ellipse of a 1 x 1 box leaves empty.
    KAPLO_circle(BLUE, 4, -3, 0);
    EXPECT_EQ(count_not_white(290, 260, 320, 290), count_in(304, 273, 304, 273, blue));
    KAPLO_circle(BLUE, 4, -3, 1);
    EXPECT_EQ(back_pixel(304, 273), blue);
    EXPECT_EQ(count_not_white(290, 260, 320, 290), count_in(303, 272, 305, 274, blue));
}

TEST_F(ExecutorTest, CircleIsTwoRadiiAndOnePixelAcross) {
    KAPLO_circle(BLUE, 0, 0, 10);
    EXPECT_EQ(count_in(290, 270, 310, 270, blue), 21);  // the middle row
    EXPECT_EQ(count_in(300, 260, 300, 280, blue), 21);  // the middle column
    EXPECT_EQ(count_not_white(280, 250, 320, 290), count_in(290, 260, 310, 280, blue));
    EXPECT_EQ(back_pixel(290, 260), white);  // the box's corners are outside the circle
}

TEST_F(ExecutorTest, LineLeavesItsEndPixel) {
    KAPLO_line(BLUE, 0, 0, 10, 0, 1);
    EXPECT_EQ(count_in(300, 270, 309, 270, blue), 10);
    EXPECT_EQ(back_pixel(310, 270), white);
    EXPECT_EQ(count_not_white(290, 260, 320, 280), 10);
}

TEST_F(ExecutorTest, LineOfWidthZeroIsOnePixelWide) {
    KAPLO_line(BLUE, 0, 0, 0, 10, 0);
    EXPECT_EQ(count_in(300, 261, 300, 270, blue), 10);
    EXPECT_EQ(count_not_white(290, 255, 310, 285), 10);
}

TEST_F(ExecutorTest, NegativeWidthDrawsTheMendedWidth) {
    KAPLO_line(BLUE, -20, 0, 20, 0, -2);
    EXPECT_EQ(count_in(300, 260, 300, 280, blue), 2);
}

// With logging off a call with nothing to mend goes straight to the executor;
// one that has something to mend still draws the mended colour and width.
TEST_F(ExecutorTest, IllegalColoursAndWidthsAreMendedWithLoggingOff) {
    KAPLO_rectangle(99, -30, 30, -20, 20, 0);
    KAPLO_oval(NUM_COLORS, 20, 30, 40, 10, 0);
    KAPLO_triangle(-5, -30, -30, -10, -30, -20, -10, 0);
    KAPLO_line(77, -40, 0, -30, 0, 0);
    EXPECT_EQ(back_pixel(275, 245), red);
    EXPECT_EQ(back_pixel(330, 250), red);
    EXPECT_EQ(back_pixel(280, 293), red);
    EXPECT_EQ(count_in(260, 270, 269, 270, red), 10);
    KAPLO_rectangle(BLUE, 20, -10, 40, -30, -3);
    KAPLO_oval(BLUE, -60, -10, -40, -30, -2);
    KAPLO_triangle(BLUE, -100, -10, -80, -10, -90, -30, -3);
    EXPECT_EQ(back_pixel(330, 290), white);
    EXPECT_EQ(count_in(315, 290, 325, 290, blue), 3);
    EXPECT_EQ(back_pixel(250, 290), white);
    EXPECT_GE(count_in(235, 290, 245, 290, blue), 2);
    EXPECT_EQ(back_pixel(210, 285), white);
    EXPECT_GE(count_in(200, 278, 220, 283, blue), 3 * 19);
}

TEST_F(ExecutorTest, FilledTriangleUsesTheCallersVertices) {
    KAPLO_triangle(BLUE, -20, -10, 20, -10, 0, 20, 0);
    EXPECT_EQ(back_pixel(300, 270), blue);  // inside
    EXPECT_EQ(back_pixel(300, 251), blue);  // near the apex at row 250
    EXPECT_EQ(back_pixel(300, 249), white);
    EXPECT_EQ(back_pixel(281, 250), white);  // outside the slanted edge
}

TEST_F(ExecutorTest, OutlinedTriangleLeavesItsInside) {
    KAPLO_triangle(RED, -20, -10, 20, -10, 0, 20, 1);
    EXPECT_EQ(back_pixel(300, 270), white);
    EXPECT_EQ(back_pixel(300, 280), red);  // the bottom edge
}

TEST_F(ExecutorTest, FilledOvalStaysInItsBox) {
    KAPLO_oval(BLUE, -20, 10, 20, -10, 0);
    EXPECT_EQ(back_pixel(300, 270), blue);
    EXPECT_EQ(count_in(280, 270, 320, 270, blue), 41);
    EXPECT_EQ(count_in(300, 260, 300, 280, blue), 21);
    EXPECT_EQ(back_pixel(280, 260), white);
    EXPECT_EQ(count_not_white(270, 250, 330, 290), count_in(280, 260, 320, 280, blue));
}

TEST_F(ExecutorTest, PixelCommandSetsOnePixel) {
    DrawCommand command = {};
    command.kind = DRAW_PIXEL;
    command.color = TURQUOISE;
    command.x1 = -5;
    command.y1 = 7;
    execute_command(&command);
    EXPECT_EQ(back_pixel(295, 263), RGB(0x99, 0xFF, 0xCC));
    EXPECT_EQ(count_not_white(285, 253, 305, 273), 1);
}

TEST_F(ExecutorTest, UnknownKindDrawsNothingButMarksDirty) {
    package_state.back_buffer_dirty = 0;
    DrawCommand command = {};
    command.kind = 6;
    command.color = BLUE;
    command.x2 = 100;
    command.y2 = -100;
    execute_command(&command);
    EXPECT_EQ(package_state.back_buffer_dirty, 1);
    EXPECT_EQ(count_not_white(1, 1, DRAW_WIDTH - 2, DRAW_HEIGHT - 2), 0);
}

TEST_F(ExecutorTest, EveryDrawingCallMarksTheBackBufferDirty) {
    package_state.back_buffer_dirty = 0;
    KAPLO_line(BLUE, 1000, 1000, 2000, 2000, 1);  // even off the bitmap
    EXPECT_EQ(package_state.back_buffer_dirty, 1);
}

// Font and line height as the executor gets them for a point size.
struct TextGeometry {
    int line_height;
};

static TextGeometry measure(const char *text, int ptsize) {
    HDC dc = package_state.back_buffer_dc;
    HFONT font = CreateFontA(-ptsize, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "KAPLO-font");
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE extent = {0, 0};
    GetTextExtentPointA(dc, text, (int)strlen(text), &extent);
    SelectObject(dc, previous);
    DeleteObject(font);
    return TextGeometry{extent.cy};
}

TEST_F(ExecutorTest, TwoLineTextStandsOnItsAnchor) {
    int h = measure("A\nB", 20).line_height;
    ASSERT_GT(h, 0);
    KAPLO_text(BLACK, 0, 0, 20, "A\nB");
    // A's cell spans rows 270 - h .. 269, B's rows 270 .. 269 + h, both from column 300.
    EXPECT_GT(count_not_white(300, 270 - h, 340, 269), 0);
    EXPECT_GT(count_not_white(300, 270, 340, 269 + h), 0);
    EXPECT_EQ(count_not_white(1, 1, DRAW_WIDTH - 2, 269 - h), 0);
    EXPECT_EQ(count_not_white(1, 270 + h, DRAW_WIDTH - 2, DRAW_HEIGHT - 2), 0);
    EXPECT_EQ(count_not_white(1, 1, 299, DRAW_HEIGHT - 2), 0);
}

TEST_F(ExecutorTest, TextIsDrawnInItsColourOnlyWhereTheGlyphsAre) {
    KAPLO_rectangle(YELLOW, -100, 100, 100, -100, 0);
    KAPLO_text(BLUE, 0, 0, 40, "I");
    int h = measure("I", 40).line_height;
    EXPECT_GT(count_in(300, 270 - h, 340, 269, blue), 0);
    EXPECT_EQ(back_pixel(300, 270 - h), RGB(0xFF, 0xFF, 0));  // the cell's corner stays yellow
}

TEST_F(ExecutorTest, TextRestoresTheBackgroundMode) {
    HDC dc = package_state.back_buffer_dc;
    SetBkMode(dc, OPAQUE);
    KAPLO_text(BLACK, 0, 0, 12, "mode");
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    SetBkMode(dc, TRANSPARENT);
    KAPLO_text(BLACK, 0, 0, 12, "mode");
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
}

TEST_F(ExecutorTest, EmptyTextAndTrailingNewlinePaintNothingMore) {
    KAPLO_text(BLACK, 0, 0, 20, "");
    EXPECT_EQ(count_not_white(1, 1, DRAW_WIDTH - 2, DRAW_HEIGHT - 2), 0);
    int h = measure("A\n", 20).line_height;
    KAPLO_text(BLACK, 0, 0, 20, "A\n");
    EXPECT_GT(count_not_white(300, 270 - h, 340, 269), 0);
    EXPECT_EQ(count_not_white(1, 270, DRAW_WIDTH - 2, DRAW_HEIGHT - 2), 0);
}

TEST_F(ExecutorTest, ExtremeCoordinatesStayInsideTheBitmap) {
    KAPLO_rectangle(BLUE, INT_MIN, INT_MAX, INT_MAX, INT_MIN, 0);
    EXPECT_EQ(back_pixel(0, 0), blue);
    EXPECT_EQ(back_pixel(DRAW_WIDTH - 1, DRAW_HEIGHT - 1), blue);
    KAPLO_wipe();
    KAPLO_circle(RED, 0, 0, INT_MAX);
    EXPECT_EQ(back_pixel(300, 270), red);
    KAPLO_circle(RED, INT_MAX, INT_MIN, INT_MIN);
    KAPLO_oval(RED, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX);
    KAPLO_line(RED, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MIN);
    KAPLO_line(RED, INT_MIN, 0, INT_MAX, 0, 1);
    KAPLO_triangle(RED, INT_MIN, INT_MIN, INT_MAX, 0, 0, INT_MAX, 0);
    KAPLO_triangle(RED, INT_MIN, INT_MIN, INT_MAX, 0, 0, INT_MAX, INT_MAX);
    KAPLO_text(RED, INT_MAX, INT_MIN, 127, "far\naway");
    KAPLO_text(RED, INT_MIN, INT_MAX, INT_MIN, "far");
    // Still a working back buffer of the same size afterwards.
    KAPLO_wipe();
    EXPECT_EQ(count_in(1, 1, DRAW_WIDTH - 2, DRAW_HEIGHT - 2, white), (DRAW_WIDTH - 2) * (DRAW_HEIGHT - 2));
    EXPECT_EQ(GetPixel(package_state.back_buffer_dc, DRAW_WIDTH, 0), CLR_INVALID);
}
