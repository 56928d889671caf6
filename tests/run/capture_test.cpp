// The GIF writer's timing and colours, and the layer's option parsing, in
// process.
#include <gtest/gtest.h>

#include "capture/gif_writer.h"
#include "run/run_options.h"
#include "run_support.h"

namespace {

// A 4 x 2 picture of one colour with a marker pixel.
std::vector<uint32_t> picture(uint32_t fill, uint32_t marker) {
    std::vector<uint32_t> p(8, fill);
    p[5] = marker;
    return p;
}

TEST(GifWriter, KeepsTheNewestFrameOfEachCentisecondAndCarriesTheRounding) {
    TempDir dir;
    GifWriter gif;
    std::string error;
    ASSERT_TRUE(gif.open(dir / "t.gif", 4, 2, &error)) << error;
    auto a = picture(0x000000, 0xFF0000), b = picture(0x000000, 0x00FF00),
         c = picture(0x0000FF, 0x00FF00), d = picture(0x0000FF, 0xFFFFFF);
    ASSERT_TRUE(gif.add_frame(a.data(), 1000, &error));  // replaced by b in the same centisecond
    ASSERT_TRUE(gif.add_frame(b.data(), 1004, &error));
    ASSERT_TRUE(gif.add_frame(c.data(), 1013, &error));
    ASSERT_TRUE(gif.add_frame(c.data(), 1020, &error));  // shows nothing new
    ASSERT_TRUE(gif.add_frame(d.data(), 1027, &error));
    ASSERT_TRUE(gif.finish(1040, &error)) << error;

    Animation anim = read_gif(dir / "t.gif");
    ASSERT_TRUE(anim.ok);
    ASSERT_EQ(anim.frames.size(), 3u);
    EXPECT_EQ(anim.frames[0].pixels, b);
    EXPECT_EQ(anim.frames[1].pixels, c);
    EXPECT_EQ(anim.frames[2].pixels, d);
    // 1004 -> 1013 rounds to 1 cs, 1013 -> 1027 to 2, 1027 -> 1040 to 1: 4 in
    // all, as 1000 -> 1040 is.
    EXPECT_EQ(anim.delays_cs, (std::vector<int>{1, 2, 1}));
}

TEST(GifWriter, MoreThan255ColoursKeepTheCommonOnesAndMapTheRestNearby) {
    TempDir dir;
    const int w = 64, h = 64;
    std::vector<uint32_t> p((size_t)w * h);
    for (int i = 0; i < w * h; ++i) p[i] = (uint32_t)(i / 16) * 0x010101;  // 256 greys, 16 each
    p[0] = 0x000101;  // a rare colour; black, now the least used grey, is left out too
    GifWriter gif;
    std::string error;
    ASSERT_TRUE(gif.open(dir / "t.gif", w, h, &error));
    ASSERT_TRUE(gif.add_frame(p.data(), 0, &error));
    ASSERT_TRUE(gif.finish(100, &error));
    Animation anim = read_gif(dir / "t.gif");
    ASSERT_TRUE(anim.ok);
    ASSERT_EQ(anim.frames.size(), 1u);
    EXPECT_EQ(anim.delays_cs[0], 10);
    int off = 0;
    for (int i = 1; i < w * h; ++i) {
        int got = anim.frames[0].pixels[i] & 0xFF, want = p[i] & 0xFF;
        EXPECT_LE(abs(got - want), 1) << i;
        off += got != want;
    }
    EXPECT_LE(off, 16) << "more than one grey was left out";
    EXPECT_EQ(anim.frames[0].pixels[0], 0x010101u);  // the nearest colour kept
}

TEST(RunOptions, LeadingOptionsAreTheLayersAndTheRestThePrograms) {
    const char *args[] = {"prog", "--kaplo-gif=a.gif", "--kaplo-every=3",
                          "--kaplo-clock=2024-01-01T00:00:00", "--kaplo-frames=f", "-x",
                          "--kaplo-log=-"};
    RunOptions o;
    std::string error;
    EXPECT_EQ(parse_run_options(7, const_cast<char **>(args), &o, &error), 4);
    EXPECT_TRUE(o.headless);
    EXPECT_EQ(o.gif, "a.gif");
    EXPECT_EQ(o.every, 3);
    EXPECT_EQ(o.clock, 1704067200);
    EXPECT_TRUE(o.log.empty()) << "an option after the program's own was taken";

    RunOptions desktop;
    const char *scale[] = {"prog", "--kaplo-scale=2", "--kaplo-clock=86400"};
    EXPECT_EQ(parse_run_options(3, const_cast<char **>(scale), &desktop, &error), 2);
    EXPECT_FALSE(desktop.headless);
    EXPECT_EQ(desktop.scale, 2);
    EXPECT_EQ(desktop.clock, 86400);
    // Only what the usage says: no junk after a value, no sign, blank or
    // overflow, only real dates; the refusal quotes the option's usage.
    for (const char *bad :
         {"--kaplo-scale=9", "--kaplo-max-ms=-1", "--kaplo-headless=1", "--kaplo-script=",
          "--kaplo-clock=2024-02-30x", "--kaplo-clock=2024-01-01T10:30junk", "--kaplo-clock=2024-1-01X",
          "--kaplo-clock=2024-02-31", "--kaplo-clock=2023-02-29", "--kaplo-clock=2024-01-01 10:30",
          "--kaplo-clock=2024-01-01T10", "--kaplo-clock=2024-01-01T10:30:", "--kaplo-clock=-5",
          "--kaplo-every=2x", "--kaplo-every= 2", "--kaplo-every=+2", "--kaplo-timeout=-0",
          "--kaplo-max-frames=99999999999999999999", "--kaplo-scale=2.0"}) {
        const char *one[] = {"prog", bad};
        RunOptions r;
        EXPECT_EQ(parse_run_options(2, const_cast<char **>(one), &r, &error), -1) << bad;
        std::string name = std::string(bad).substr(0, std::string(bad).find('='));
        EXPECT_NE(error.find("usage:\n  " + name), std::string::npos) << error;
    }
    const char *leap[] = {"prog", "--kaplo-clock=2024-02-29T10:30"};
    RunOptions r;
    ASSERT_EQ(parse_run_options(2, const_cast<char **>(leap), &r, &error), 1) << error;
    EXPECT_EQ(r.clock, 1709202600);
}

}  // namespace
