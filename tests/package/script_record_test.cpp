// Recording: what reaches "KAPLO.SCR", byte for byte, and playing it back.
#include "script_fixture.h"

namespace {

const char *const example_script =
    "KAPLO_PERIODIC(3);\r\n"
    "KAPLO_MOUSE(10, -20);\r\n"
    "KAPLO_PERIODIC(2);\r\n"
    "KAPLO_KBD(97);\r\n";

class ScriptRecord : public ScriptTest {
protected:
    // Records 3 ticks, a click at (10, -20), 2 ticks and the character a.
    void record_example() {
        command(CMD_RECORD);
        KAPLO_set_animation(ANIMATE_RUN);
        for (int i = 0; i < 3; i++) EXPECT_EQ(periodic().kind, KAPLO_PERIODIC);
        post_click(package_state.origin_x + 10, package_state.origin_y + 20);
        Event click = next_event();
        EXPECT_EQ(click.kind, KAPLO_MOUSE);
        EXPECT_EQ(click.x, 10);
        EXPECT_EQ(click.y, -20);
        for (int i = 0; i < 2; i++) EXPECT_EQ(periodic().kind, KAPLO_PERIODIC);
        post_char('a');
        EXPECT_EQ(next_event().kind, KAPLO_KBD);
        command(CMD_RECORD);
        KAPLO_set_animation(ANIMATE_HALT);
    }
};

TEST_F(ScriptRecord, ExampleRecordingWritesFourCrlfLinesAndPlaysBackTheSameEvents) {
    record_example();
    EXPECT_EQ(script_bytes(), example_script);
    EXPECT_EQ(package_state.script_file, nullptr);
    EXPECT_EQ(package_state.periodic_count, 0);

    command(CMD_PLAYBACK);
    const int kinds[] = {KAPLO_PERIODIC, KAPLO_PERIODIC, KAPLO_PERIODIC, KAPLO_MOUSE,
                         KAPLO_PERIODIC, KAPLO_PERIODIC, KAPLO_KBD};
    for (int i = 0; i < 7; i++) {
        Event event = play_next();
        ASSERT_EQ(event.kind, kinds[i]) << "event " << i;
        if (event.kind == KAPLO_MOUSE) {
            EXPECT_EQ(event.x, 10);
            EXPECT_EQ(event.y, -20);
        }
        if (event.kind == KAPLO_KBD) {
            EXPECT_EQ(event.key, 'a');
        }
    }

    // The script is used up: the next message ends playback and live input goes on.
    int lines = log_count();
    post_nothing();
    post_click(package_state.origin_x, package_state.origin_y);
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
    EXPECT_EQ(log_count(), lines + 1);
    EXPECT_EQ(log_line(0), "EOF encountered in script file KAPLO.SCR\n");
    EXPECT_EQ(package_state.playing_back, 0);
    EXPECT_FALSE(checked(CMD_PLAYBACK));
}

TEST_F(ScriptRecord, StoppingWithOnlyTicksWritesOneRunLineAndClosesTheFile) {
    command(CMD_RECORD);
    EXPECT_TRUE(checked(CMD_RECORD));
    KAPLO_set_animation(ANIMATE_RUN);
    for (int i = 0; i < 3; i++) periodic();
    EXPECT_EQ(package_state.periodic_count, 3);
    command(CMD_RECORD);
    EXPECT_FALSE(checked(CMD_RECORD));
    EXPECT_EQ(package_state.recording, 0);
    EXPECT_EQ(package_state.periodic_count, 0);
    EXPECT_EQ(package_state.script_file, nullptr);
    EXPECT_EQ(script_bytes(), "KAPLO_PERIODIC(3);\r\n");
}

TEST_F(ScriptRecord, RecordingOnAndOffWithoutEventsLeavesAnExistingScriptAlone) {
    write_script("KAPLO_KBD(65);\r\n");
    command(CMD_RECORD);
    command(CMD_RECORD);
    EXPECT_EQ(script_bytes(), "KAPLO_KBD(65);\r\n");
}

TEST_F(ScriptRecord, NegativeCoordinatesRoundTrip) {
    command(CMD_RECORD);
    post_click(3, 470);  // left of and below the origin
    Event click = next_event();
    int x = 3 - package_state.origin_x;
    int y = package_state.origin_y - 470;
    ASSERT_LT(x, 0);
    ASSERT_LT(y, 0);
    EXPECT_EQ(click.x, x);
    EXPECT_EQ(click.y, y);
    command(CMD_RECORD);
    EXPECT_EQ(script_bytes(), "KAPLO_MOUSE(" + std::to_string(x) + ", " + std::to_string(y) + ");\r\n");

    command(CMD_PLAYBACK);
    Event played = play_next();
    EXPECT_EQ(played.kind, KAPLO_MOUSE);
    EXPECT_EQ(played.x, x);
    EXPECT_EQ(played.y, y);
}

TEST_F(ScriptRecord, CharactersAboveAsciiAreWrittenUnsignedAndReadBackUnchanged) {
    command(CMD_RECORD);
    const unsigned char keys[] = {1, 127, 128, 0xE9, 255};
    for (unsigned char key : keys) {
        post_char((char)key);
        EXPECT_EQ(next_event().key, (char)key);
    }
    command(CMD_RECORD);
    EXPECT_EQ(script_bytes(),
              "KAPLO_KBD(1);\r\nKAPLO_KBD(127);\r\nKAPLO_KBD(128);\r\nKAPLO_KBD(233);\r\nKAPLO_KBD(255);\r\n");

    command(CMD_PLAYBACK);
    for (unsigned char key : keys) {
        Event played = play_next();
        EXPECT_EQ(played.kind, KAPLO_KBD);
        EXPECT_EQ(played.key, (char)key);
    }
}

TEST_F(ScriptRecord, QuittingWhileRecordingWritesThePendingRun) {
    command(CMD_RECORD);
    KAPLO_set_animation(ANIMATE_RUN);
    periodic();
    periodic();
    PostMessageA(package_state.drawing_window, WM_COMMAND, CMD_QUIT, 0);
    EXPECT_EQ(next_event().kind, KAPLO_QUIT);
    KAPLO_end();
    EXPECT_EQ(package_state.script_file, nullptr);
    EXPECT_EQ(script_bytes(), "KAPLO_PERIODIC(2);\r\n");
}

// A program that leaves its loop by itself: the ticks after its last event
// are kept, so playing the recording delivers all of them.
TEST_F(ScriptRecord, EndingWithoutQuitWritesThePendingRunAndPlaysItBack) {
    command(CMD_RECORD);
    KAPLO_set_animation(ANIMATE_RUN);
    post_char('a');
    next_event();
    for (int i = 0; i < 3; i++) periodic();
    KAPLO_end();
    ASSERT_EQ(script_bytes(), "KAPLO_KBD(97);\r\nKAPLO_PERIODIC(3);\r\n");
    EXPECT_EQ(package_state.periodic_count, 0);
    command(CMD_RECORD);
    command(CMD_PLAYBACK);
    EXPECT_EQ(play_next().kind, KAPLO_KBD);
    for (int i = 0; i < 3; i++) EXPECT_EQ(play_next().kind, KAPLO_PERIODIC) << i;
}

TEST_F(ScriptRecord, QuitRequestStillRecordsTheUnderlyingEvent) {
    command(CMD_RECORD);
    KAPLO_set_animation(ANIMATE_QUIT);
    post_char('q');
    EXPECT_EQ(next_event().kind, KAPLO_QUIT);
    command(CMD_RECORD);
    EXPECT_EQ(script_bytes(), "KAPLO_KBD(113);\r\n");
}

}  // namespace
