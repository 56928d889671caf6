// Event retrieval: clicks, characters, ticks, single steps, quitting.
#include "package_fixture.h"

using EventTest = PackageTest;

TEST_F(EventTest, ClickAtTheCentreWhileHaltedIsDeliveredAtOnce) {
    begin();
    post_click(package_state.origin_x, package_state.origin_y);
    Event event = next_event();
    EXPECT_EQ(event.kind, KAPLO_MOUSE);
    EXPECT_EQ(event.x, 0);
    EXPECT_EQ(event.y, 0);
    EXPECT_EQ(event.key, 0);
}

TEST_F(EventTest, ClicksAreConvertedToPackageCoordinates) {
    begin();
    const int ox = package_state.origin_x, oy = package_state.origin_y;
    post_click(ox, 0);
    post_click(0, 2 * oy);
    post_click(ox + 17, oy - 5);
    Event top = next_event();
    Event bottom_left = next_event();
    Event inside = next_event();
    EXPECT_EQ(top.kind, KAPLO_MOUSE);
    EXPECT_EQ(top.x, 0);
    EXPECT_EQ(top.y, oy);
    EXPECT_EQ(bottom_left.x, -ox);
    EXPECT_EQ(bottom_left.y, -oy);
    EXPECT_EQ(inside.x, 17);
    EXPECT_EQ(inside.y, 5);
}

TEST_F(EventTest, ClickPositionIsReadAsUnsignedSixteenBits) {
    begin();
    PostMessageA(package_state.drawing_window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0xFFFF, 0xFFFE));
    Event event = next_event();
    EXPECT_EQ(event.kind, KAPLO_MOUSE);
    EXPECT_EQ(event.x, 0xFFFF - package_state.origin_x);
    EXPECT_EQ(event.y, package_state.origin_y - 0xFFFE);
}

TEST_F(EventTest, OtherButtonsMeanNothing) {
    begin();
    PostMessageA(package_state.drawing_window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    PostMessageA(package_state.drawing_window, WM_LBUTTONUP, 0, MAKELPARAM(6, 6));
    post_char('q');
    Event event = next_event();
    EXPECT_EQ(event.kind, KAPLO_KBD);
    EXPECT_EQ(event.key, 'q');
}

TEST_F(EventTest, CharactersBecomeKeyboardEvents) {
    begin();
    post_char('a');
    PostMessageA(package_state.drawing_window, WM_CHAR, 0x1E9, 0);  // only the low byte counts
    Event first = next_event();
    Event second = next_event();
    EXPECT_EQ(first.kind, KAPLO_KBD);
    EXPECT_EQ(first.key, 'a');
    EXPECT_EQ(first.x, 0);
    EXPECT_EQ(first.y, 0);
    EXPECT_EQ(second.kind, KAPLO_KBD);
    EXPECT_EQ(second.key, (char)0xE9);
}

TEST_F(EventTest, CharactersTypedWithCtrlHeldAreIgnored) {
    begin();
    package_state.ctrl_down = 1;
    post_char(0x01);
    post_char('a');
    post_click(package_state.origin_x, package_state.origin_y);
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
}

TEST_F(EventTest, RequestsAreNullSafe) {
    begin();
    post_char('x');
    EXPECT_EQ(KAPLO_next_event(nullptr, nullptr, nullptr), KAPLO_KBD);
}

TEST_F(EventTest, RunningGivesOnePeriodicEventPerTwoTimerMessages) {
    begin();
    KAPLO_set_animation(ANIMATE_RUN);
    for (int i = 0; i < 5; i++) post_tick();
    Event first = next_event();
    Event second = next_event();
    EXPECT_EQ(first.kind, KAPLO_PERIODIC);
    EXPECT_EQ(second.kind, KAPLO_PERIODIC);
    EXPECT_EQ(second.x, 0);
    EXPECT_EQ(second.y, 0);
    EXPECT_EQ(second.key, 0);
    // The fifth tick only arms the next periodic event, which the click replaces.
    post_click(package_state.origin_x + 1, package_state.origin_y);
    Event third = next_event();
    EXPECT_EQ(third.kind, KAPLO_MOUSE);
    EXPECT_EQ(third.x, 1);
}

TEST_F(EventTest, TicksWhileHaltedOnlyMarkATickPending) {
    begin();
    post_tick();
    post_tick();
    post_char('h');
    EXPECT_EQ(next_event().kind, KAPLO_KBD);
    EXPECT_EQ(package_state.tick_pending, 1);
}

TEST_F(EventTest, ArmingDiscardsATickThatCameBefore) {
    begin();
    post_tick();
    post_char('k');
    EXPECT_EQ(next_event().kind, KAPLO_KBD);
    ASSERT_EQ(package_state.tick_pending, 1);
    KAPLO_set_animation(ANIMATE_RUN);
    post_tick();  // arms; the earlier tick does not count
    post_tick();  // delivers
    post_char('z');
    EXPECT_EQ(next_event().kind, KAPLO_PERIODIC);
    EXPECT_EQ(next_event().kind, KAPLO_KBD);
}

TEST_F(EventTest, SingleStepYieldsOnePeriodicEvent) {
    begin();
    KAPLO_set_animation(ANIMATE_STEP);
    post_tick();
    post_tick();
    Event step = next_event();
    EXPECT_EQ(step.kind, KAPLO_PERIODIC);
    EXPECT_EQ(package_state.single_step, 0);
    EXPECT_EQ(package_state.running, 0);
    post_tick();
    post_tick();
    post_char('n');
    EXPECT_EQ(next_event().kind, KAPLO_KBD);
}

TEST_F(EventTest, ClickBeforeTheStepsTickReplacesTheStep) {
    begin();
    KAPLO_set_animation(ANIMATE_STEP);
    post_tick();  // the step's periodic event is armed here
    post_click(package_state.origin_x, package_state.origin_y - 3);
    Event event = next_event();
    EXPECT_EQ(event.kind, KAPLO_MOUSE);
    EXPECT_EQ(event.y, 3);
    EXPECT_EQ(package_state.single_step, 0);
    post_tick();
    post_tick();
    post_char('n');
    EXPECT_EQ(next_event().kind, KAPLO_KBD);  // the step was used up
}

TEST_F(EventTest, ArmedPeriodicEventSurvivesAHalt) {
    begin();
    KAPLO_set_animation(ANIMATE_RUN);
    post_tick();  // arms the periodic event
    PostMessageA(package_state.drawing_window, WM_COMMAND, CMD_HALT, 0);
    post_tick();  // delivers it although animation is halted by now
    EXPECT_EQ(next_event().kind, KAPLO_PERIODIC);
    EXPECT_EQ(package_state.running, 0);
}

TEST_F(EventTest, QuitRequestTurnsTheNextEventIntoQuitWithItsFields) {
    begin();
    KAPLO_set_animation(ANIMATE_RUN);
    KAPLO_set_animation(ANIMATE_QUIT);
    post_click(package_state.origin_x + 10, package_state.origin_y + 20);
    Event click = next_event();
    EXPECT_EQ(click.kind, KAPLO_QUIT);
    EXPECT_EQ(click.x, 10);
    EXPECT_EQ(click.y, -20);
    post_char('c');
    Event key = next_event();
    EXPECT_EQ(key.kind, KAPLO_QUIT);
    EXPECT_EQ(key.key, 'c');
    post_tick();
    post_tick();
    EXPECT_EQ(next_event().kind, KAPLO_QUIT);
}

TEST_F(EventTest, PeriodicEventsAreCountedWhileRecording) {
    begin();
    KAPLO_set_animation(ANIMATE_RUN);
    package_state.recording = 1;
    for (int i = 0; i < 4; i++) post_tick();
    EXPECT_EQ(next_event().kind, KAPLO_PERIODIC);
    EXPECT_EQ(package_state.periodic_count, 1);
    KAPLO_set_animation(ANIMATE_QUIT);
    EXPECT_EQ(next_event().kind, KAPLO_QUIT);
    EXPECT_EQ(package_state.periodic_count, 2);  // the underlying tick is still counted
    package_state.recording = 0;
}

TEST_F(EventTest, DestroyingTheDrawingWindowEndsRetrievalWithQuit) {
    begin();
    DestroyWindow(package_state.drawing_window);
    EXPECT_FALSE(IsWindow(package_state.drawing_window));
    EXPECT_EQ(next_event().kind, KAPLO_QUIT);
}

TEST_F(EventTest, ClosingTheDrawingWindowEndsRetrievalWithQuit) {
    begin();
    KAPLO_set_animation(ANIMATE_RUN);
    PostMessageA(package_state.drawing_window, WM_CLOSE, 0, 0);
    EXPECT_EQ(next_event().kind, KAPLO_QUIT);
    EXPECT_FALSE(IsWindow(package_state.drawing_window));
}

TEST_F(EventTest, DispatchedMessageCopiesADirtyBackBufferToTheWindow) {
    begin();
    KAPLO_set_logging(0);
    KAPLO_wipe();
    KAPLO_rectangle(MAGENTA, -20, 20, 20, -20, 0);
    EXPECT_EQ(package_state.back_buffer_dirty, 1);
    post_char('d');
    next_event();
    EXPECT_EQ(package_state.back_buffer_dirty, 0);
    HDC dc = GetDC(package_state.drawing_window);
    EXPECT_EQ(GetPixel(dc, package_state.origin_x, package_state.origin_y), RGB(0xFF, 0, 0xFF));
    EXPECT_EQ(GetPixel(dc, package_state.origin_x + 30, package_state.origin_y), RGB(0xFF, 0xFF, 0xFF));
    ReleaseDC(package_state.drawing_window, dc);
}

TEST_F(EventTest, PaintCopiesTheBackBuffer) {
    begin();
    KAPLO_set_logging(0);
    KAPLO_wipe();
    KAPLO_circle(CYAN, 0, 0, 10);
    InvalidateRect(package_state.drawing_window, nullptr, TRUE);
    UpdateWindow(package_state.drawing_window);
    EXPECT_EQ(package_state.back_buffer_dirty, 0);
    HDC dc = GetDC(package_state.drawing_window);
    EXPECT_EQ(GetPixel(dc, package_state.origin_x, package_state.origin_y), RGB(0, 0xFF, 0xFF));
    ReleaseDC(package_state.drawing_window, dc);
}
