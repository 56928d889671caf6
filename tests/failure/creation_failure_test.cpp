// Every creation of a pen, brush, font, bitmap, DC or memory block made by a
// frame of the game, a log line and the drawing calls is made to fail in turn
// (platform_fail_creation): nothing may crash or leak, a drawing call still
// marks the back buffer dirty, and a log line whose block fails leaves the
// log ring as it was.
#include <array>
#include <functional>

#include "../package/package_fixture.h"
#include "game.h"

namespace {

// The log ring's slots and ends.
struct Ring {
    std::array<HGLOBAL, LOG_RING_SIZE> lines;
    int oldest;
    int next;
    bool operator==(const Ring &o) const { return lines == o.lines && oldest == o.oldest && next == o.next; }
};

Ring ring_now() {
    Ring r;
    for (int i = 0; i < LOG_RING_SIZE; i++) r.lines[i] = package_state.log_lines[i];
    r.oldest = package_state.log_oldest;
    r.next = package_state.log_next;
    return r;
}

// How many lines were added to a full ring since `before`, the older lines
// kept in their slots; -1 when lines were lost instead.
int lines_added(const Ring &before, const Ring &after) {
    int added = (after.next - before.next + LOG_RING_SIZE) % LOG_RING_SIZE;
    for (int age = added; age < LOG_RING_SIZE; age++) {
        int slot = (after.next - 1 - age + 2 * LOG_RING_SIZE) % LOG_RING_SIZE;
        if (after.lines[slot] != before.lines[slot]) return -1;
    }
    return added;
}

bool same_counts(const PlatformCounts &a, const PlatformCounts &b) {
    return a.pens == b.pens && a.brushes == b.brushes && a.fonts == b.fonts && a.bitmaps == b.bitmaps &&
           a.dcs == b.dcs && a.global_blocks == b.global_blocks;
}

class CreationFailure : public PackageTest {
protected:
    long points_walked = 0;

    // A started package whose log ring is full, so that every log line
    // replaces one and the number of memory blocks stays the same.
    void SetUp() override {
        PackageTest::SetUp();
        begin();
        for (int i = 0; i < LOG_RING_SIZE; i++) KAPLO_log("filler %d\n", i);
        UpdateWindow(package_state.text_window);
    }

    void TearDown() override {
        platform_fail_creation(0);
        PackageTest::TearDown();
    }

    // What a walk checks besides leaks. With check_ring the work writes fewer
    // than 25 log lines, and a run may lose only the line whose block failed,
    // so exactly one run per line has one line fewer. short_runs is the number
    // of runs that may make fewer creations: a text whose private copy cannot
    // be made is not drawn, so its font is never asked for.
    struct Checks {
        bool check_ring = true;
        int short_runs = 0;
        // A drawing call, run from a clean back buffer: it must mark it dirty
        // whatever failed, unless it never reached the executor (a short run).
        bool drawing = false;
    };

    // Runs work once to count its creations, then once with each of them
    // failing, checking after each run that nothing leaked. Returns the number
    // of creations.
    long walk(const std::function<void()> &work, Checks checks) {
        Ring ring = ring_now();
        platform_fail_creation(0);
        work();
        long count = platform_creation_count();
        int lines = lines_added(ring, ring_now());
        int runs_losing_a_line = 0;
        int short_runs = 0;
        for (long n = 1; n <= count; n++) {
            SCOPED_TRACE(testing::Message() << "creation " << n << " of " << count << " fails");
            PlatformCounts before = platform_live_objects();
            ring = ring_now();
            platform_fail_creation(n);
            if (checks.drawing) package_state.back_buffer_dirty = 0;
            work();
            bool short_run = platform_creation_count() < count;
            short_runs += short_run;
            if (checks.drawing) {
                EXPECT_EQ(package_state.back_buffer_dirty, short_run ? 0 : 1);
            }
            platform_fail_creation(0);
            EXPECT_TRUE(same_counts(platform_live_objects(), before)) << "an object or block leaked";
            if (!checks.check_ring) continue;
            int added = lines_added(ring, ring_now());
            EXPECT_TRUE(added == lines || added == lines - 1) << added << " lines added of " << lines;
            runs_losing_a_line += added == lines - 1;
        }
        EXPECT_EQ(short_runs, checks.short_runs);
        if (checks.check_ring) {
            EXPECT_EQ(runs_losing_a_line, lines);
        }
        points_walked += count;
        return count;
    }
};

TEST_F(CreationFailure, EveryCreationOfAGameFrameCanFail) {
    int star_x[STAR_COUNT], star_y[STAR_COUNT], star_size[STAR_COUNT], star_color[STAR_COUNT];
    int base_x[FLAME_COUNT] = {78, 87, 94, 103, 110, 116, 125, 132};
    int base_y[FLAME_COUNT] = {74, 67, 77, 75, 69, 72, 70, 73};
    int tip_x[FLAME_COUNT], tip_y[FLAME_COUNT];
    srand(7);
    place_stars(star_x, star_y);
    twinkle_stars(star_size, star_color);
    jitter_flames(tip_x, tip_y, base_x, base_y);
    // A frame as the game draws it after an event, with the log window
    // repainted, and the next message handled (the back buffer copied).
    auto frame = [&] {
        package_state.back_buffer_dirty = 0;
        draw_scene(40, 200, star_x, star_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
        draw_right_fighter(185, -110);
        draw_left_fighter(-185, -110);
        draw_action_panel(-135, -145);
        EXPECT_EQ(package_state.back_buffer_dirty, 1);
        InvalidateRect(package_state.text_window, nullptr, TRUE);
        UpdateWindow(package_state.text_window);
        post_click(10, 10);
        EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
        EXPECT_EQ(package_state.back_buffer_dirty, 0);
    };
    Checks frame_checks;
    frame_checks.check_ring = false;  // more lines than the ring holds
    frame_checks.short_runs = 4;      // the panel's four labels
    KAPLO_set_logging(0);
    EXPECT_GT(walk(frame, frame_checks), 100);
    // With logging on every call writes a line as well.
    KAPLO_set_logging(1);
    EXPECT_GT(walk(frame, frame_checks), 200);
    std::printf("[ walked    ] %ld failure points of two game frames\n", points_walked);
}

TEST_F(CreationFailure, AFailedLogLineBlockLeavesTheRingAsItWas) {
    int k = 0;
    auto line = [&] {
        KAPLO_log("line %d\n", k++);
        UpdateWindow(package_state.text_window);  // the repaint that the line asked for
    };
    Checks checks;
    checks.short_runs = 1;  // a line that is not stored asks for no repaint
    EXPECT_GE(walk(line, checks), 5);  // the block, and the repaint's DC, bitmap and brush
    std::printf("[ walked    ] %ld failure points of a log line\n", points_walked);
}

TEST_F(CreationFailure, EveryDrawingCallSurvivesEachFailedCreation) {
    KAPLO_set_logging(1);
    Checks call;
    call.drawing = true;
    Checks text = call;
    text.short_runs = 1;  // the text's private copy
    walk([] { KAPLO_text(BLUE, -100, 50, 20, "Failing\ntext"); }, text);
    walk([] { KAPLO_textf(RED, 0, 0, 200, "%d", 42); }, text);  // a mended size logs a line more
    walk([] { KAPLO_circle(RED, 0, 0, 30); }, call);
    walk([] { KAPLO_oval(GREEN, -40, 20, 40, -20, 3); }, call);
    walk([] { KAPLO_rectangle(GOLD, -40, 20, 40, -20, 0); }, call);
    walk([] { KAPLO_triangle(OLIVE, 0, 0, 50, 0, 25, 40, -2); }, call);  // and so does a mended width
    walk([] { KAPLO_line(BLACK, -50, -50, 50, 50, 4); }, call);
    walk([] { KAPLO_wipe(); }, call);
    std::printf("[ walked    ] %ld failure points of the drawing calls\n", points_walked);
}

}  // namespace
