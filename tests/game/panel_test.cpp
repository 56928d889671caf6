// The action panel: hit test, button choice, the sliding box, the error text.
#include <vector>

#include "game_fixture.h"

using PanelDrawing = FreshPackageTest;

// Bounds of the hit area are exclusive on all four sides; the gap between the
// columns belongs to it.
TEST(ActionPanel, HitAreaBoundsAreExclusive) {
    struct Case {
        int x, y, hit;
    } cases[] = {
        {-124, -151, 1}, {124, -201, 1}, {0, -160, 1},   {-125, -160, 0}, {125, -160, 0},
        {-124, -150, 0}, {-124, -202, 0}, {20, -202, 0}, {20, -176, 1},   {0, 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(hit_action_panel(c.x, c.y), c.hit) << "(" << c.x << ", " << c.y << ")";
    }
}

// Rows split at y = -176, columns at x = 0; the left column gives 1 and 2,
// the right one 3 and 4.
TEST(ActionPanel, ButtonIndexByRowAndColumn) {
    struct Case {
        int x, y, button;
    } cases[] = {
        {-124, -151, 1}, {-124, -175, 1}, {-124, -176, 2}, {-124, -201, 2}, {-15, -160, 1},
        {15, -160, 3},   {20, -175, 3},   {20, -176, 4},   {124, -201, 4},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(button_index(c.x, c.y), c.button) << "(" << c.x << ", " << c.y << ")";
    }
}

// The box runs from -135 right to 10, turns, runs left to -140, turns again.
TEST(ActionPanel, SlidingBoxTurnsAtBothEnds) {
    std::vector<int> expected;
    for (int x = -130; x <= 10; x += 5) expected.push_back(x);
    for (int x = 5; x >= -140; x -= 5) expected.push_back(x);
    for (int x = -135; x <= 10; x += 5) expected.push_back(x);
    int box_x = -135, direction = 1;
    for (size_t step = 0; step < expected.size(); step++) {
        slide_box(box_x, direction);
        ASSERT_EQ(box_x, expected[step]) << "after step " << step + 1;
    }
}

// A click beside both columns or in the gap between them shows the error
// text and gives no button.
TEST_F(PanelDrawing, ButtonIndexOutsideTheColumnsShowsTheError) {
    begin();
    KAPLO_set_logging(1);
    for (int x : {0, -14, 14, -126, 126}) {
        KAPLO_log("marker\n");
        EXPECT_EQ(button_index(x, -160), 0) << "x " << x;
        std::string line = log_line(0);
        EXPECT_NE(line.find("red text at (0,0), \"Program error!\""), std::string::npos) << line;
    }
}

// The panel draws the black box from its corner 130 wide and 62 high, and
// leaves the ground visible beside it.
TEST_F(PanelDrawing, PanelBoxStandsAtItsCorner) {
    begin();
    KAPLO_rectangle(SEA_GREEN, -300, -250, 300, -50, 0);
    draw_action_panel(-60, -145);
    EXPECT_EQ(back_buffer_rgb(-55, -147), RGB_BLACK);
    EXPECT_EQ(back_buffer_rgb(65, -205), RGB_BLACK);
    EXPECT_EQ(back_buffer_rgb(-65, -147), RGB_SEA_GREEN);
    EXPECT_EQ(back_buffer_rgb(75, -147), RGB_SEA_GREEN);
    EXPECT_EQ(back_buffer_rgb(0, -140), RGB_SEA_GREEN);
    EXPECT_EQ(back_buffer_rgb(0, -212), RGB_SEA_GREEN);
}
