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

// A desktop layout's keys, French here: the key's own characters as UTF-8
// bytes, each a WM_CHAR right after its WM_KEYDOWN; Ctrl makes only the US
// control code; a dead key types nothing until the key it changes.
TEST_F(KeyboardTest, LayoutKeysTypeTheirCharactersAsUtf8BytesAfterTheirKey) {
    std::string order;
    auto log_pump = [&] {
        order.clear();
        SetTimer(hwnd, 99, 10000, nullptr);
        for (MSG msg = next(); msg.message != WM_TIMER; msg = next()) {
            char item[16];
            snprintf(item, sizeof item, "%s%X ",
                     msg.message == WM_KEYDOWN ? "D" : msg.message == WM_CHAR ? "C" :
                     msg.message == WM_KEYUP ? "U" : "S", (unsigned)msg.wParam);
            order += item;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        KillTimer(hwnd, 99);
        return order;
    };
    headless_layout_key(hwnd, 'A', "a");   // the key at the US Q position
    headless_layout_key(hwnd, '2', "\xC3\xA9");
    EXPECT_EQ(log_pump(), "D41 C61 U41 D32 CC3 CA9 U32 ");
    headless_layout_key(hwnd, VK_OEM_6, "");  // dead circumflex
    headless_layout_key(hwnd, 'E', "\xC3\xAA");
    headless_layout_key(hwnd, VK_RETURN, "");
    EXPECT_EQ(log_pump(), "DDD UDD D45 CC3 CAA U45 DD CD UD ");
    headless_key_down(hwnd, VK_CONTROL);
    headless_layout_key(hwnd, 'Q', "q");
    headless_layout_key(hwnd, '2', "\xC3\xA9");
    headless_key_up(hwnd, VK_CONTROL);
    EXPECT_EQ(log_pump(), "D11 D51 C11 U51 D32 U32 U11 ");
    // AltGr (right Alt on these layouts) is no menu key: its characters come.
    headless_key_down(hwnd, VK_MENU);
    headless_layout_key(hwnd, '0', "@");
    headless_key_up(hwnd, VK_MENU);
    EXPECT_EQ(log_pump(), "S12 D30 C40 U30 S12 ");
}

// An input method may commit many characters at once, with no key: every
// byte comes, in order, whatever else is queued around it.
TEST_F(KeyboardTest, InputMethodTextArrivesWholeAndInOrder) {
    std::string text;
    for (int i = 0; i < 50; ++i) text += i % 2 ? "\xE5\xAD\x97" : "\xF0\x9F\x98\x80";  // 字 and an emoji
    headless_layout_key(hwnd, 'A', "a");
    headless_input_text(hwnd, text.c_str());
    headless_layout_key(hwnd, 'B', "b");
    EXPECT_EQ(pump(), "a" + text + "b");
}
