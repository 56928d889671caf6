// The scenery's random placement and motion stay in their ranges, and reach
// both ends of them, for a fixed list of generator seeds.
#include <climits>
#include <cstdlib>

#include "game_fixture.h"

using SceneDrawing = FreshPackageTest;

static const int base_x[FLAME_COUNT] = {78, 87, 94, 103, 110, 116, 125, 132};
static const int base_y[FLAME_COUNT] = {74, 67, 77, 75, 69, 72, 70, 73};

// Smallest and largest value seen.
struct Span {
    int low = INT_MAX;
    int high = INT_MIN;
    void add(int v) {
        if (v < low) low = v;
        if (v > high) high = v;
    }
};

TEST(Scenery, StarsArePlacedInTheUpperSky) {
    Span xs, ys;
    for (unsigned seed = 1; seed <= 300; seed++) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        srand(seed);
        int star_x[STAR_COUNT], star_y[STAR_COUNT];
        place_stars(star_x, star_y);
        for (int i = 0; i < STAR_COUNT; i++) {
            ASSERT_GE(star_x[i], -300);
            ASSERT_LE(star_x[i], 300);
            ASSERT_GE(star_y[i], 150);
            ASSERT_LE(star_y[i], 250);
            xs.add(star_x[i]);
            ys.add(star_y[i]);
        }
    }
    EXPECT_LT(xs.low, -290);
    EXPECT_GT(xs.high, 290);
    EXPECT_EQ(ys.low, 150);
    EXPECT_EQ(ys.high, 250);
}

TEST(Scenery, StarsTwinkleThroughAllSizesAndColours) {
    bool size_seen[5] = {}, color_seen[NUM_COLORS] = {};
    for (unsigned seed = 1; seed <= 100; seed++) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        srand(seed);
        int size[STAR_COUNT], color[STAR_COUNT];
        twinkle_stars(size, color);
        for (int i = 0; i < STAR_COUNT; i++) {
            ASSERT_GE(size[i], 1);
            ASSERT_LE(size[i], 4);
            ASSERT_GE(color[i], 0);
            ASSERT_LT(color[i], NUM_COLORS);
            size_seen[size[i]] = true;
            color_seen[color[i]] = true;
        }
    }
    for (int s = 1; s <= 4; s++) EXPECT_TRUE(size_seen[s]) << "size " << s;
    for (int c = 0; c < NUM_COLORS; c++) EXPECT_TRUE(color_seen[c]) << "colour " << c;
}

TEST(Scenery, FlameTipsJitterAboveTheirBases) {
    Span dx, dy;
    for (unsigned seed = 1; seed <= 100; seed++) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        srand(seed);
        int tip_x[FLAME_COUNT], tip_y[FLAME_COUNT];
        jitter_flames(tip_x, tip_y, base_x, base_y);
        for (int i = 0; i < FLAME_COUNT; i++) {
            dx.add(tip_x[i] - base_x[i]);
            dy.add(tip_y[i] - base_y[i]);
        }
    }
    EXPECT_EQ(dx.low, 0);
    EXPECT_EQ(dx.high, 4);
    EXPECT_EQ(dy.low, 0);
    EXPECT_EQ(dy.high, 10);
}

TEST(Scenery, FlyerDriftsRightAndWobbles) {
    Span dx, dy;
    for (unsigned seed = 1; seed <= 100; seed++) {
        srand(seed);
        int x = 0, y = 0;
        move_flyer(x, y);
        dx.add(x);
        dy.add(y);
    }
    EXPECT_EQ(dx.low, 2);
    EXPECT_EQ(dx.high, 3);
    EXPECT_EQ(dy.low, -2);
    EXPECT_EQ(dy.high, 2);
}

// From x = 323 a step of 3 passes 325 and restarts the flyer at the left in the
// same step; a step of 2 ends at 325, still on its way.
TEST(Scenery, FlyerWrapsOnlyPastTheRightEdge) {
    int wrapped = 0, stayed = 0;
    for (unsigned seed = 1; seed <= 100; seed++) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        srand(seed);
        int x = 323, y = 40;
        move_flyer(x, y);
        if (x == -325) {
            EXPECT_EQ(y, 215);
            wrapped++;
        } else {
            EXPECT_EQ(x, 325);
            EXPECT_GE(y, 38);
            EXPECT_LE(y, 42);
            stayed++;
        }
        srand(seed);
        x = 322;
        move_flyer(x, y);
        EXPECT_GE(x, 324);
        EXPECT_LE(x, 325);
    }
    EXPECT_GT(wrapped, 0);
    EXPECT_GT(stayed, 0);
}

// Drawing the campfire moves its tips again, within their ranges.
TEST_F(SceneDrawing, CampfireRejittersItsTips) {
    begin();
    int changed = 0;
    for (unsigned seed = 1; seed <= 20; seed++) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        srand(seed);
        int tip_x[FLAME_COUNT], tip_y[FLAME_COUNT];
        for (int i = 0; i < FLAME_COUNT; i++) {
            tip_x[i] = base_x[i] - 100;
            tip_y[i] = base_y[i] - 100;
        }
        draw_campfire(tip_x, tip_y, base_x, base_y);
        for (int i = 0; i < FLAME_COUNT; i++) {
            EXPECT_GE(tip_x[i] - base_x[i], 0);
            EXPECT_LE(tip_x[i] - base_x[i], 4);
            EXPECT_GE(tip_y[i] - base_y[i], 0);
            EXPECT_LE(tip_y[i] - base_y[i], 10);
            changed++;
        }
    }
    EXPECT_EQ(changed, 20 * FLAME_COUNT);
}

// The scene's layers cover each other in order: black sky, hills over stars,
// sea-green ground over the hills' feet, the grey structures, the fire.
TEST_F(SceneDrawing, SceneLayersStandWhereTheyBelong) {
    begin();
    srand(7);
    int flyer_x = -325, flyer_y = 215;
    // Every star in the middle of the brown hill, in white, so that it would show
    // if drawn after the hills.
    int star_x[STAR_COUNT] = {60, 60, 60, 60, 60, 60, 60};
    int star_y[STAR_COUNT] = {40, 40, 40, 40, 40, 40, 40};
    int star_size[STAR_COUNT] = {4, 4, 4, 4, 4, 4, 4};
    int star_color[STAR_COUNT] = {WHITE, WHITE, WHITE, WHITE, WHITE, WHITE, WHITE};
    int tip_x[FLAME_COUNT], tip_y[FLAME_COUNT];
    jitter_flames(tip_x, tip_y, base_x, base_y);
    draw_scene(flyer_x, flyer_y, star_x, star_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
    EXPECT_EQ(back_buffer_rgb(-280, 100), RGB_BLACK);    // sky left of the hills
    EXPECT_EQ(back_buffer_rgb(60, 40), 0x996633u);       // brown hill hides the star
    EXPECT_EQ(back_buffer_rgb(-200, 0), 0x996699u);      // dusty plum hill in front of it
    EXPECT_EQ(back_buffer_rgb(250, 100), 0x006633u);     // forest green hill on the right
    EXPECT_EQ(back_buffer_rgb(0, -100), RGB_SEA_GREEN);  // ground
    EXPECT_EQ(back_buffer_rgb(-115, 155), 0xCCCCCCu);    // tower top
    EXPECT_EQ(back_buffer_rgb(110, -90), RGB_SEA_GREEN); // ground strip over the oval's foot
    EXPECT_EQ(back_buffer_rgb(110, -40), 0xCCCCCCu);     // the machine's oval
}
