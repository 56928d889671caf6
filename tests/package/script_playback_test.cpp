// Playback: how the reader takes the lines of a script, and where it stops.
#include <climits>

#include "script_fixture.h"

namespace {

class ScriptPlayback : public ScriptTest {
protected:
    // Expects the next script event to be a character.
    void expect_key(char key) {
        Event event = play_next();
        EXPECT_EQ(event.kind, KAPLO_KBD);
        EXPECT_EQ(event.key, key);
    }

    // Expects the next message to end playback: a live click then comes through.
    void expect_playback_ends() {
        post_nothing();
        post_click(package_state.origin_x, package_state.origin_y);
        Event event = next_event();
        EXPECT_EQ(event.kind, KAPLO_MOUSE);
        EXPECT_EQ(event.x, 0);
        EXPECT_EQ(event.y, 0);
        EXPECT_EQ(package_state.playing_back, 0);
        EXPECT_EQ(package_state.play_one, 0);
        EXPECT_FALSE(checked(CMD_PLAYBACK));
    }
};

TEST_F(ScriptPlayback, PeriodicRunsOfZeroOneAndFortyCountOnce) {
    write_script("KAPLO_PERIODIC(0);\r\nKAPLO_PERIODIC(1);\r\nKAPLO_PERIODIC(40);\r\nKAPLO_KBD(98);\r\n");
    command(CMD_PLAYBACK);
    EXPECT_EQ(play_next().kind, KAPLO_PERIODIC);
    EXPECT_EQ(play_next().kind, KAPLO_PERIODIC);
    EXPECT_EQ(play_next().kind, KAPLO_PERIODIC);
    long after_run_line = ftell(package_state.script_file);
    for (int i = 1; i < 40; i++) ASSERT_EQ(play_next().kind, KAPLO_PERIODIC) << "tick " << i;
    // The forty came from one line: nothing more was read for them.
    EXPECT_EQ(ftell(package_state.script_file), after_run_line);
    expect_key('b');
}

TEST_F(ScriptPlayback, BlankLinesAreSkippedAndBareLineFeedsEndLines) {
    write_script("\r\nKAPLO_KBD(65);\n\n\r\n\nKAPLO_KBD(66);\r\n\r\nKAPLO_KBD(67);\n");
    command(CMD_PLAYBACK);
    expect_key('A');
    expect_key('B');
    expect_key('C');
    int lines = log_count();
    expect_playback_ends();
    EXPECT_EQ(log_line(0), "EOF encountered in script file KAPLO.SCR\n");
    EXPECT_EQ(log_count(), lines + 1);
}

TEST_F(ScriptPlayback, OnlyTheSeventhCharacterAndTheNumbersCount) {
    write_script(
        "xxxxxxM 5 , -7 junk\r\n"     // first six characters are not examined
        "KAPLO_KBD(-65);\r\n"          // a key takes digits only
        "KAPLO_MOUSE(1-2, --);\r\n"    // runs of digits and minus signs
        "abcdefK 300\r\n");            // the key is the low 8 bits
    command(CMD_PLAYBACK);
    Event mouse = play_next();
    EXPECT_EQ(mouse.kind, KAPLO_MOUSE);
    EXPECT_EQ(mouse.x, 5);
    EXPECT_EQ(mouse.y, -7);
    expect_key('A');
    Event odd = play_next();
    EXPECT_EQ(odd.kind, KAPLO_MOUSE);
    EXPECT_EQ(odd.x, 1);
    EXPECT_EQ(odd.y, 0);
    expect_key((char)(300 & 0xFF));
}

TEST_F(ScriptPlayback, UnknownLinesEndPlaybackSilentlyAndTheNextPlaybackGoesOn) {
    write_script(
        "KAPLO_KBD(65);\r\n"
        " KAPLO_KBD(66);\r\n"  // a blank before the letter puts it out of place
        "KAPLO_KBD(67);\r\n"
        "KAPLO_XYZ(1);\r\n"
        "   \r\n"              // a line of blanks is not skipped
        "short\r\n"            // too short to have a type letter
        "KAPLO_KBD();\r\n"     // no number
        "KAPLO_MOUSE(5);\r\n"  // one number only
        "KAPLO_KBD(68);\r\n");
    command(CMD_PLAYBACK);
    expect_key('A');
    int lines = log_count();
    for (int i = 0; i < 6; i++) {
        expect_playback_ends();
        command(CMD_PLAYBACK);
        if (i == 0) expect_key('C');
    }
    expect_key('D');
    EXPECT_EQ(log_count(), lines);  // none of them logged anything
}

TEST_F(ScriptPlayback, LongLinesAreReadInPiecesOf511Characters) {
    std::string first = "KAPLO_KBD(65);";
    first += std::string(511 - first.size(), 'z');
    write_script(first + "abcdefK(66);\r\nKAPLO_KBD(67);\r\n");
    command(CMD_PLAYBACK);
    expect_key('A');
    expect_key('B');
    expect_key('C');
}

// Found by script_reader_fuzz (input fuzz/corpus/script_reader/final_cr_of_a_full_piece.scr):
// looking past a carriage return for its line feed meets the end of the file,
// yet the piece is whole. It is read as a line (here an unknown one, which
// ends playback without a message); the end is reported by the next read.
TEST_F(ScriptPlayback, AFullPieceWhoseLastCarriageReturnEndsTheFileIsALineBeforeTheEnd) {
    write_script("KAPLO_KBD(65);\r\nKAPLO_" + std::string(504, 'X') + "\r");
    command(CMD_PLAYBACK);
    expect_key('A');
    int lines = log_count();
    expect_playback_ends();
    EXPECT_EQ(log_count(), lines);
    command(CMD_PLAY_ONE);
    post_nothing();
    post_char('x');
    EXPECT_EQ(next_event().key, 'x');
    EXPECT_EQ(log_count(), lines + 1);
    EXPECT_EQ(log_line(0), "EOF encountered in script file KAPLO.SCR\n");
}

TEST_F(ScriptPlayback, AFinalLineWithoutItsNewlineIsNotPlayed) {
    write_script("KAPLO_KBD(65);\r\nKAPLO_KBD(66);");
    command(CMD_PLAYBACK);
    expect_key('A');
    int lines = log_count();
    expect_playback_ends();
    EXPECT_EQ(log_count(), lines + 1);
    EXPECT_EQ(log_line(0), "EOF encountered in script file KAPLO.SCR\n");
    EXPECT_NE(package_state.script_file, nullptr);  // the stream stays open at its end
}

TEST_F(ScriptPlayback, NumbersBeyondTheIntRangeAreHeldAtItsLimits) {
    write_script("KAPLO_MOUSE(99999999999999999999999, -99999999999999999999999);\r\n"
                 "KAPLO_MOUSE(2147483647, -2147483648);\r\n");
    command(CMD_PLAYBACK);
    for (int i = 0; i < 2; i++) {
        Event mouse = play_next();
        EXPECT_EQ(mouse.kind, KAPLO_MOUSE);
        EXPECT_EQ(mouse.x, INT_MAX);
        EXPECT_EQ(mouse.y, INT_MIN);
    }
}

TEST_F(ScriptPlayback, PlayOneAtTheEndLogsTheEndAtEveryPress) {
    write_script("KAPLO_PERIODIC(2);\r\nKAPLO_KBD(65);\r\n");
    const int expected[] = {KAPLO_PERIODIC, KAPLO_PERIODIC, KAPLO_KBD};
    for (int kind : expected) {
        command(CMD_PLAY_ONE);
        EXPECT_EQ(play_next().kind, kind);
        EXPECT_EQ(package_state.play_one, 0);
    }
    for (int press = 0; press < 3; press++) {
        int lines = log_count();
        command(CMD_PLAY_ONE);
        expect_playback_ends();
        EXPECT_EQ(log_count(), lines + 1) << "press " << press;
        EXPECT_EQ(log_line(0), "EOF encountered in script file KAPLO.SCR\n");
    }
}

TEST_F(ScriptPlayback, PlayOneDeliversOneEventAndHaltsAnimation) {
    write_script("KAPLO_KBD(65);\r\nKAPLO_KBD(66);\r\n");
    KAPLO_set_animation(ANIMATE_RUN);
    command(CMD_PLAY_ONE);
    EXPECT_EQ(package_state.running, 0);
    expect_key('A');
    // Nothing more is read: the next message brings live input.
    post_char('x');
    EXPECT_EQ(next_event().key, 'x');
}

TEST_F(ScriptPlayback, AMissingScriptLogsOnceAndLeavesPlaybackOff) {
    command(CMD_PLAYBACK);
    EXPECT_TRUE(checked(CMD_PLAYBACK));
    int lines = log_count();
    expect_playback_ends();
    EXPECT_EQ(log_count(), lines + 1);
    EXPECT_EQ(log_line(0), "Cannot open script file KAPLO.SCR for reading\n");
    EXPECT_EQ(package_state.script_file, nullptr);
}

TEST_F(ScriptPlayback, PlaybackOnHaltsAndOffClosesTheFile) {
    write_script("KAPLO_PERIODIC(5);\r\nKAPLO_KBD(65);\r\n");
    KAPLO_set_animation(ANIMATE_RUN);
    KAPLO_set_animation(ANIMATE_STEP);
    command(CMD_PLAYBACK);
    EXPECT_EQ(package_state.running, 0);
    EXPECT_EQ(package_state.single_step, 0);
    EXPECT_EQ(package_state.playing_back, 1);
    EXPECT_EQ(play_next().kind, KAPLO_PERIODIC);
    EXPECT_NE(package_state.script_file, nullptr);

    // Stopped part-way through the run: the next playback starts from the first line.
    command(CMD_PLAYBACK);
    EXPECT_FALSE(checked(CMD_PLAYBACK));
    EXPECT_EQ(package_state.script_file, nullptr);
    command(CMD_PLAYBACK);
    for (int i = 0; i < 5; i++) ASSERT_EQ(play_next().kind, KAPLO_PERIODIC) << "tick " << i;
    expect_key('A');
}

TEST_F(ScriptPlayback, QuitEndsRetrievalWhileAScriptPlays) {
    write_script("KAPLO_PERIODIC(100);\r\n");
    command(CMD_PLAYBACK);
    EXPECT_EQ(play_next().kind, KAPLO_PERIODIC);
    PostMessageA(package_state.drawing_window, WM_COMMAND, CMD_QUIT, 0);
    EXPECT_EQ(next_event().kind, KAPLO_PERIODIC);  // the command message itself yields a script event
    EXPECT_EQ(next_event().kind, KAPLO_QUIT);
}

}  // namespace
