// Keyboard translation: key codes, WM_CHAR from TranslateMessage, key state.
#include <string>

#include "user_fixture.h"

class KeyboardTest : public UserTest {
protected:
    HWND hwnd = nullptr;

    void SetUp() override {
        UserTest::SetUp();
        hwnd = shown_window(false);
    }

    // Pumps the queue dry (a far timer ends it), translating every message;
    // returns the characters made and records the key codes seen.
    std::string pump() {
        std::string chars;
        keydowns.clear();
        SetTimer(hwnd, 99, 10000, nullptr);
        for (;;) {
            MSG msg = next();
            if (msg.message == WM_TIMER) break;
            if (msg.message == WM_KEYDOWN) keydowns.push_back((int)msg.wParam);
            if (msg.message == WM_CHAR) chars += (char)msg.wParam;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        KillTimer(hwnd, 99);
        return chars;
    }

    // Presses and releases a key while the given modifiers are held.
    std::string press(int vk, std::vector<int> modifiers = {}) {
        for (int m : modifiers) headless_key_down(hwnd, m);
        headless_key_down(hwnd, vk);
        headless_key_up(hwnd, vk);
        for (int m : modifiers) headless_key_up(hwnd, m);
        return pump();
    }

    std::vector<int> keydowns;
};

TEST_F(KeyboardTest, LettersFollowShiftCapsAndCtrl) {
    EXPECT_EQ(press('A'), "a");
    EXPECT_EQ(keydowns.back(), 'A');  // the key code is upper case whatever the state
    EXPECT_EQ(press('A', {VK_SHIFT}), "A");
    EXPECT_EQ(press('A', {VK_CONTROL}), "\x01");
    EXPECT_EQ(press('Z', {VK_CONTROL}), "\x1a");
    press(VK_CAPITAL);
    EXPECT_EQ(press('A'), "A");
    EXPECT_EQ(press('A', {VK_SHIFT}), "a");
    press(VK_CAPITAL);
    EXPECT_EQ(press('Q'), "q");
}

TEST_F(KeyboardTest, ControlKeysAndPunctuation) {
    EXPECT_EQ(press(VK_RETURN), "\r");
    EXPECT_EQ(press(VK_BACK), "\b");
    EXPECT_EQ(press(VK_TAB), "\t");
    EXPECT_EQ(press(VK_ESCAPE), "\x1b");
    EXPECT_EQ(press(VK_SPACE), " ");
    EXPECT_EQ(press('1', {VK_SHIFT}), "!");
    EXPECT_EQ(press('1'), "1");
    EXPECT_EQ(press(VK_OEM_2, {VK_SHIFT}), "?");
    EXPECT_EQ(press(VK_NUMPAD0 + 7), "7");
    EXPECT_EQ(press(VK_ADD), "+");
}

TEST_F(KeyboardTest, ArrowsAndFunctionKeysMakeNoCharacter) {
    for (int vk : {VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_F1, VK_F12, VK_HOME, VK_DELETE, VK_SHIFT,
                   VK_CONTROL}) {
        EXPECT_EQ(press(vk), "") << "key " << vk;
    }
}

TEST_F(KeyboardTest, TypingEveryPrintableCharacterRoundTrips) {
    std::string text;
    for (int c = 0x20; c < 0x7F; ++c) text += (char)c;
    headless_type(hwnd, text.c_str());
    EXPECT_EQ(pump(), text);
    headless_type(hwnd, "\r\n\b\t\x1b\x01\x1a");
    EXPECT_EQ(pump(), "\r\n\b\t\x1b\x01\x1a");
}

TEST_F(KeyboardTest, TypingHonoursCapsLock) {
    press(VK_CAPITAL);
    headless_type(hwnd, "aB");
    EXPECT_EQ(pump(), "aB");
}

TEST_F(KeyboardTest, KeyStateFollowsTakenMessages) {
    headless_key_down(hwnd, VK_CONTROL);
    EXPECT_GE(GetKeyState(VK_CONTROL), 0);  // not taken yet
    next();
    EXPECT_LT(GetKeyState(VK_CONTROL), 0);
    headless_key_up(hwnd, VK_CONTROL);
    next();
    EXPECT_GE(GetKeyState(VK_CONTROL), 0);
}

TEST_F(KeyboardTest, TranslateReportsKeyMessagesOnly) {
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = WM_KEYUP;
    msg.wParam = 'A';
    EXPECT_TRUE(TranslateMessage(&msg));
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_F1;
    EXPECT_TRUE(TranslateMessage(&msg));  // a key message, even without a character
    msg.message = WM_LBUTTONDOWN;
    EXPECT_FALSE(TranslateMessage(&msg));
    EXPECT_EQ(pump(), "");
}

TEST_F(KeyboardTest, HeldKeyRepeatsWithThePreviousStateBit) {
    headless_key_down(hwnd, 'A');
    headless_key_down(hwnd, 'A');
    MSG first = next(), second = next();
    EXPECT_EQ(first.lParam & (1L << 30), 0);
    EXPECT_NE(second.lParam & (1L << 30), 0);
}
