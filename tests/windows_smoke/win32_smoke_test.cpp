// A smoke test of the Win32 subset, written against <windows.h> only: the same
// program runs on the portable layer (headless) and, built with mingw-w64, on
// the real services under Wine. It proves the pipeline of each side: a window
// class and window, the message queue, a timer, a memory DC, global memory.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

namespace {

const char kClassName[] = "KaploSmokeWindow";
const UINT kPing = WM_USER + 7;

// Messages the smoke window's procedure saw, in order.
std::vector<UINT> seen;
WPARAM last_ping_wparam = 0;
LPARAM last_ping_lparam = 0;

// The smoke window's procedure: records messages, answers kPing with 42.
LRESULT CALLBACK smoke_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    seen.push_back(message);
    if (message == kPing) {
        last_ping_wparam = wparam;
        last_ping_lparam = lparam;
        return 42;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

// Registers the class once per program.
bool register_smoke_class() {
    static ATOM atom = 0;
    if (atom) return true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = smoke_proc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = kClassName;
    atom = RegisterClassA(&wc);
    return atom != 0;
}

// Whether the procedure has seen this message.
bool was_seen(UINT message) {
    for (UINT m : seen) {
        if (m == message) return true;
    }
    return false;
}

// A fresh, hidden overlapped window of the smoke class.
class Win32Smoke : public testing::Test {
protected:
    void SetUp() override {
        seen.clear();
        ASSERT_TRUE(register_smoke_class());
        hwnd_ = CreateWindowExA(0, kClassName, "KAPLO smoke", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 10, 10,
                                300, 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd_, nullptr);
    }
    void TearDown() override {
        if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    }

    // Gets messages (dispatching them) until one for our window has this
    // number; gives up after a bounded number of others.
    bool wait_for(UINT message, MSG *out) {
        for (int i = 0; i < 200; i++) {
            MSG msg;
            if (GetMessageA(&msg, nullptr, 0, 0) <= 0) return false;
            DispatchMessageA(&msg);
            if (msg.hwnd == hwnd_ && msg.message == message) {
                *out = msg;
                return true;
            }
        }
        return false;
    }

    HWND hwnd_ = nullptr;
};

TEST_F(Win32Smoke, CreationReachesTheProcedureBeforeReturning) {
    EXPECT_TRUE(was_seen(WM_CREATE));
    EXPECT_TRUE(IsWindow(hwnd_));
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    char title[32] = {};
    EXPECT_EQ(GetWindowTextA(hwnd_, title, sizeof title), 11);
    EXPECT_STREQ(title, "KAPLO smoke");
    EXPECT_EQ(FindWindowA(kClassName, nullptr), hwnd_);
    RECT client;
    ASSERT_TRUE(GetClientRect(hwnd_, &client));
    EXPECT_EQ(client.left, 0);
    EXPECT_GT(client.right, 0);
    EXPECT_GT(client.bottom, 0);
}

TEST_F(Win32Smoke, PostedMessageComesBackThroughTheQueue) {
    ASSERT_TRUE(PostMessageA(hwnd_, kPing, 5, -3));
    MSG msg;
    ASSERT_TRUE(wait_for(kPing, &msg));
    EXPECT_EQ(msg.wParam, (WPARAM)5);
    EXPECT_EQ(msg.lParam, (LPARAM)-3);
    EXPECT_EQ(last_ping_lparam, (LPARAM)-3);
    EXPECT_EQ(SendMessageA(hwnd_, kPing, 9, 0), 42);
    EXPECT_EQ(last_ping_wparam, (WPARAM)9);
}

TEST_F(Win32Smoke, QuitMessageEndsTheLoop) {
    PostQuitMessage(3);
    MSG msg;
    int result = 1;
    for (int i = 0; i < 200 && result > 0; i++) {
        result = GetMessageA(&msg, nullptr, 0, 0);
        if (result > 0) DispatchMessageA(&msg);
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
    EXPECT_EQ(msg.wParam, (WPARAM)3);
}

TEST_F(Win32Smoke, TimerDeliversTimerMessages) {
    ASSERT_NE(SetTimer(hwnd_, 17, 10, nullptr), (UINT_PTR)0);
    MSG msg;
    ASSERT_TRUE(wait_for(WM_TIMER, &msg));
    EXPECT_EQ(msg.wParam, (WPARAM)17);
    EXPECT_TRUE(KillTimer(hwnd_, 17));
}

TEST_F(Win32Smoke, DestroyWindowSendsDestroy) {
    ASSERT_TRUE(DestroyWindow(hwnd_));
    EXPECT_TRUE(was_seen(WM_DESTROY));
    EXPECT_FALSE(IsWindow(hwnd_));
    hwnd_ = nullptr;
}

TEST(Win32SmokeGdi, MemoryDcDrawsAndCopies) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 12);
    HDC copy_dc = CreateCompatibleDC(screen);
    HBITMAP copy_bitmap = CreateCompatibleBitmap(screen, 16, 12);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(dc, nullptr);
    ASSERT_NE(bitmap, nullptr);
    HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
    HGDIOBJ old_copy_bitmap = SelectObject(copy_dc, copy_bitmap);

    RECT all = {0, 0, 16, 12};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(dc, &all, white);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ old_pen = SelectObject(dc, pen);
    HGDIOBJ old_brush = SelectObject(dc, brush);
    EXPECT_TRUE(Rectangle(dc, 2, 2, 8, 6));
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(brush));
    SetPixel(dc, 12, 10, RGB(0, 128, 0));

    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(255, 0, 0));  // outline
    EXPECT_EQ(GetPixel(dc, 4, 4), RGB(0, 0, 255));  // fill
    EXPECT_EQ(GetPixel(dc, 8, 6), RGB(255, 255, 255));  // right and bottom edges excluded
    EXPECT_EQ(GetPixel(dc, 12, 10), RGB(0, 128, 0));

    FillRect(copy_dc, &all, white);
    EXPECT_TRUE(BitBlt(copy_dc, 0, 0, 16, 12, dc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(copy_dc, 4, 4), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(copy_dc, 12, 10), RGB(0, 128, 0));

    SelectObject(dc, old_bitmap);
    SelectObject(copy_dc, old_copy_bitmap);
    EXPECT_TRUE(DeleteObject(white));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteObject(copy_bitmap));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(DeleteDC(copy_dc));
}

TEST(Win32SmokeKernel, MoveableBlockKeepsItsBytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 32);
    ASSERT_NE(block, nullptr);
    EXPECT_GE(GlobalSize(block), (SIZE_T)32);
    char *text = (char *)GlobalLock(block);
    ASSERT_NE(text, nullptr);
    for (int i = 0; i < 31; i++) text[i] = (char)('a' + i % 26);
    text[31] = 0;
    GlobalUnlock(block);
    text = (char *)GlobalLock(block);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text[0], 'a');
    EXPECT_EQ(text[30], 'e');
    GlobalUnlock(block);
    EXPECT_EQ(GlobalFree(block), nullptr);
}

}  // namespace
