// Headless runs of small programs with a beginner's faults: whatever way the
// program goes wrong, the run ends with words for it, keeps what it got so
// far under names that say so, and leaves nothing else behind.
#include <gtest/gtest.h>

#include "run_support.h"

namespace {

const std::string kScript = std::string(KAPLO_TEST_DATA) + "/scripts/game.SCR";
const std::string kOutputs = "--kaplo-script=" + kScript +
                             " --kaplo-log=run.log --kaplo-last-frame=last.png --kaplo-gif=run.gif "
                             "--kaplo-frames=f";

std::string program(const char *name) { return std::string(KAPLO_FAULTY_PROGRAMS) + name; }

bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

// The last line of a text.
std::string last_line(const std::string &text) {
    size_t end = text.size() && text.back() == '\n' ? text.size() - 1 : text.size();
    size_t start = text.rfind('\n', end ? end - 1 : 0);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1));
}

// Nothing of the run's own is left: no copied script, no temporary file.
void expect_clean(const TempDir &dir, const std::string &name) {
    EXPECT_FALSE(exists(dir / "KAPLO.SCR")) << name << ": the script's copy stays behind";
    EXPECT_EQ(leftovers(dir.path), 0) << name;
    EXPECT_EQ(leftovers(dir / "f"), 0) << name;
}

TEST(FaultyProgramRun, ACrashIsNamedAndKeepsTheTranscriptAndLastFrameSoFar) {
    for (const char *name : {"null_pointer", "past_the_end"}) {
        TempDir dir;
        int status = run_program(dir, program(name), kOutputs);
        std::string err = slurp(dir / "stderr.txt");
        // A segmentation fault; in a sanitizer's build, its report and exit.
        EXPECT_NE(status, 0) << name << ": " << err;
        EXPECT_TRUE(has(err, "kaplo: the program crashed (signal ") ||
                    has(err, "kaplo: the program stopped abruptly with exit status"))
            << name << ": " << err;
        EXPECT_TRUE(has(err, "kept in run.incomplete.log")) << name << ": " << err;
        expect_clean(dir, name);
        for (const char *whole : {"run.log", "last.png", "run.gif", "f/frames.txt"})
            EXPECT_FALSE(exists(dir / whole)) << name << ": " << whole << " is not whole";

        std::string log = slurp(dir / "run.incomplete.log");
        EXPECT_TRUE(has(last_line(log), "[the run ended here: the program ")) << log;
        EXPECT_TRUE(has(slurp(dir / "f/frames.incomplete.txt"), "frame-000001.png"));
        Picture last = read_png(dir / "last.incomplete.png");
        EXPECT_EQ(last.width, 595) << name << ": no last frame";
        if (std::string(name) == "null_pointer") {
            EXPECT_TRUE(has(log, "step 4\n")) << log;
        }
    }
}

TEST(FaultyProgramRun, ALoopWithoutEventsIsStoppedAndNamedAsSuch) {
    TempDir dir;
    EXPECT_EQ(run_program(dir, program("no_events"),
                          "--kaplo-log=run.log --kaplo-gif=run.gif --kaplo-frames=f --kaplo-timeout=10"),
              5);
    std::string err = slurp(dir / "stderr.txt");
    EXPECT_TRUE(has(err, "after 10 seconds of real time")) << err;
    EXPECT_TRUE(has(err, "had not asked for an event for the last")) << err;
    EXPECT_TRUE(has(err, "a loop that never calls KAPLO_next_event")) << err;
    expect_clean(dir, "no_events");
    EXPECT_TRUE(has(last_line(slurp(dir / "f/frames.incomplete.txt")), "stopped by --kaplo-timeout"));
    // The GIF up to its last whole frame: the ball's roll.
    Animation gif = read_gif(dir / "run.incomplete.gif");
    EXPECT_TRUE(gif.ok);
    EXPECT_GT(gif.frames.size(), 10u);

    // A busy program is told apart.
    EXPECT_EQ(run_game(dir, "--kaplo-timeout=1 --kaplo-max-ms=100000000"), 5);
    EXPECT_TRUE(has(slurp(dir / "stderr.txt"), "still busy with its events"));
}

// Each output stops at the size bound with a last word saying the rest was
// cut, and the run ends with its own status, the folder clean.
TEST(FaultyProgramRun, ARunawayStopsAtTheSizeBoundWithTheFolderClean) {
    TempDir dir;
    EXPECT_EQ(run_program(dir, program("bad_arguments"),
                          "--kaplo-script=" + kScript + " --kaplo-log=run.log --kaplo-max-output=1"),
              6);
    std::string err = slurp(dir / "stderr.txt"), log = slurp(dir / "run.log");
    EXPECT_TRUE(has(err, "the transcript grew past 1 MB")) << err;
    EXPECT_LE(log.size(), (1u << 20) + 200);
    EXPECT_GT(log.size(), (1u << 20) - 200);
    EXPECT_TRUE(has(last_line(log), "[the rest was cut: the transcript grew past 1 MB")) << last_line(log);
    EXPECT_TRUE(has(log, "Illegal color 100; using RED.")) << "the mend messages are the transcript";
    expect_clean(dir, "bad_arguments");

    // The game's frames and GIF, which grow until the bound.
    EXPECT_EQ(run_game(dir, "--kaplo-frames=f --kaplo-gif=run.gif --kaplo-max-output=1"), 6);
    EXPECT_TRUE(has(last_line(slurp(dir / "f/frames.txt")), "[the rest was cut: the frames"));
    EXPECT_TRUE(read_gif(dir / "run.gif").ok);
    EXPECT_EQ(run_game(dir, "--kaplo-gif=run.gif --kaplo-max-output=1"), 6);
    std::string gif = slurp(dir / "run.gif");
    EXPECT_TRUE(read_gif(dir / "run.gif").ok);
    EXPECT_TRUE(has(gif, "[the rest was cut: the GIF grew past 1 MB"));
    EXPECT_LE(gif.size(), (1u << 20) + (1u << 16));
    expect_clean(dir, "game");
}

TEST(FaultyProgramRun, ExitingWithoutKaploEndKeepsWholeOutputs) {
    TempDir dir;
    // exit() leaves the log's blocks to the process's end, which a leak
    // checker would report.
    std::string no_leak_check = "env ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" ";
    EXPECT_EQ(run_program(dir, no_leak_check + program("no_end"), kOutputs), 0) << slurp(dir / "stderr.txt");
    EXPECT_EQ(last_line(slurp(dir / "run.log")), "step 7");
    EXPECT_EQ(read_png(dir / "last.png").width, 595);
    EXPECT_TRUE(read_gif(dir / "run.gif").ok);
    EXPECT_FALSE(exists(dir / "run.incomplete.log"));
    expect_clean(dir, "no_end");
}

TEST(FaultyProgramRun, ProcessesLeftRunningAreNamedAndTheStatusStays) {
    TempDir dir;
    EXPECT_EQ(run_program(dir, program("leaves_child"), "--kaplo-script=" + kScript), 0);
    std::string said = slurp(dir / "stderr.txt");
    EXPECT_TRUE(has(said, "kaplo: the program left 1 process running when it ended; the run ended them.\n"
                          "kaplo: A program should wait for the processes it starts (waitpid), or start none.\n"))
        << said;
    expect_clean(dir, "leaves_child");
}

TEST(FaultyProgramRun, AProgramRunsUnderABoundOnAddressSpace) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory alone is past any such bound";
#endif
    // As a grader runs learners' programs: 1 GiB of address space.
    TempDir dir;
    EXPECT_EQ(run_program(dir, "prlimit --as=1073741824 " + program("no_end"), kOutputs), 0)
        << slurp(dir / "stderr.txt");
    EXPECT_EQ(last_line(slurp(dir / "run.log")), "step 7");
}

}  // namespace
