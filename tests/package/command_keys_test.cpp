// Ctrl+letter commands, in the drawing window and forwarded from the text window.
#include "script_fixture.h"

namespace {

class CommandKeys : public ScriptTest {
protected:
    // Posts Ctrl down, then the key, to a window.
    void post_ctrl_key(HWND window, int key) {
        post_key(window, WM_KEYDOWN, VK_CONTROL);
        post_key(window, WM_KEYDOWN, key);
    }
};

TEST_F(CommandKeys, PlainLetterIsACharacterAndCtrlLetterACommand) {
    post_key(package_state.drawing_window, WM_KEYDOWN, 'A');
    post_char('a');
    Event typed = next_event();
    EXPECT_EQ(typed.kind, KAPLO_KBD);
    EXPECT_EQ(typed.key, 'a');
    EXPECT_EQ(package_state.running, 0);
    EXPECT_EQ(package_state.ctrl_down, 0);

    // Ctrl+A starts the animation; its character is swallowed and a tick follows.
    post_ctrl_key(package_state.drawing_window, 'A');
    post_char(0x01);
    post_tick();
    EXPECT_EQ(next_event().kind, KAPLO_PERIODIC);
    EXPECT_EQ(package_state.running, 1);
    EXPECT_EQ(package_state.ctrl_down, 1);

    post_key(package_state.drawing_window, WM_KEYUP, VK_CONTROL);
    post_char('b');
    EXPECT_EQ(next_event().key, 'b');
    EXPECT_EQ(package_state.ctrl_down, 0);
}

TEST_F(CommandKeys, UpperAndLowerCaseCodesActAlike) {
    const int keys[] = {'L', 'l'};
    for (int key : keys) {
        int logging = package_state.logging;
        post_ctrl_key(package_state.drawing_window, key);
        post_char('z');  // arrives while Ctrl is held: ignored
        post_key(package_state.drawing_window, WM_KEYUP, VK_CONTROL);
        post_char('y');
        EXPECT_EQ(next_event().key, 'y');
        EXPECT_EQ(package_state.logging, !logging) << (char)key;
        EXPECT_EQ(checked(CMD_LOGGING), !logging) << (char)key;
    }
}

TEST_F(CommandKeys, EachCommandLetterRunsItsCommand) {
    post_ctrl_key(package_state.drawing_window, 'r');
    post_key(package_state.drawing_window, WM_KEYDOWN, 'F');
    post_key(package_state.drawing_window, WM_KEYDOWN, 'X');  // no command
    post_tick();
    EXPECT_EQ(next_event().kind, KAPLO_PERIODIC);
    EXPECT_EQ(package_state.recording, 1);
    EXPECT_TRUE(checked(CMD_RECORD));
    EXPECT_EQ(package_state.single_step, 0);  // used up by the periodic event

    post_key(package_state.drawing_window, WM_KEYDOWN, 'R');
    post_key(package_state.drawing_window, WM_KEYDOWN, 'P');
    post_key(package_state.drawing_window, WM_KEYDOWN, 'o');
    post_key(package_state.drawing_window, WM_KEYUP, VK_CONTROL);
    post_click(package_state.origin_x, package_state.origin_y);
    // Ctrl+P and Ctrl+O each ask for a script event; with no script the click comes through.
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
    EXPECT_EQ(package_state.recording, 0);
    EXPECT_EQ(script_bytes(), "KAPLO_PERIODIC(1);\r\n");
    EXPECT_EQ(package_state.playing_back, 0);

    post_ctrl_key(package_state.drawing_window, 'Q');
    EXPECT_EQ(next_event().kind, KAPLO_QUIT);
}

TEST_F(CommandKeys, CtrlPressedInTheTextWindowThenHHalts) {
    KAPLO_set_animation(ANIMATE_RUN);
    post_ctrl_key(package_state.text_window, 'H');
    post_click(package_state.origin_x, package_state.origin_y);
    // The keys are forwarded by posting, so they reach the drawing window after this click.
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
    post_click(package_state.origin_x, package_state.origin_y);
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
    EXPECT_EQ(package_state.ctrl_down, 1);
    EXPECT_EQ(package_state.running, 0);

    post_key(package_state.text_window, WM_KEYUP, VK_CONTROL);
    post_char('k');
    post_char('m');
    EXPECT_EQ(next_event().key, 'k');  // Ctrl not yet released in the drawing window
    EXPECT_EQ(package_state.ctrl_down, 0);
}

}  // namespace
