// Frame and transcript comparison: where a learner's run parts from the
// solution's, by how much, and in which words.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "compare.h"
#include "picture.h"
#include "transcript.h"

namespace {

grade::Picture plain(int width, int height, uint32_t colour) {
    grade::Picture p;
    p.width = width;
    p.height = height;
    p.pixels.assign((size_t)width * height, colour);
    return p;
}

std::string temp_path(const char *name) {
    return testing::TempDir() + "compare_" + std::to_string(getpid()) + "_" + name;
}

}  // namespace

TEST(CompareFrames, ColourDistanceAndPixelShareAreBoundsThatPass) {
    grade::Picture expected = plain(10, 10, 0x808080), learner = expected;
    learner.pixels[0] = 0x808085;  // 5 away in blue
    grade::Tolerance t;
    t.colour_distance = 5;
    auto c = grade::compare_frames(learner, expected, t);
    EXPECT_TRUE(c.passed);
    EXPECT_EQ(c.differing, 0);
    EXPECT_EQ(c.worst_distance, 5);
    EXPECT_EQ(c.difference.pixels[0], 0xFFA000u);  // within the tolerance: orange

    t.colour_distance = 4;
    c = grade::compare_frames(learner, expected, t);
    EXPECT_FALSE(c.passed);
    EXPECT_EQ(c.words, "1.0% of the pixels differ (by up to 5 in red, green or blue)");
    EXPECT_EQ(c.difference.pixels[0], 0xFF0000u);

    // 3 of 300 pixels is exactly 1%: allowed; a 4th is not.
    expected = plain(30, 10, 0xFFFFFF);
    learner = expected;
    for (int i = 0; i < 3; ++i) learner.pixels[i * 50] = 0;
    t.colour_distance = 0;
    t.pixel_share = 0.01;
    c = grade::compare_frames(learner, expected, t);
    EXPECT_TRUE(c.passed);
    EXPECT_EQ(c.words, "1.0% of the pixels differ (by up to 255 in red, green or blue), within the 1% allowed");
    learner.pixels[299] = 0;
    c = grade::compare_frames(learner, expected, t);
    EXPECT_FALSE(c.passed);
    EXPECT_DOUBLE_EQ(c.share, 4.0 / 300);
}

TEST(CompareFrames, IgnoredRegionsAreLeftOutAndMayReachPastTheFrame) {
    grade::Picture expected = plain(20, 10, 0xFFFFFF), learner = plain(20, 10, 0x000000);
    grade::Tolerance t;
    t.ignore = {{-5, -5, 30, 8}, {10, 0, 1000, 1000}, {3, 3, -4, 2}};  // rows 0-2; columns 10-19; nothing
    auto c = grade::compare_frames(learner, expected, t);
    EXPECT_EQ(c.compared, 10 * 7);
    EXPECT_EQ(c.differing, 10 * 7);
    EXPECT_EQ(c.words, "all the pixels differ (by up to 255 in red, green or blue)");
    EXPECT_NE(c.difference.pixels[0], c.difference.pixels[3 * 20]);  // tinted, red

    t.ignore = {{0, 0, 20, 10}};
    c = grade::compare_frames(learner, expected, t);
    EXPECT_TRUE(c.passed);
    EXPECT_EQ(c.words, "the same");
}

TEST(CompareFrames, FramesOfDifferentSizesFailWithBothSizesInWords) {
    grade::Picture learner = plain(595, 495, 0xFFFFFF), expected = plain(601, 540, 0xFFFFFF);
    grade::Tolerance t;
    t.pixel_share = 1;
    auto c = grade::compare_frames(learner, expected, t);
    EXPECT_FALSE(c.passed);
    EXPECT_FALSE(c.same_size);
    EXPECT_EQ(c.share, 1);
    EXPECT_EQ(c.words, "the frame is 595 x 495 pixels where the solution's is 601 x 540");
    EXPECT_EQ(c.difference.width, 601);
    EXPECT_EQ(c.difference.height, 540);

    // Wider on one side, taller on the other; a broken picture counts as empty.
    c = grade::compare_frames(plain(4, 1, 0), plain(1, 4, 0), t);
    EXPECT_EQ(c.difference.width * c.difference.height, 16);
    grade::Picture broken = plain(3, 3, 0);
    broken.pixels.pop_back();
    c = grade::compare_frames(broken, plain(2, 2, 0), t);
    EXPECT_EQ(c.words, "the frame is empty where the solution's is 2 x 2 pixels");
    c = grade::compare_frames(broken, grade::Picture(), t);
    EXPECT_FALSE(c.difference.pixels.empty());
}

TEST(Pictures, WrittenPngReadsBackAndPaletteAndAlphaPngsRead) {
    grade::Picture p = plain(3, 2, 0x123456);
    p.pixels[5] = 0xFEDCBA;
    std::string path = temp_path("round.png"), error;
    ASSERT_TRUE(grade::write_png(path, p, &error)) << error;
    grade::Picture back;
    ASSERT_TRUE(grade::read_png(path, &back, &error)) << error;
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.pixels, p.pixels);

    // A palette picture and an RGBA one whose second pixel is half transparent
    // black; and 16 bits a channel, read as stored (no gamma correction).
    auto write = [&](png_uint_32 format, const void *pixels, const void *colour_map) {
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        image.width = 2;
        image.height = 1;
        image.format = format;
        image.colormap_entries = colour_map ? 2 : 0;
        EXPECT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, pixels, 0, colour_map)) << image.message;
        EXPECT_TRUE(grade::read_png(path, &back, &error)) << error;
        return back.pixels;
    };
    const unsigned char rgba[] = {255, 0, 0, 255, 0, 0, 0, 128}, indices[] = {0, 1};
    const std::vector<uint32_t> red_grey = {0xFF0000, 0x7F7F7F};
    EXPECT_EQ(write(PNG_FORMAT_RGBA, rgba, nullptr), red_grey);
    EXPECT_EQ(write(PNG_FORMAT_RGBA_COLORMAP, indices, rgba), red_grey);
    const png_uint_16 deep[] = {0x8080, 0x4040, 0xFFFF, 0, 0, 0};
    EXPECT_EQ(write(PNG_FORMAT_LINEAR_RGB, deep, nullptr), (std::vector<uint32_t>{0x8040FF, 0}));

    std::ofstream(path) << "not a picture";
    EXPECT_FALSE(grade::read_png(path, &back, &error));
    EXPECT_NE(error.find(path), std::string::npos);
    unlink(path.c_str());
}

TEST(CompareTranscripts, WordsNameTheShapeAndWhatDiffers) {
    const std::string head =
        "Clearing the graphics window\n"
        "yellow circle at (0,20), radius 80\n"
        "black line from (-35,-10) to (35,-10), width 5\n"
        "Width of -2 not possible, using width 2\n";
    auto words = [&](const std::string &learner, const std::string &expected) {
        return grade::compare_transcripts(head + learner, head + expected).words;
    };
    EXPECT_EQ(words("orange circle at (0,20), radius 80\n", "yellow circle at (0,20), radius 80\n"),
              "the 2nd circle is orange where the solution's is yellow");
    EXPECT_EQ(words("black line from (-35,-10) to (35,-10), width 5\n",
                    "black line from (-35,-10) to (30,-10), width 5\n"),
              "the 2nd line ends at (35,-10) where the solution's ends at (30,-10)");
    EXPECT_EQ(words("red oval with bounding box (0,0) to (9,9), line width 2\n",
                    "navy blue oval with bounding box (0,0) to (9,8), filled\n"),
              "the 1st oval is red where the solution's is navy blue; its place and size differ too");
    EXPECT_EQ(words("red rectangle with bounding box (0,0) to (9,9), filled\n", "red circle at (0,0), radius 9\n"),
              "the program draws a rectangle where the solution draws a circle");
    EXPECT_EQ(words("", "blue text at (0,0), \"Hi\"\nClearing the graphics window\n"),
              "the program stopped drawing here; the solution goes on with: blue text at (0,0), \"Hi\" "
              "(and 1 more line)");
    EXPECT_EQ(words("blue text at (0,0), \"Hi\"", ""),
              "the program draws more than the solution: blue text at (0,0), \"Hi\"");
    EXPECT_EQ(words("[the run ended here: the program crashed (signal SEGV)]\n", "Clearing the graphics window\n"),
              "the run ended here: the program crashed (signal SEGV); the solution goes on with: "
              "Clearing the graphics window");
    EXPECT_EQ(words("Clearing the graphics window\n", "red triangle at (1,2), (3,4), (5,6)\n"),
              "the program clears the window where the solution draws a triangle");
    EXPECT_EQ(words("hello\n", "Illegal color 99; using RED.\n"),
              "the program writes \"hello\" where the solution writes \"Illegal color 99; using RED.\"");

    auto same = grade::compare_transcripts("a\r\nb", "a\nb\n");
    EXPECT_EQ(same.line, 0);
    auto late = grade::compare_transcripts(head + "x\n", head);
    EXPECT_EQ(late.line, 5);
    EXPECT_EQ(late.expected_line, "");
}

TEST(CompareTranscripts, LearnersTextIsShownOnOneBoundedValidLine) {
    std::string text = "red text at (0,0), \"" + std::string(5000, 'x') + "\xff\x1b\"";
    auto c = grade::compare_transcripts(text + "\n", "red text at (0,0), \"ok\xc3\xa9\"\n");
    EXPECT_EQ(c.words.substr(0, 40), "the 1st text reads \"xxxxxxxxxxxxxxxxxxxx");
    EXPECT_LT(c.words.size(), 200u);
    EXPECT_NE(c.words.find("...\" where the solution's reads \"ok\xc3\xa9\""), std::string::npos);
    EXPECT_LE(c.learner_line.size(), 310u);
    auto bytes = grade::compare_transcripts("a\xff\x1b\xe2\x82\n", "b\n");
    EXPECT_EQ(bytes.learner_line, "a????");
}
