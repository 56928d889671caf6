// The script file in trouble (unwritable, full device, truncated under the
// player) and recording and playback switched on together.
#include "script_fixture.h"

namespace {

class ScriptTrouble : public ScriptTest {
protected:
    // Delivers one live character.
    void type(char c) {
        post_char(c);
        EXPECT_EQ(next_event().key, c);
    }
};

TEST_F(ScriptTrouble, AnUnwritableScriptLogsEveryWriteAndRecordingGoesOn) {
    fs::create_directory(SCRIPT_FILE_NAME);  // no file of that name can be opened
    command(CMD_RECORD);
    int lines = log_count();
    type('a');
    EXPECT_EQ(log_count(), lines + 1);
    EXPECT_EQ(log_line(0), "Cannot open script file KAPLO.SCR for writing\n");
    EXPECT_EQ(package_state.recording, 1);

    // A pending run and then a character: two lines, two attempts, two messages.
    KAPLO_set_animation(ANIMATE_RUN);
    periodic();
    KAPLO_set_animation(ANIMATE_HALT);
    type('b');
    EXPECT_EQ(log_count(), lines + 3);
    EXPECT_EQ(log_line(1), "Cannot open script file KAPLO.SCR for writing\n");
    EXPECT_EQ(package_state.periodic_count, 0);
    command(CMD_RECORD);
    EXPECT_EQ(package_state.script_file, nullptr);
}

TEST_F(ScriptTrouble, AFullDeviceIsReportedWhenTheLinesCannotBeStored) {
    std::error_code error;
    fs::create_symlink("/dev/full", SCRIPT_FILE_NAME, error);
    if (error || !fs::exists("/dev/full")) GTEST_SKIP() << "no full device here";
    command(CMD_RECORD);
    type('a');
    type('b');
    int lines = log_count();
    command(CMD_RECORD);
    EXPECT_EQ(package_state.script_file, nullptr);
    EXPECT_EQ(log_count(), lines + 1);
    EXPECT_EQ(log_line(0), "Cannot write script file KAPLO.SCR\n");
}

TEST_F(ScriptTrouble, AScriptTruncatedWhilePlayingEndsWithTheEndMessage) {
    std::string script;
    for (int i = 0; i < 4000; i++) script += "KAPLO_KBD(65);\r\n";
    write_script(script);
    command(CMD_PLAY_ONE);
    EXPECT_EQ(play_next().kind, KAPLO_KBD);
    std::error_code error;
    fs::resize_file(SCRIPT_FILE_NAME, 0, error);
    if (error) GTEST_SKIP() << "the open script cannot be truncated here";

    // What the stream had already buffered may still play; then the end comes.
    command(CMD_PLAYBACK);
    int played = 0;
    while (package_state.playing_back && played < 4000) {
        // While the script plays, the click only makes room for a script event.
        post_click(package_state.origin_x, package_state.origin_y);
        Event event = next_event();
        if (event.kind == KAPLO_MOUSE) break;
        ASSERT_EQ(event.kind, KAPLO_KBD);
        played++;
    }
    EXPECT_LT(played, 3999);
    EXPECT_EQ(package_state.playing_back, 0);
    EXPECT_EQ(log_line(0), "EOF encountered in script file KAPLO.SCR\n");
}

TEST_F(ScriptTrouble, AScriptRemovedWhilePlayingPlaysToItsEnd) {
    write_script("KAPLO_KBD(65);\r\nKAPLO_KBD(66);\r\nKAPLO_KBD(67);\r\n");
    command(CMD_PLAYBACK);
    EXPECT_EQ(play_next().key, 'A');
    std::error_code ignored;
    fs::remove(SCRIPT_FILE_NAME, ignored);  // refused on systems that lock open files
    EXPECT_EQ(play_next().key, 'B');
    EXPECT_EQ(play_next().key, 'C');
    post_nothing();
    post_click(package_state.origin_x, package_state.origin_y);
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
    EXPECT_EQ(log_line(0), "EOF encountered in script file KAPLO.SCR\n");

    // Off (closing the stream left at its end) and on again: the script is
    // opened anew and, gone, cannot be read.
    command(CMD_PLAYBACK);
    command(CMD_PLAYBACK);
    command(CMD_PLAYBACK);
    if (fs::exists(SCRIPT_FILE_NAME)) return;
    post_click(package_state.origin_x, package_state.origin_y);
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
    EXPECT_EQ(log_line(0), "Cannot open script file KAPLO.SCR for reading\n");
}

TEST_F(ScriptTrouble, RecordingNeverEmptiesAScriptBeingPlayed) {
    const std::string script = "KAPLO_KBD(65);\r\nKAPLO_PERIODIC(5);\r\nKAPLO_KBD(66);\r\n";
    write_script(script);
    command(CMD_RECORD);
    command(CMD_PLAYBACK);
    int lines = log_count();
    EXPECT_EQ(play_next().key, 'A');
    EXPECT_EQ(log_line(0), "Script file KAPLO.SCR is open for playback: event not recorded\n");
    // The run of five is played exactly once, although the recorder counts it.
    for (int i = 0; i < 5; i++) ASSERT_EQ(play_next().kind, KAPLO_PERIODIC) << "tick " << i;
    EXPECT_EQ(play_next().key, 'B');
    post_nothing();
    post_click(package_state.origin_x, package_state.origin_y);
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
    EXPECT_EQ(package_state.playing_back, 0);
    EXPECT_GT(log_count(), lines);

    // Stopping the recording while the played stream is still open writes nothing either.
    command(CMD_RECORD);
    EXPECT_EQ(package_state.periodic_count, 0);
    EXPECT_EQ(script_bytes(), script);
}

TEST_F(ScriptTrouble, PlaybackRefusesAScriptBeingRecorded) {
    command(CMD_RECORD);
    type('a');
    command(CMD_PLAYBACK);
    int lines = log_count();
    type('b');
    EXPECT_EQ(log_count(), lines + 1);
    EXPECT_EQ(log_line(0), "Script file KAPLO.SCR is being recorded: stop recording to play it\n");
    EXPECT_EQ(package_state.playing_back, 0);
    EXPECT_FALSE(checked(CMD_PLAYBACK));

    // Playback off again does not close the recording's file; the recording stays whole.
    command(CMD_PLAYBACK);
    command(CMD_PLAYBACK);
    type('c');
    command(CMD_RECORD);
    EXPECT_EQ(script_bytes(), "KAPLO_KBD(97);\r\nKAPLO_KBD(98);\r\nKAPLO_KBD(99);\r\n");
}

TEST_F(ScriptTrouble, ARecordingMadeAfterPlaybackMetTheEndIsNotLost) {
    write_script("KAPLO_KBD(65);\r\n");
    command(CMD_PLAYBACK);
    EXPECT_EQ(play_next().key, 'A');
    post_nothing();
    post_click(package_state.origin_x, package_state.origin_y);
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);  // the end was met: live input again
    EXPECT_EQ(log_line(0), "EOF encountered in script file KAPLO.SCR\n");

    // Until the stream is closed, playing again meets the end again at once.
    command(CMD_PLAYBACK);
    post_click(package_state.origin_x, package_state.origin_y);
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
    EXPECT_EQ(log_line(0), "EOF encountered in script file KAPLO.SCR\n");
    EXPECT_EQ(package_state.playing_back, 0);

    // Recording now starts a fresh file and keeps every line.
    int lines = log_count();
    command(CMD_RECORD);
    post_click(package_state.origin_x + 10, package_state.origin_y + 20);
    EXPECT_EQ(next_event().kind, KAPLO_MOUSE);
    type('b');
    command(CMD_RECORD);
    EXPECT_EQ(log_count(), lines);
    EXPECT_EQ(package_state.script_file, nullptr);
    EXPECT_EQ(script_bytes(), "KAPLO_MOUSE(10, -20);\r\nKAPLO_KBD(98);\r\n");

    // And playback plays the new file from its first line.
    command(CMD_PLAYBACK);
    Event click = play_next();
    EXPECT_EQ(click.kind, KAPLO_MOUSE);
    EXPECT_EQ(click.x, 10);
    EXPECT_EQ(click.y, -20);
    Event key = play_next();
    EXPECT_EQ(key.kind, KAPLO_KBD);
    EXPECT_EQ(key.key, 'b');
}

TEST_F(ScriptTrouble, StoppingARecordingClosesAStreamLeftOpenByPlayOne) {
    write_script("KAPLO_KBD(65);\r\nKAPLO_KBD(66);\r\n");
    command(CMD_RECORD);
    command(CMD_PLAY_ONE);
    EXPECT_EQ(play_next().key, 'A');  // refused by the recorder: the file is being played
    EXPECT_EQ(log_line(0), "Script file KAPLO.SCR is open for playback: event not recorded\n");
    command(CMD_RECORD);
    EXPECT_EQ(package_state.script_file, nullptr);
    EXPECT_EQ(script_bytes(), "KAPLO_KBD(65);\r\nKAPLO_KBD(66);\r\n");
    command(CMD_PLAY_ONE);
    EXPECT_EQ(play_next().key, 'A');  // opened anew, from its first line
}

}  // namespace
