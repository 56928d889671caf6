// Ctrl+letter commands, in the drawing window and forwarded from the text window.
// Keys for the drawing window are sent, so that no character made from them
// by translation is left in the queue; what a key press would also post as a
// character is posted by the test itself.
#include "script_fixture.h"

namespace {

class CommandKeys : public ScriptTest {
protected:
    // Hands a key press or release straight to the drawing window's procedure.
    void send_key(UINT message, int key) {
        SendMessageA(package_state.drawing_window, message, (WPARAM)key, 0);
    }
};

TEST_F(CommandKeys, PlainLetterIsACharacterAndCtrlLetterACommand) {
    send_key(WM_KEYDOWN, 'A');
    post_char('a');
    Event typed = next_event();
    EXPECT_EQ(typed.kind, KAPLO_KBD);
    EXPECT_EQ(typed.key, 'a');
    EXPECT_EQ(package_state.running, 0);
    EXPECT_EQ(package_state.ctrl_down, 0);

    // Ctrl+A starts the animation; its character is swallowed and a tick follows.
    send_key(WM_KEYDOWN, VK_CONTROL);
    send_key(WM_KEYDOWN, 'A');
    post_char(0x01);
    post_tick();
    EXPECT_EQ(next_event().kind, KAPLO_PERIODIC);
    EXPECT_EQ(package_state.running, 1);
    EXPECT_EQ(package_state.ctrl_down, 1);

    send_key(WM_KEYUP, VK_CONTROL);
    EXPECT_EQ(package_state.ctrl_down, 0);
    post_char('b');
    EXPECT_EQ(next_event().key, 'b');
}

TEST_F(CommandKeys, UpperAndLowerCaseCodesActAlike) {
    const int keys[] = {'L', 'l'};
    for (int key : keys) {
        int logging = package_state.logging;
        send_key(WM_KEYDOWN, VK_CONTROL);
        send_key(WM_KEYDOWN, key);
        post_char('z');  // arrives while Ctrl is held: ignored
        post_key(package_state.drawing_window, WM_KEYUP, VK_CONTROL);
        post_char('y');
        EXPECT_EQ(next_event().key, 'y');
        EXPECT_EQ(package_state.logging, !logging) << (char)key;
        EXPECT_EQ(checked(CMD_LOGGING), !logging) << (char)key;
    }
}

TEST_F(CommandKeys, EachCommandLetterRunsItsCommand) {
    send_key(WM_KEYDOWN, VK_CONTROL);
    send_key(WM_KEYDOWN, 'r');
    EXPECT_EQ(package_state.recording, 1);
    EXPECT_TRUE(checked(CMD_RECORD));
    send_key(WM_KEYDOWN, 'a');
    send_key(WM_KEYDOWN, 'F');
    EXPECT_EQ(package_state.running, 0);
    EXPECT_EQ(package_state.single_step, 1);
    send_key(WM_KEYDOWN, 'X');  // no command
    send_key(WM_KEYDOWN, VK_SPACE);
    post_tick();  // arms the step
    post_tick();  // delivers it
    EXPECT_EQ(next_event().kind, KAPLO_PERIODIC);
    EXPECT_EQ(package_state.single_step, 0);

    send_key(WM_KEYDOWN, 'R');
    EXPECT_EQ(package_state.recording, 0);
    EXPECT_EQ(script_bytes(), "KAPLO_PERIODIC(1);\r\n");

    send_key(WM_KEYDOWN, 'a');
    send_key(WM_KEYDOWN, 'h');
    EXPECT_EQ(package_state.running, 0);
    send_key(WM_KEYDOWN, 'P');
    EXPECT_EQ(package_state.playing_back, 1);
    EXPECT_TRUE(checked(CMD_PLAYBACK));
    send_key(WM_KEYDOWN, 'o');
    EXPECT_EQ(package_state.play_one, 1);
    post_click(package_state.origin_x, package_state.origin_y);
    EXPECT_EQ(next_event().kind, KAPLO_PERIODIC);  // the script's event replaces the click
    send_key(WM_KEYDOWN, 'p');
    EXPECT_EQ(package_state.playing_back, 0);
    EXPECT_EQ(package_state.script_file, nullptr);

    send_key(WM_KEYDOWN, 'l');
    EXPECT_EQ(package_state.logging, 0);
    send_key(WM_KEYDOWN, 'Q');
    EXPECT_EQ(next_event().kind, KAPLO_QUIT);
}

TEST_F(CommandKeys, CtrlPressedInTheTextWindowThenHHalts) {
    KAPLO_set_animation(ANIMATE_RUN);
    post_key(package_state.text_window, WM_KEYDOWN, VK_CONTROL);
    post_key(package_state.text_window, WM_KEYDOWN, 'H');
    post_click(package_state.origin_x, package_state.origin_y);
    // The keys are forwarded by posting, so they reach the drawing window after this click.
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
    EXPECT_EQ(package_state.running, 1);
    post_click(package_state.origin_x, package_state.origin_y);
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
    EXPECT_EQ(package_state.ctrl_down, 1);
    EXPECT_EQ(package_state.running, 0);

    // Releasing Ctrl in the text window reaches the drawing window the same way.
    post_key(package_state.text_window, WM_KEYUP, VK_CONTROL);
    post_click(package_state.origin_x, package_state.origin_y);
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
    post_char('m');
    EXPECT_EQ(next_event().key, 'm');
    EXPECT_EQ(package_state.ctrl_down, 0);
}

}  // namespace
