// The "&Run" menu: its entries, and the commands chosen from it.
#include <string>

#include "script_fixture.h"

namespace {

using CommandTest = ScriptTest;

// The text of a menu item by position.
std::string item_text(HMENU menu, int position) {
    char text[128] = "";
    GetMenuStringA(menu, (UINT)position, text, (int)sizeof text, MF_BYPOSITION);
    return text;
}

TEST_F(CommandTest, TheRunMenuHasItsSixteenEntriesInOrder) {
    HMENU bar = GetMenu(package_state.drawing_window);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetMenuItemCount(bar), 1);
    EXPECT_EQ(item_text(bar, 0), "&Run");
    EXPECT_EQ(GetSubMenu(bar, 0), package_state.run_menu);

    struct Expected {
        const char *text;  // nullptr for a separator
        UINT id;
        UINT state;
    };
    const Expected expected[] = {
        {"&Animate\tCtrl+A", CMD_ANIMATE, 0},
        {"&Halt animation\tCtrl+H", CMD_HALT, 0},
        {"Advance one &frame\tCtrl+F", CMD_STEP, 0},
        {nullptr, 0, MF_SEPARATOR},
        {"&Logging\tCtrl+L", CMD_LOGGING, MF_CHECKED},
        {nullptr, 0, MF_SEPARATOR},
        {"&Record Script\tCtrl+R", CMD_RECORD, 0},
        {"&Playback Script\tCtrl+P", CMD_PLAYBACK, 0},
        {"Play &One Script\tCtrl+O", CMD_PLAY_ONE, 0},
        {nullptr, 0, MF_SEPARATOR},
        {"&Quit\tCtrl+Q", CMD_QUIT, 0},
        {nullptr, 0, MF_SEPARATOR},
        {"KAPLO graphics package 1.0", CMD_INFO, MF_GRAYED},
        {"MAC: docs/building.md", CMD_INFO, MF_GRAYED},
        {"WINDOWS: docs/building.md#windows", CMD_INFO, MF_GRAYED},
        {"UPDATES: README.md", CMD_INFO, MF_GRAYED},
    };
    HMENU run = package_state.run_menu;
    ASSERT_EQ(GetMenuItemCount(run), 16);
    for (int i = 0; i < 16; i++) {
        const Expected &item = expected[i];
        UINT state = GetMenuState(run, (UINT)i, MF_BYPOSITION);
        if (item.text == nullptr) {
            EXPECT_NE(state & MF_SEPARATOR, 0u) << "position " << i + 1;
            continue;
        }
        EXPECT_EQ(item_text(run, i), item.text) << "position " << i + 1;
        EXPECT_EQ(GetMenuItemID(run, i), item.id) << "position " << i + 1;
        EXPECT_EQ(state & (MF_SEPARATOR | MF_CHECKED | MF_GRAYED), item.state) << "position " << i + 1;
    }
}

TEST_F(CommandTest, AnimationCommandsSetTheirFlags) {
    command(CMD_ANIMATE);
    EXPECT_EQ(package_state.running, 1);
    EXPECT_EQ(package_state.single_step, 0);
    command(CMD_STEP);
    EXPECT_EQ(package_state.running, 0);
    EXPECT_EQ(package_state.single_step, 1);
    command(CMD_ANIMATE);
    EXPECT_EQ(package_state.single_step, 1);  // left as it was
    command(CMD_HALT);
    EXPECT_EQ(package_state.running, 0);
    EXPECT_EQ(package_state.single_step, 1);
    command(CMD_ANIMATE);
    command(CMD_PLAY_ONE);
    EXPECT_EQ(package_state.play_one, 1);
    EXPECT_EQ(package_state.running, 0);
    EXPECT_EQ(package_state.single_step, 0);
}

TEST_F(CommandTest, LoggingTwiceRestoresFlagAndCheckMark) {
    command(CMD_LOGGING);
    EXPECT_EQ(package_state.logging, 0);
    EXPECT_FALSE(checked(CMD_LOGGING));
    command(CMD_LOGGING);
    EXPECT_EQ(package_state.logging, 1);
    EXPECT_TRUE(checked(CMD_LOGGING));
}

TEST_F(CommandTest, CheckMarksFollowRecordingAndPlayback) {
    command(CMD_RECORD);
    EXPECT_EQ(package_state.recording, 1);
    EXPECT_TRUE(checked(CMD_RECORD));
    command(CMD_RECORD);
    EXPECT_FALSE(checked(CMD_RECORD));
    command(CMD_PLAYBACK);
    EXPECT_TRUE(checked(CMD_PLAYBACK));
    command(CMD_PLAYBACK);
    EXPECT_EQ(package_state.playing_back, 0);
    EXPECT_FALSE(checked(CMD_PLAYBACK));
    EXPECT_FALSE(checked(CMD_RECORD));
    EXPECT_TRUE(checked(CMD_LOGGING));
}

TEST_F(CommandTest, InformationLinesAndUnknownIdsDoNothing) {
    const WPARAM ids[] = {0, CMD_INFO, 10, 1000, 0x10000 | CMD_ANIMATE};
    for (WPARAM id : ids) {
        SendMessageA(package_state.drawing_window, WM_COMMAND, id, 0);
        EXPECT_EQ(package_state.running, 0) << id;
        EXPECT_EQ(package_state.single_step, 0) << id;
        EXPECT_EQ(package_state.logging, 1) << id;
        EXPECT_EQ(package_state.recording, 0) << id;
        EXPECT_EQ(package_state.playing_back, 0) << id;
        EXPECT_EQ(package_state.play_one, 0) << id;
    }
    // Nothing was posted either: a click is the next event.
    post_click(package_state.origin_x, package_state.origin_y);
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
}

TEST_F(CommandTest, QuitEndsRetrieval) {
    PostMessageA(package_state.drawing_window, WM_COMMAND, CMD_QUIT, 0);
    EXPECT_EQ(next_event().kind, KAPLO_QUIT);
}

}  // namespace
