// The message queue: retrieval order, quit, timers, paint, blocking.
#include "user_fixture.h"

using QueueTest = UserTest;

TEST_F(QueueTest, PostedBeforeInputBeforePaintBeforeTimer) {
    HWND hwnd = shown_window(false);
    SetTimer(hwnd, 7, 10, nullptr);
    headless_advance(50);
    InvalidateRect(hwnd, nullptr, FALSE);
    headless_click(hwnd, 5, 6);
    PostMessageA(hwnd, WM_USER, 1, 2);
    PostMessageA(hwnd, WM_USER + 1, 3, 4);

    std::vector<UINT> order;
    for (int i = 0; i < 6; ++i) order.push_back(next(true).message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_USER + 1, WM_LBUTTONDOWN, WM_LBUTTONUP,
                                        WM_PAINT, WM_TIMER}));
}

TEST_F(QueueTest, MouseMessagesCarryClientPointAndButtons) {
    HWND hwnd = shown_window(false);
    headless_click(hwnd, 297, 238);
    MSG down = next();
    EXPECT_EQ(down.hwnd, hwnd);
    EXPECT_EQ(down.message, (UINT)WM_LBUTTONDOWN);
    EXPECT_EQ(LOWORD(down.lParam), 297);
    EXPECT_EQ(HIWORD(down.lParam), 238);
    EXPECT_EQ(down.wParam & MK_LBUTTON, (WPARAM)MK_LBUTTON);
    MSG up = next();
    EXPECT_EQ(up.message, (UINT)WM_LBUTTONUP);
    EXPECT_EQ(up.wParam & MK_LBUTTON, 0u);
}

TEST_F(QueueTest, QuitComesAfterPostedMessagesAndOnlyOnce) {
    HWND hwnd = shown_window(false);
    PostQuitMessage(3);
    PostMessageA(hwnd, WM_USER, 0, 0);
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, (UINT)WM_USER);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    // The next call waits for something new: here the timer.
    SetTimer(hwnd, 1, 100, nullptr);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, (UINT)WM_TIMER);
}

TEST_F(QueueTest, QuitGoesBeforeInput) {
    HWND hwnd = shown_window(false);
    headless_click(hwnd, 1, 1);
    PostQuitMessage(0);
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(next().message, (UINT)WM_LBUTTONDOWN);
}

TEST_F(QueueTest, TimerLeftAloneYieldsOneMessage) {
    HWND hwnd = shown_window(false);
    SetTimer(hwnd, 2, 5, nullptr);
    headless_advance(300);
    MSG msg = next();
    EXPECT_EQ(msg.message, (UINT)WM_TIMER);
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_EQ(headless_now(), 300u);
    // The timer restarted when retrieved: the next one needs more time.
    msg = next();
    EXPECT_EQ(msg.message, (UINT)WM_TIMER);
    EXPECT_GT(headless_now(), 300u);
}

TEST_F(QueueTest, EachTimerHasItsOwnPendingMessage) {
    HWND hwnd = shown_window(false);
    SetTimer(hwnd, 1, 50, nullptr);
    SetTimer(hwnd, 2, 20, nullptr);
    headless_advance(1000);
    MSG a = next(), b = next();
    EXPECT_EQ(a.message, (UINT)WM_TIMER);
    EXPECT_EQ(b.message, (UINT)WM_TIMER);
    EXPECT_EQ(a.wParam, 2u);  // the one due first
    EXPECT_EQ(b.wParam, 1u);
    EXPECT_EQ(headless_now(), 1000u);
}

TEST_F(QueueTest, BlockingJumpsTheVirtualClockToTheTimer) {
    HWND hwnd = shown_window(false);
    SetTimer(hwnd, 2, 50, nullptr);
    for (int i = 1; i <= 3; ++i) {
        MSG msg = next(true);
        EXPECT_EQ(msg.message, (UINT)WM_TIMER);
        EXPECT_EQ(headless_now(), (DWORD)(50 * i));
        EXPECT_EQ(GetTickCount(), (DWORD)(50 * i));
    }
}

TEST_F(QueueTest, KillTimerStopsAndSetTimerRestarts) {
    HWND hwnd = shown_window(false);
    SetTimer(hwnd, 1, 100, nullptr);
    headless_advance(90);
    SetTimer(hwnd, 1, 100, nullptr);  // restarts from now
    SetTimer(hwnd, 2, 500, nullptr);
    EXPECT_TRUE(KillTimer(hwnd, 2));
    EXPECT_FALSE(KillTimer(hwnd, 2));
    MSG msg = next();
    EXPECT_EQ(msg.wParam, 1u);
    EXPECT_EQ(headless_now(), 190u);
}

static int callback_calls;
// A timer callback counting its calls.
static void CALLBACK count_timer(HWND, UINT, UINT_PTR, DWORD) { ++callback_calls; }

TEST_F(QueueTest, TimerCallbackRunsInsteadOfTheProcedure) {
    HWND hwnd = shown_window(false);
    callback_calls = 0;
    SetTimer(hwnd, 4, 10, count_timer);
    next(true);
    EXPECT_EQ(callback_calls, 1);
    EXPECT_TRUE(seen().empty());
}

TEST_F(QueueTest, PaintRepeatsUntilValidated) {
    HWND hwnd = shown_window(false);
    SetTimer(hwnd, 1, 1000, nullptr);
    InvalidateRect(hwnd, nullptr, TRUE);
    EXPECT_EQ(next().message, (UINT)WM_PAINT);
    EXPECT_EQ(next().message, (UINT)WM_PAINT);  // taking it does not validate
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    EndPaint(hwnd, &ps);
    EXPECT_EQ(next().message, (UINT)WM_TIMER);
}

TEST_F(QueueTest, HiddenWindowsGetNoPaintUntilShown) {
    HWND hwnd = make_window(false);
    SetTimer(hwnd, 1, 1000, nullptr);
    InvalidateRect(hwnd, nullptr, TRUE);
    EXPECT_EQ(next().message, (UINT)WM_TIMER);
    ShowWindow(hwnd, SW_SHOW);
    EXPECT_EQ(next().message, (UINT)WM_PAINT);
}

TEST_F(QueueTest, TranslatedCharacterArrivesBeforeTheNextInput) {
    HWND hwnd = shown_window(false);
    headless_type(hwnd, "a");
    headless_click(hwnd, 1, 1);
    std::vector<UINT> order;
    for (int i = 0; i < 5; ++i) order.push_back(next(true).message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_LBUTTONDOWN,
                                        WM_LBUTTONUP}));
}

TEST_F(QueueTest, SendCallsTheProcedureAtOncePostWaits) {
    HWND hwnd = shown_window(false);
    SendMessageA(hwnd, WM_USER, 5, 6);
    ASSERT_EQ(seen().size(), 1u);
    EXPECT_EQ(seen()[0].wparam, 5u);
    EXPECT_TRUE(PostMessageA(hwnd, WM_USER, 7, 8));
    EXPECT_EQ(seen().size(), 1u);
    next(true);
    EXPECT_EQ(seen().size(), 2u);
    EXPECT_FALSE(PostMessageA((HWND)0x1234, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA((HWND)0x1234, WM_USER, 0, 0), 0);
}

// Injects one click the first time the queue runs dry.
static void click_when_idle(void *context) {
    HWND hwnd = (HWND)context;
    headless_click(hwnd, 10, 20);
    headless_set_idle_hook(nullptr, nullptr);
}

TEST_F(QueueTest, IdleHookCanFeedInput) {
    HWND hwnd = shown_window(false);
    headless_set_idle_hook(click_when_idle, hwnd);
    MSG msg = next();
    EXPECT_EQ(msg.message, (UINT)WM_LBUTTONDOWN);
    EXPECT_EQ(headless_now(), 0u);
}

TEST_F(QueueTest, DestroyedWindowLeavesNothingQueued) {
    HWND hwnd = shown_window(false);
    HWND other = shown_window(false);
    SetTimer(hwnd, 1, 10, nullptr);
    PostMessageA(hwnd, WM_USER, 0, 0);
    headless_click(hwnd, 1, 1);
    DestroyWindow(hwnd);
    SetTimer(other, 9, 500, nullptr);
    MSG msg = next();
    EXPECT_EQ(msg.hwnd, other);
    EXPECT_EQ(msg.message, (UINT)WM_TIMER);
}

// Takes the next message within a window and range filter.
static MSG next_filtered(HWND hwnd, UINT lo, UINT hi) {
    MSG msg{};
    GetMessageA(&msg, hwnd, lo, hi);
    return msg;
}

TEST_F(QueueTest, FilteredCallLeavesOtherInputQueuedInOrder) {
    HWND hwnd = shown_window(false);
    headless_click(hwnd, 1, 1);
    headless_key_down(hwnd, 'A');
    headless_key_up(hwnd, 'A');
    headless_click(hwnd, 2, 2);
    EXPECT_EQ(next_filtered(nullptr, WM_KEYFIRST, WM_KEYLAST).message, (UINT)WM_KEYDOWN);
    // Key and button states follow the messages taken, not those passed over.
    EXPECT_NE(GetKeyState('A') & 0x8000, 0);
    EXPECT_EQ(GetKeyState(VK_LBUTTON) & 0x8000, 0);
    std::vector<UINT> rest;
    for (int i = 0; i < 5; ++i) rest.push_back(next().message);
    EXPECT_EQ(rest, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_KEYUP, WM_LBUTTONDOWN,
                                       WM_LBUTTONUP}));
}

TEST_F(QueueTest, WindowFilterReachesPastAnotherWindowsInput) {
    HWND first = shown_window(false);
    HWND second = shown_window(false);
    headless_click(first, 1, 1);
    headless_click(second, 3, 4);
    MSG msg = next_filtered(second, 0, 0);
    EXPECT_EQ(msg.hwnd, second);
    EXPECT_EQ(msg.message, (UINT)WM_LBUTTONDOWN);
    EXPECT_EQ(next().hwnd, first);
}

using QueueDeathTest = UserTest;

TEST_F(QueueDeathTest, WaitThatCouldNeverEndFailsAtOnce) {
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    HWND hwnd = shown_window(false);
    (void)hwnd;
    MSG msg;
    EXPECT_DEATH(GetMessageA(&msg, nullptr, 0, 0), "would wait forever");
}

TEST_F(QueueDeathTest, QuitThenNothingFailsInsteadOfHanging) {
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    shown_window(false);
    PostQuitMessage(0);
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_DEATH(GetMessageA(&msg, nullptr, 0, 0), "would wait forever");
}

TEST_F(QueueDeathTest, FilteredWaitThatCouldNeverEndFailsAtOnce) {
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    HWND hwnd = shown_window(false);
    HWND other = shown_window(false);
    headless_click(hwnd, 1, 1);
    SetTimer(hwnd, 1, 50, nullptr);  // neither the click nor the timer is the other window's
    MSG msg;
    EXPECT_DEATH(GetMessageA(&msg, other, 0, 0), "would wait forever");
    EXPECT_DEATH(GetMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST), "would wait forever");
}
