// The palette: checking, names and values.
#include <climits>

#include "package_fixture.h"

using PaletteTest = PackageTest;

TEST_F(PaletteTest, ValidIndicesPassSilently) {
    for (int color = 0; color < NUM_COLORS; color++) EXPECT_EQ(check_color(color), color);
    EXPECT_EQ(log_count(), 0);
}

TEST_F(PaletteTest, IllegalIndicesBecomeRedWithTheirOwnMessage) {
    for (int color : {24, -1, 99, INT_MAX, INT_MIN}) {
        EXPECT_EQ(check_color(color), RED);
        EXPECT_EQ(log_line(0), "Illegal color " + std::to_string(color) + "; using RED.\n");
    }
    EXPECT_EQ(log_count(), 5);
}

TEST_F(PaletteTest, NamesAndValuesFollowTheTable) {
    EXPECT_STREQ(color_name(BLACK), "black");
    EXPECT_STREQ(color_name(NAVY_BLUE), "navy blue");
    EXPECT_STREQ(color_name(FOREST_GREEN), "forest green");
    EXPECT_STREQ(color_name(GRAY_50), "50% gray");
    EXPECT_STREQ(color_name(GRAY_20), "20% gray");
    // COLORREF holds blue in the high byte: a swapped table would show here.
    EXPECT_EQ(color_value(PURPLE), (COLORREF)0xCC0099);
    EXPECT_EQ(color_value(ORANGE), (COLORREF)0x0066FF);
    EXPECT_EQ(color_value(SEA_GREEN), (COLORREF)0x99CC33);
    EXPECT_EQ(color_value(GRAY_50), (COLORREF)0x808080);
    EXPECT_EQ(color_value(GRAY_20), (COLORREF)0xCCCCCC);
    EXPECT_EQ(color_value(WHITE), (COLORREF)0xFFFFFF);
}

TEST_F(PaletteTest, DrawingInLightGrayUsesItsValue) {
    begin();
    KAPLO_rectangle(GRAY_20, -3, 3, 3, -3, 0);
    EXPECT_EQ(log_line(0), "20% gray rectangle with bounding box (-3,3) to (3,-3), filled\n");
    EXPECT_EQ(back_pixel_at(0, 0), RGB(0xCC, 0xCC, 0xCC));
    KAPLO_circle(BROWN, 0, 0, 2);
    EXPECT_EQ(back_pixel_at(0, 0), RGB(0x99, 0x66, 0x33));
}

TEST_F(PaletteTest, IllegalColourIsLoggedWhateverTheLoggingSetting) {
    begin();
    KAPLO_set_logging(0);
    KAPLO_circle(99, 0, 0, 4);
    EXPECT_EQ(log_count(), 1);
    EXPECT_EQ(log_line(0), "Illegal color 99; using RED.\n");
    EXPECT_EQ(back_pixel_at(0, 0), RGB(0xFF, 0, 0));

    KAPLO_set_logging(1);
    KAPLO_circle(99, 0, 0, 4);
    EXPECT_EQ(log_line(1), "Illegal color 99; using RED.\n");
    EXPECT_EQ(log_line(0), "red circle at (0,0), radius 4\n");
}
