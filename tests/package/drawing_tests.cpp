// Drawing operations: argument mending, the order of log lines, descriptions.
#include <climits>
#include <string>
#include <vector>

#include "package_fixture.h"

// Checks the log lines that drawing calls write. Every test logs well under 25
// lines, so the ring's count is the number of lines logged so far.
class DrawingLogTest : public PackageTest {
protected:
    int mark = 0;

    void SetUp() override {
        PackageTest::SetUp();
        begin();
        mark_log();
    }

    // Remembers how many lines have been logged so far.
    void mark_log() { mark = log_count(); }

    // The lines logged since mark_log, oldest first.
    std::vector<std::string> logged() {
        std::vector<std::string> lines;
        for (int age = log_count() - mark - 1; age >= 0; age--) lines.push_back(log_line(age));
        return lines;
    }
};

using Lines = std::vector<std::string>;

TEST_F(DrawingLogTest, OvalLogsWidthBeforeColour) {
    EXPECT_EQ(KAPLO_oval(30, -5, 5, 5, -5, -3), 1);
    EXPECT_EQ(logged(), (Lines{"Width of -3 not possible, using width 3\n",
                               "Illegal color 30; using RED.\n",
                               "red oval with bounding box (-5,5) to (5,-5), line width 3\n"}));
}

TEST_F(DrawingLogTest, RectangleAndTriangleLogColourBeforeWidth) {
    KAPLO_rectangle(30, 10, -5, -10, 5, -3);
    KAPLO_triangle(-7, 0, 0, 10, 0, 5, 8, -1);
    EXPECT_EQ(logged(),
              (Lines{"Illegal color 30; using RED.\n", "Width of -3 not possible, using width 3\n",
                     "red rectangle with bounding box (-10,5) to (10,-5) with line width 3\n",
                     "Illegal color -7; using RED.\n", "Width of -1 not possible, using width 1\n",
                     "red triangle at (0,0), (10,0), (5,8)\n"}));
}

TEST_F(DrawingLogTest, LineLogsWidthFirstAndItsWidthAfterMending) {
    KAPLO_line(40, 1, 2, 3, 4, -2);
    KAPLO_line(BLUE, -1, -2, -3, -4, 0);
    EXPECT_EQ(logged(), (Lines{"Width of -2 not possible, using width 2\n",
                               "Illegal color 40; using RED.\n",
                               "red line from (1,2) to (3,4), width 2\n",
                               "blue line from (-1,-2) to (-3,-4), width 0\n"}));
}

TEST_F(DrawingLogTest, CircleLogsColourThenRadius) {
    KAPLO_circle(24, 7, -8, -5);
    KAPLO_circle(GREEN, 0, 0, 0);
    EXPECT_EQ(logged(), (Lines{"Illegal color 24; using RED.\n",
                               "Radius of -5 not possible, using radius 5\n",
                               "red circle at (7,-8), radius 5\n",
                               "green circle at (0,0), radius 0\n"}));
}

TEST_F(DrawingLogTest, PointSizesAreMendedBeforeTheColour) {
    KAPLO_text(50, 1, 2, -300, "hi");
    KAPLO_text(PINK, 0, 0, 200, "");
    KAPLO_text(PINK, 0, 0, 127, "ok");
    EXPECT_EQ(logged(), (Lines{"ptsize of -300 not possible, using ptsize 300\n",
                               "ptsize of 300 not possible, using ptsize 127\n",
                               "Illegal color 50; using RED.\n", "red text at (1,2), \"hi\"\n",
                               "ptsize of 200 not possible, using ptsize 127\n",
                               "pink text at (0,0), \"\"\n", "pink text at (0,0), \"ok\"\n"}));
}

TEST_F(DrawingLogTest, FilledShapesAreDescribedAsFilled) {
    KAPLO_rectangle(BLACK, 10, -5, -10, 5, 0);
    KAPLO_oval(OLIVE, 10, -5, -10, 5, 0);
    KAPLO_oval(GOLD, 1, 1, 2, 2, 2);
    EXPECT_EQ(logged(), (Lines{"black rectangle with bounding box (-10,5) to (10,-5), filled\n",
                               "olive oval with bounding box (-10,5) to (10,-5), filled\n",
                               "gold oval with bounding box (1,2) to (2,1), line width 2\n"}));
}

TEST_F(DrawingLogTest, WipeIsDescribed) {
    EXPECT_EQ(KAPLO_wipe(), 1);
    EXPECT_EQ(logged(), (Lines{"Clearing the graphics window\n"}));
}

TEST_F(DrawingLogTest, WithLoggingOffOnlyMendingLinesAreWritten) {
    KAPLO_set_logging(0);
    mark_log();
    KAPLO_wipe();
    KAPLO_circle(RED, 0, 0, 3);
    KAPLO_line(RED, 0, 0, 3, 3, -4);
    KAPLO_text(RED, 0, 0, 12, "quiet");
    KAPLO_oval(RED, 0, 0, 3, 3, 1);
    KAPLO_triangle(-1, 0, 0, 1, 1, 2, 0, 0);
    EXPECT_EQ(logged(), (Lines{"Width of -4 not possible, using width 4\n",
                               "Illegal color -1; using RED.\n"}));
}

TEST_F(DrawingLogTest, FormattedTextReturnsItsLength) {
    EXPECT_EQ(KAPLO_textf(BLUE, 5, 6, 12, "%d", 42), 2);
    EXPECT_EQ(KAPLO_textf(BLUE, 5, 6, 12, "%s-%c", "ab", 'c'), 4);
    EXPECT_EQ(logged(), (Lines{"blue text at (5,6), \"42\"\n", "blue text at (5,6), \"ab-c\"\n"}));
}

TEST_F(DrawingLogTest, LongFormattedTextIsCutToItsBuffer) {
    std::string long_text(5000, 'w');
    EXPECT_EQ(KAPLO_textf(BLACK, 0, 0, 10, "%s", long_text.c_str()), TEXTF_BUFFER_SIZE - 1);
    std::string line = log_line(0);
    EXPECT_EQ(line.size(), (size_t)LOG_LINE_SIZE - 1);  // the description is cut as well
    EXPECT_EQ(line.substr(0, 23), "black text at (0,0), \"w");
}

TEST_F(DrawingLogTest, ExtremeArgumentsAreMendedWithoutOverflow) {
    KAPLO_set_logging(0);
    mark_log();
    KAPLO_circle(BLACK, 0, 0, INT_MIN);
    KAPLO_line(BLACK, 0, 0, 1, 1, INT_MIN);
    KAPLO_text(BLACK, 0, 0, INT_MIN, "x");
    EXPECT_EQ(logged(), (Lines{"Radius of -2147483648 not possible, using radius 2147483647\n",
                               "Width of -2147483648 not possible, using width 2147483647\n",
                               "ptsize of -2147483648 not possible, using ptsize 2147483647\n",
                               "ptsize of 2147483647 not possible, using ptsize 127\n"}));
}

TEST_F(DrawingLogTest, NullTextDrawsNothingAndIsDescribedAsEmpty) {
    EXPECT_EQ(KAPLO_text(BLACK, 0, 0, 12, nullptr), 1);
    EXPECT_EQ(logged(), (Lines{"black text at (0,0), \"\"\n"}));
}

using EarlyDrawingTest = PackageTest;

TEST_F(EarlyDrawingTest, DrawingBeforeBeginLogsAndDoesNoHarm) {
    EXPECT_EQ(KAPLO_wipe(), 1);
    EXPECT_EQ(KAPLO_circle(RED, 0, 0, 5), 1);
    EXPECT_EQ(KAPLO_triangle(RED, 0, 0, 5, 5, 0, 5, 0), 1);
    EXPECT_EQ(KAPLO_rectangle(RED, 0, 0, 5, 5, 1), 1);
    EXPECT_EQ(KAPLO_oval(RED, 0, 0, 5, 5, 0), 1);
    EXPECT_EQ(KAPLO_line(RED, 0, 0, 5, 5, 1), 1);
    EXPECT_EQ(KAPLO_text(99, 0, 0, 12, "early"), 1);
    EXPECT_EQ(KAPLO_textf(RED, 0, 0, 12, "%d", 123), 3);
    EXPECT_EQ(log_count(), 9);
    EXPECT_EQ(log_line(8), "Clearing the graphics window\n");
    EXPECT_EQ(log_line(2), "Illegal color 99; using RED.\n");
    EXPECT_EQ(log_line(0), "red text at (0,0), \"123\"\n");
}
