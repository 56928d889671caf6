// Checks that need the portable layer's own tools: object accounting, the
// headless screen size and input, presented frames.
#ifndef _WIN32
#include <climits>

#include "package_fixture.h"

// Whether two object counts are the same.
static bool same_counts(const PlatformCounts &a, const PlatformCounts &b) {
    return a.pens == b.pens && a.brushes == b.brushes && a.fonts == b.fonts &&
           a.bitmaps == b.bitmaps && a.dcs == b.dcs && a.global_blocks == b.global_blocks;
}

// Prints object counts for a failure message.
static std::string describe(const PlatformCounts &c) {
    return "pens " + std::to_string(c.pens) + ", brushes " + std::to_string(c.brushes) +
           ", fonts " + std::to_string(c.fonts) + ", bitmaps " + std::to_string(c.bitmaps) +
           ", dcs " + std::to_string(c.dcs) + ", blocks " + std::to_string(c.global_blocks);
}

using HeadlessTest = PackageTest;

TEST_F(HeadlessTest, WithoutWindowsBeginReturnsOneRequestsReturnZeroAndTheNextEventIsQuit) {
    headless_fail_windows(1);
    EXPECT_EQ(KAPLO_begin(nullptr, nullptr, nullptr, SW_SHOWNORMAL), 1);
    EXPECT_EQ(package_state.drawing_window, nullptr);
    EXPECT_EQ(package_state.text_window, nullptr);
    EXPECT_EQ(KAPLO_set_animation(ANIMATE_RUN), 0);
    EXPECT_EQ(KAPLO_set_logging(1), 0);
    EXPECT_EQ(package_state.running, 0);
    EXPECT_EQ(KAPLO_circle(RED, 10, 10, 5), 1);  // the back buffer is still there to draw on
    // No event can come: the program is told to quit at once rather than
    // waiting forever (a hook ends the wait should it ever start).
    static int waits = 0;
    waits = 0;
    headless_set_idle_hook([](void *) { waits++ < 3 ? (void)0 : PostQuitMessage(0); }, nullptr);
    EXPECT_EQ(KAPLO_next_event(nullptr, nullptr, nullptr), KAPLO_QUIT);
    EXPECT_EQ(waits, 0);
    headless_set_idle_hook(nullptr, nullptr);
    EXPECT_EQ(KAPLO_end(), 1);
}

TEST_F(HeadlessTest, DrawingWindowHasTheExpectedClientArea) {
    begin();
    RECT client;
    GetClientRect(package_state.drawing_window, &client);
    EXPECT_EQ(client.right - client.left, 595);
    EXPECT_EQ(client.bottom - client.top, 476);
    EXPECT_EQ(package_state.origin_x, 297);
    EXPECT_EQ(package_state.origin_y, 238);
    post_click(297, 0);
    Event event = next_event();
    EXPECT_EQ(event.kind, KAPLO_MOUSE);
    EXPECT_EQ(event.x, 0);
    EXPECT_EQ(event.y, 238);
}

TEST_F(HeadlessTest, TextWindowIsAThirdOfTheScreenHigh) {
    begin();
    RECT outer;
    GetWindowRect(package_state.text_window, &outer);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
    EXPECT_EQ(outer.bottom - outer.top, 341);
}

TEST_F(HeadlessTest, RealClickAndTypingReachTheProgram) {
    begin();
    headless_click(package_state.drawing_window, 300, 200);
    headless_type(package_state.drawing_window, "a");
    Event click = next_event();
    Event key = next_event();
    EXPECT_EQ(click.kind, KAPLO_MOUSE);
    EXPECT_EQ(click.x, 3);
    EXPECT_EQ(click.y, 38);
    EXPECT_EQ(key.kind, KAPLO_KBD);
    EXPECT_EQ(key.key, 'a');
}

TEST_F(HeadlessTest, PackageTimerDrivesAnimation) {
    KAPLO_begin(nullptr, nullptr, nullptr, SW_SHOWNORMAL);  // with its own timer running
    KAPLO_set_animation(ANIMATE_RUN);
    DWORD start = headless_now();
    for (int i = 0; i < 3; i++) EXPECT_EQ(next_event().kind, KAPLO_PERIODIC);
    EXPECT_GE(headless_now() - start, (DWORD)(3 * TICK_MS));
}

TEST_F(HeadlessTest, CloseBoxEndsRetrievalWithQuit) {
    begin();
    headless_close_box(package_state.drawing_window);
    EXPECT_EQ(next_event().kind, KAPLO_QUIT);
}

TEST_F(HeadlessTest, FrameShowsTheBackBufferAfterTheNextMessage) {
    begin();
    KAPLO_set_logging(0);
    KAPLO_wipe();
    KAPLO_circle(GREEN, 0, 0, 20);
    post_char('f');
    next_event();
    DWORD pixel = 0;
    ASSERT_TRUE(headless_frame_pixel(package_state.drawing_window, 0, 297, 238, &pixel));
    EXPECT_EQ(pixel, 0x00FF00u);
    ASSERT_TRUE(headless_frame_pixel(package_state.drawing_window, 0, 297 + 30, 238, &pixel));
    EXPECT_EQ(pixel, 0xFFFFFFu);
}

TEST_F(HeadlessTest, EndReleasesTheWindowContext) {
    begin();
    PlatformCounts before = platform_live_objects();
    KAPLO_end();
    EXPECT_EQ(platform_live_objects().dcs, before.dcs - 1);
    KAPLO_end();
    EXPECT_EQ(platform_live_objects().dcs, before.dcs - 1);
}

TEST_F(HeadlessTest, ReplacedLogLinesAreFreed) {
    PlatformCounts before = platform_live_objects();
    for (int i = 1; i <= 25; i++) KAPLO_log("line %d", i);
    EXPECT_EQ(platform_live_objects().global_blocks, before.global_blocks + 25);
    HGLOBAL first = package_state.log_lines[0];
    KAPLO_log("line 26");
    EXPECT_EQ(platform_live_objects().global_blocks, before.global_blocks + 25);
    EXPECT_NE(package_state.log_lines[0], nullptr);
    (void)first;
}

TEST_F(HeadlessTest, DrawingAndPaintingLeakNothing) {
    begin();
    post_char('s');
    next_event();  // settles the first paint
    PlatformCounts before = platform_live_objects();
    struct Call {
        const char *name;
        void (*run)();
    };
    const Call calls[] = {
        {"wipe", [] { KAPLO_wipe(); }},
        {"circle", [] { KAPLO_circle(RED, 1, 2, 30); }},
        {"bad circle", [] { KAPLO_circle(77, 1, 2, -30); }},
        {"triangle", [] { KAPLO_triangle(BLUE, 0, 0, 40, 0, 20, 30, 0); }},
        {"outlined triangle", [] { KAPLO_triangle(BLUE, 0, 0, 40, 0, 20, 30, 3); }},
        {"rectangle", [] { KAPLO_rectangle(GOLD, -5, 5, 5, -5, 0); }},
        {"outlined rectangle", [] { KAPLO_rectangle(GOLD, -5, 5, 5, -5, 2); }},
        {"oval", [] { KAPLO_oval(PEACH, -50, 20, 50, -20, 0); }},
        {"outlined oval", [] { KAPLO_oval(PEACH, -50, 20, 50, -20, 4); }},
        {"line", [] { KAPLO_line(CHALK, -100, -100, 100, 100, 0); }},
        {"text", [] { KAPLO_text(BLACK, -100, 0, 16, "two\nlines"); }},
        {"textf", [] { KAPLO_textf(BLACK, -100, 0, 0, "%d", 5); }},
        {"extreme", [] { KAPLO_line(RED, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX); }},
        {"log line", [] { KAPLO_log("x"); }},
        {"paint", [] {
             InvalidateRect(package_state.text_window, nullptr, TRUE);
             UpdateWindow(package_state.text_window);
         }},
        {"paint drawing window", [] {
             InvalidateRect(package_state.drawing_window, nullptr, TRUE);
             UpdateWindow(package_state.drawing_window);
         }},
    };
    // Fill the ring first, so that every further log line replaces one.
    for (int i = 0; i < LOG_RING_SIZE; i++) KAPLO_log("filler %d", i);
    before = platform_live_objects();
    for (const Call &call : calls) {
        call.run();
        PlatformCounts after = platform_live_objects();
        EXPECT_TRUE(same_counts(before, after))
            << call.name << ": before " << describe(before) << "; after " << describe(after);
    }
}
#endif
