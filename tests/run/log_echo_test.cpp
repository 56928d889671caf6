// --kaplo-echo's notes: the lines Logging adds for drawing calls stay out;
// mended arguments, script messages and a program's own lines come through,
// whatever colour or words they hold.
#include <gtest/gtest.h>

#include "run/log_echo.h"
#include "run/run_options.h"

TEST(LogEcho, DrawingDescriptionsAreTheOnlyLinesLeftOut) {
    for (const char *line : {"red circle at (0,0), radius 5\n", "navy blue line from (1,2) to (3,4), width 1\n",
                             "50% gray rectangle with bounding box (0,10) to (10,0), filled\n",
                             "forest green text at (-3,4), \"a circle at (1,2)\"\n", "Clearing the graphics window\n"})
        EXPECT_TRUE(log_line_describes_drawing(line)) << line;
    for (const char *line : {"Illegal color 99; using RED.\n", "Radius of -5 not possible, using radius 5\n",
                             "EOF encountered in script file KAPLO.SCR\n", "the big red circle at (3,4) is mine\n",
                             "score: 12\n", ""})
        EXPECT_FALSE(log_line_describes_drawing(line)) << line;
}

// --kaplo-echo keeps the display (it only adds a copy), and takes one of its two words.
TEST(LogEcho, TheOptionKeepsTheDesktopAndKnowsItsWords) {
    const char *args[] = {"prog", "--kaplo-echo=all", "--kaplo-scale=2", "x"};
    RunOptions o;
    std::string error;
    EXPECT_EQ(parse_run_options(4, const_cast<char **>(args), &o, &error), 2);
    EXPECT_FALSE(o.headless);
    EXPECT_EQ(o.echo, "all");
    const char *bad[] = {"prog", "--kaplo-echo=some"};
    EXPECT_EQ(parse_run_options(2, const_cast<char **>(bad), &o, &error), -1);
}
