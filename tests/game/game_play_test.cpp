// The whole game through WinMain, driven by one injected event at a time and
// observed through the frames that reach the drawing window.
#ifndef _WIN32

#include <vector>

#include "game_driver.h"

namespace {

// The pixels of a rectangle of package points in the newest frame.
std::vector<unsigned> snapshot(HWND window, int left, int bottom, int right, int top) {
    std::vector<unsigned> pixels;
    for (int y = bottom; y <= top; y++) {
        for (int x = left; x <= right; x++) pixels.push_back(frame_rgb(window, x, y));
    }
    return pixels;
}

std::vector<unsigned> sky(HWND window) { return snapshot(window, -297, 150, 297, 237); }
std::vector<unsigned> campfire(HWND window) { return snapshot(window, 85, 20, 145, 100); }

// Rightmost point of the laser beam's ice-blue body below the horizon, or NO_BOX.
int beam_head(HWND window) {
    for (int x = 260; x >= -120; x--) {
        for (int y = -215; y <= -5; y++) {
            if (frame_rgb(window, x, y) == RGB_ICE_BLUE) return x;
        }
    }
    return NO_BOX;
}

bool impact_shown(HWND window) { return frame_has(window, RGB_YELLOW, -120, -215, 260, -5); }

// The i-th event fed to an action that should not mind its kind: a key, a
// tick, a click on another button and a click in the sky, in turn.
Step mixed_step(int i) {
    switch (i % 4) {
    case 0:
        return key_step();
    case 1:
        return tick_step();
    case 2:
        return click_step(-124, -151);
    default:
        return click_step(0, 100);
    }
}

// Clicks a button, then feeds events made by feed(i) until the panel is back;
// returns how many events the action took (0 when it never ended).
int action_length(GameDriver &driver, int click_x, int click_y, Step (*feed)(int)) {
    int length = 0;
    driver.next_step = [&](GameDriver &d, int events) -> Step {
        if (events == 0) return click_step(click_x, click_y);
        if (events >= 2 && box_left(d.window) != NO_BOX) {
            length = events - 1;
            return close_step();
        }
        if (events > 400) return close_step();
        return feed(events - 1);
    };
    EXPECT_EQ(play_game(driver), 0);
    EXPECT_EQ(driver.waits_after_quit, 0);
    return length;
}

}  // namespace

using GamePlay = FreshPackageTest;

TEST_F(GamePlay, FirstFrameShowsSceneFightersAndPanel) {
    GameDriver driver;
    unsigned sky_pixel = 0, ground = 0, right = 0, left = 0;
    int box = 0;
    driver.next_step = [&](GameDriver &d, int) -> Step {
        sky_pixel = frame_rgb(d.window, -280, 100);
        ground = frame_rgb(d.window, 0, -100);
        right = frame_rgb(d.window, 180, -130);
        left = frame_rgb(d.window, -185, -135);
        box = box_left(d.window);
        return close_step();
    };
    EXPECT_EQ(play_game(driver), 0);
    EXPECT_EQ(driver.waits_after_quit, 0);
    EXPECT_EQ(sky_pixel, RGB_BLACK);
    EXPECT_EQ(ground, RGB_SEA_GREEN);
    EXPECT_EQ(right, RGB_GRAY_50);
    EXPECT_EQ(left, RGB_OLIVE);
    EXPECT_EQ(box, -135);
}

// A key brings one new frame in which only the flames differ; a tick moves the
// box and makes the stars twinkle.
TEST_F(GamePlay, KeyOnlyRedrawsWhileTickMovesTheScene) {
    GameDriver driver;
    long frames = 0;
    std::vector<unsigned> sky_before, fire_before;
    driver.next_step = [&](GameDriver &d, int events) -> Step {
        if (events == 0) {
            frames = headless_frame_count(d.window);
            sky_before = sky(d.window);
            fire_before = campfire(d.window);
            return key_step();
        }
        if (events == 1) {
            EXPECT_EQ(headless_frame_count(d.window), frames + 1);
            EXPECT_EQ(box_left(d.window), -135);
            EXPECT_TRUE(sky(d.window) == sky_before) << "the sky changed on a key";
            EXPECT_FALSE(campfire(d.window) == fire_before) << "the flames did not flicker";
            return tick_step();
        }
        EXPECT_EQ(box_left(d.window), -130);
        EXPECT_FALSE(sky(d.window) == sky_before) << "the stars did not twinkle";
        return close_step();
    };
    EXPECT_EQ(play_game(driver), 0);
    EXPECT_EQ(driver.events, 2);
}

// The box visits -135, -130, ..., 10, 5, ..., -140, -135 on ticks only.
TEST_F(GamePlay, BoxSlidesToAndFroOnTicksOnly) {
    std::vector<int> path;
    for (int x = -130; x <= 10; x += 5) path.push_back(x);
    for (int x = 5; x >= -140; x -= 5) path.push_back(x);
    for (int x = -135; x <= -100; x += 5) path.push_back(x);
    std::vector<int> seen;
    int ticks = 0;
    GameDriver driver;
    driver.next_step = [&](GameDriver &d, int events) -> Step {
        if (events > 0) seen.push_back(box_left(d.window));
        if (ticks == (int)path.size()) return close_step();
        // Every seventh event is a key or a click beside the panel instead.
        if (events % 7 == 3) return key_step();
        if (events % 7 == 5) return click_step(0, -100);
        ticks++;
        return tick_step();
    };
    EXPECT_EQ(play_game(driver), 0);
    std::vector<int> expected;
    int box = -135;
    ticks = 0;
    for (int events = 0; events < (int)seen.size(); events++) {
        if (events % 7 != 3 && events % 7 != 5) box = path[ticks++];
        expected.push_back(box);
    }
    EXPECT_EQ(seen, expected);
}

// Clicks beside the buttons, in the gap between them and outside the panel
// leave the game in its main loop.
TEST_F(GamePlay, ClicksOffTheButtonsStartNothing) {
    const int points[][2] = {{-125, -160}, {20, -202}, {0, -160}, {-14, -190}, {124, -150}, {0, 100}};
    const int count = sizeof points / sizeof points[0];
    GameDriver driver;
    long frames = 0;
    driver.next_step = [&](GameDriver &d, int events) -> Step {
        if (events > 0) {
            // The click was redrawn at once and the key after it too, both with the panel.
            EXPECT_EQ(headless_frame_count(d.window), frames + 1) << "after event " << events;
            EXPECT_EQ(box_left(d.window), -135) << "after event " << events;
        }
        frames = headless_frame_count(d.window);
        if (events == 2 * count) return close_step();
        if (events % 2 == 1) return key_step();
        return click_step(points[events / 2][0], points[events / 2][1]);
    };
    EXPECT_EQ(play_game(driver), 0);
    EXPECT_EQ(driver.waits_after_quit, 0);
}

TEST_F(GamePlay, EnergyShieldTakesFortyOneEventsOfAnyKind) {
    GameDriver driver;
    EXPECT_EQ(action_length(driver, 20, -176, mixed_step), 41);
}

TEST_F(GamePlay, DualSubwoofersTakeSeventyOneEventsOfAnyKind) {
    GameDriver driver;
    EXPECT_EQ(action_length(driver, -124, -177, mixed_step), 71);
}

// While the shield flickers the box stands still; the fighters are drawn.
TEST_F(GamePlay, BoxStandsStillDuringAnAction) {
    GameDriver driver;
    int box_after = 0;
    unsigned right = 0, left = 0;
    driver.next_step = [&](GameDriver &d, int events) -> Step {
        if (events == 0) return click_step(60, -190);
        if (events == 3) {
            right = frame_rgb(d.window, 180, -130);
            left = frame_rgb(d.window, -185, -135);
        }
        if (events < 42) return tick_step();
        box_after = box_left(d.window);
        return close_step();
    };
    EXPECT_EQ(play_game(driver), 0);
    EXPECT_EQ(right, RGB_GRAY_50);
    EXPECT_EQ(left, RGB_OLIVE);
    EXPECT_EQ(box_after, -135);
}

// The cabinet stands in the left fighter's place; the left fighter's gold
// knee is not drawn.
TEST_F(GamePlay, DualSubwoofersReplaceTheLeftFighter) {
    GameDriver driver;
    unsigned cabinet = 0, knee = 0;
    driver.next_step = [&](GameDriver &d, int events) -> Step {
        if (events == 0) return click_step(-20, -200);
        if (events == 5) {
            cabinet = frame_rgb(d.window, -170, -125);
            knee = frame_rgb(d.window, -165, -110);
            return close_step();
        }
        return tick_step();
    };
    EXPECT_EQ(play_game(driver), 0);
    EXPECT_EQ(cabinet, RGB_OLIVE);
    EXPECT_EQ(knee, RGB_SEA_GREEN);
}

// Keys leave the beam where it is; it flies 12 further on each of 24 ticks,
// then crackles at the right fighter for 26 to 36 events.
TEST_F(GamePlay, LaserBlastFliesTwentyFourTicksThenStrikes) {
    GameDriver driver;
    const int keys = 10;
    int ticks = 0, ticks_to_end = 0;
    std::vector<int> heads;
    std::vector<bool> impact;
    driver.next_step = [&](GameDriver &d, int events) -> Step {
        if (events == 0) return click_step(-124, -151);
        if (events <= keys) return key_step();
        if (events > keys + 1) {
            if (box_left(d.window) != NO_BOX) {
                ticks_to_end = ticks;
                return close_step();
            }
            heads.push_back(beam_head(d.window));
            impact.push_back(impact_shown(d.window));
        } else {
            // After the click and the keys the beam has not left the gun.
            int head = beam_head(d.window);
            EXPECT_LE(head, -110 + 8);
        }
        if (ticks > 100) return close_step();
        ticks++;
        return tick_step();
    };
    EXPECT_EQ(play_game(driver), 0);
    EXPECT_GE(ticks_to_end, 24 + 26);
    EXPECT_LE(ticks_to_end, 24 + 36);
    for (int k = 1; k <= (int)heads.size(); k++) {
        SCOPED_TRACE(testing::Message() << "tick " << k);
        if (k <= 24) {
            int hx = -110 + 12 * k;
            EXPECT_GE(heads[k - 1], hx);
            EXPECT_LE(heads[k - 1], hx + 8);
            EXPECT_FALSE(impact[k - 1]);
        } else {
            EXPECT_EQ(heads[k - 1], NO_BOX);
            EXPECT_TRUE(impact[k - 1]);
        }
    }
}

// Three volleys go out along the ground line, then three come down onto the
// ring: 102..108 ticks out and 78..87 in.
TEST_F(GamePlay, MorphIntoEnergyEndsAfterSixVolleys) {
    GameDriver driver;
    int ticks = 0, ticks_to_end = 0;
    int last_out = 0, first_in = 0, out_frames = 0, in_frames = 0;
    bool fighter_hidden = true;
    driver.next_step = [&](GameDriver &d, int events) -> Step {
        if (events == 0) return click_step(20, -175);
        if (events >= 2) {
            if (box_left(d.window) != NO_BOX) {
                ticks_to_end = ticks;
                return close_step();
            }
            if (frame_rgb(d.window, 185, -170) != RGB_SEA_GREEN) fighter_hidden = false;
            if (frame_has(d.window, 0x00FFFFu, -120, -110, 140, -110)) {
                last_out = ticks;
                out_frames++;
            }
            if (frame_has(d.window, 0x00FFFFu, 185, -75, 185, 140)) {  // below the stars
                if (first_in == 0) first_in = ticks;
                in_frames++;
            }
        }
        if (ticks > 300) return close_step();
        ticks++;
        return tick_step();
    };
    EXPECT_EQ(play_game(driver), 0);
    EXPECT_GE(ticks_to_end, 3 * 34 + 3 * 26);
    EXPECT_LE(ticks_to_end, 3 * 36 + 3 * 29);
    EXPECT_TRUE(fighter_hidden) << "the right fighter was drawn during the morph";
    EXPECT_GT(out_frames, 30);
    EXPECT_GT(in_frames, 30);
    EXPECT_LT(last_out, first_in);
    EXPECT_GE(first_in, 3 * 34);
}

// A quit during an action ends the game through its main loop: WinMain
// returns 0 without waiting again, and its last full redraw shows the panel.
struct QuitCase {
    const char *name;
    int x, y;     // the button
    int ticks;    // periodic events before the quit
    bool menu;    // the Quit command instead of the close box
};

// Names the case in test output.
void PrintTo(const QuitCase &c, std::ostream *os) { *os << c.name; }

class QuitDuringAction : public FreshPackageTest, public testing::WithParamInterface<QuitCase> {};

TEST_P(QuitDuringAction, EndsTheGame) {
    const QuitCase &c = GetParam();
    GameDriver driver;
    int box_at_quit = 0;
    driver.next_step = [&](GameDriver &d, int events) -> Step {
        if (events == 0) return click_step(c.x, c.y);
        if (events == 1) return key_step();
        if (events < 2 + c.ticks) return tick_step();
        box_at_quit = box_left(d.window);
        return c.menu ? menu_quit_step() : close_step();
    };
    EXPECT_EQ(play_game(driver), 0);
    EXPECT_EQ(driver.waits_after_quit, 0) << "the game waited for events after the quit";
    EXPECT_EQ(box_at_quit, NO_BOX) << "the action had ended before the quit";
    EXPECT_EQ(back_buffer_rgb(-130, -204), RGB_BLACK) << "no last full redraw";
    EXPECT_EQ(back_buffer_rgb(180, -130), RGB_GRAY_50) << "no last full redraw";
}

INSTANTIATE_TEST_SUITE_P(Actions, QuitDuringAction,
                         testing::Values(QuitCase{"LaserFlight", -124, -151, 5, false},
                                         QuitCase{"LaserImpact", -124, -151, 30, false},
                                         QuitCase{"Subwoofers", -124, -190, 3, false},
                                         QuitCase{"MorphOutgoing", 20, -160, 10, false},
                                         QuitCase{"MorphIncoming", 20, -160, 120, false},
                                         QuitCase{"Shield", 100, -190, 2, false},
                                         QuitCase{"ShieldMenuQuit", 100, -190, 2, true}),
                         [](const testing::TestParamInfo<QuitCase> &info) { return info.param.name; });

TEST_F(GamePlay, CloseBoxInTheMainLoopEndsTheGame) {
    GameDriver driver;
    driver.next_step = [&](GameDriver &, int events) -> Step { return events < 3 ? tick_step() : close_step(); };
    EXPECT_EQ(play_game(driver), 0);
    EXPECT_EQ(driver.waits_after_quit, 0);
    EXPECT_EQ(driver.events, 3);
}

#endif
