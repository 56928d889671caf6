// The grader's own reading of what it is given and of how a run ended: the
// task file, the compiler's first error, and the layer's words on an end.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "build.h"
#include "files.h"
#include "judge.h"
#include "picture.h"
#include "run_program.h"
#include "task_file.h"

namespace {

std::string temp_file(const std::string &text) {
    char name[] = "/tmp/kaplo-task-XXXXXX";
    int fd = mkstemp(name);
    close(fd);
    std::ofstream(name) << text;
    return name;
}

TEST(GradeTaskFile, ReadsEverySettingWithPathsFromItsFolder) {
    std::string path = temp_file(
        "# a comment\n"
        "title  Task 3: lights\n"
        "script green light.SCR   # a name with a blank\n"
        "script /abs/task#2.SCR\n"
        "checkpoint 20\ncheckpoint 10\ncheckpoint 20\n"
        "distance 16\npixels 0.5%\nignore 0 0 595 19\ntranscript match\n"
        "clock 2024-09-01\nmax-ms 5000\nmax-frames 300\ntime 2.5\nmemory 512\nexpected shipped\n");
    grade::Task t;
    std::string error;
    ASSERT_TRUE(grade::read_task(path, &t, &error)) << error;
    ASSERT_EQ(t.scripts.size(), 2u);
    EXPECT_EQ(t.scripts[0], "/tmp/green light.SCR");
    EXPECT_EQ(t.scripts[1], "/abs/task#2.SCR");
    EXPECT_EQ(t.title, "Task 3: lights");
    EXPECT_EQ(t.checkpoints.kind, grade::Checkpoints::Numbered);
    EXPECT_EQ(t.checkpoints.frames, (std::vector<int>{10, 20}));
    EXPECT_EQ(t.tolerance.colour_distance, 16);
    EXPECT_DOUBLE_EQ(t.tolerance.pixel_share, 0.005);
    ASSERT_EQ(t.tolerance.ignore.size(), 1u);
    EXPECT_EQ(t.tolerance.ignore[0].width, 595);
    EXPECT_TRUE(t.transcript_must_match);
    EXPECT_EQ(t.max_ms, 5000);
    EXPECT_EQ(t.max_frames, 300);
    EXPECT_DOUBLE_EQ(t.run_seconds, 2.5);
    EXPECT_EQ(t.memory_mb, 512);
    EXPECT_EQ(t.expected, "/tmp/shipped");
    unlink(path.c_str());
}

TEST(GradeTaskFile, ABadLineIsNamedWithItsNumber) {
    struct {
        const char *text, *says;
    } cases[] = {
        {"script a.SCR\npixels 120%\n", "line 2: 'pixels 120%': give a share from 0% to 100%"},
        {"distance 300\n", "line 1: 'distance 300': give a whole number from 0 to 255"},
        {"ignore 1 2 3\n", "line 1: 'ignore 1 2 3': give four whole numbers"},
        {"checkpoint first\n", "give last, every, or a frame's number"},
        {"\n\nspeed 3\n", "line 3: 'speed' is not a setting of a task file"},
        {"time 0\n", "give seconds, more than 0"},
    };
    for (const auto &c : cases) {
        std::string path = temp_file(c.text), error;
        grade::Task t;
        EXPECT_FALSE(grade::read_task(path, &t, &error)) << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        unlink(path.c_str());
    }
    grade::Task t;
    std::string error;
    EXPECT_FALSE(grade::read_task("/no/such/task.txt", &t, &error));
    EXPECT_NE(error.find("cannot read the task file /no/such/task.txt"), std::string::npos);
}

// A link in a learner's folder is not copied with it: it could name a file
// of the teacher's, which the grader would put into the sandbox.
TEST(GradeBuild, ALinkInALearnersFolderIsLeftOut) {
    char name[] = "/tmp/kaplo-submission-XXXXXX";
    std::string folder = mkdtemp(name);
    std::ofstream(folder + "/main.c") << "int x;\n";
    ASSERT_EQ(symlink("/etc/passwd", (folder + "/secret.h").c_str()), 0);
    grade::Submission s = grade::submission_of(folder);
    EXPECT_EQ(s.files, std::vector<std::string>{folder + "/main.c"});
    EXPECT_EQ(s.sources, std::vector<std::string>{"main.c"});
    grade::remove_tree(folder);
}

TEST(GradeBuild, TheFirstErrorInATeachersWords) {
    EXPECT_EQ(grade::first_build_error("a.c: In function 'WinMain':\na.c:3:5: error: expected ';'\na.c:9:1: error: x\n"),
              "a.c:3:5: error: expected ';'");
    EXPECT_NE(grade::first_build_error("/usr/bin/ld: main.o: in function `main':\nmain.cpp:(.text+0x1): undefined "
                                       "reference to `WinMain'\ncollect2: error: ld returned 1 exit status\n")
                  .find("no WinMain"),
              std::string::npos);
    EXPECT_NE(grade::first_build_error("two.c:6: multiple definition of `WinMain'; one.o:6: first defined here\n")
                  .find("more than once"),
              std::string::npos);
}

// How the layer's exit status and words name a run's end.
TEST(GradeRunEnd, TheLayersWordsNameTheOutcome) {
    grade::Task task;
    auto end_of = [&](int wait_status, const std::string &output, bool timed_out = false, int left = 0) {
        grade::SandboxRun ran;
        ran.started = true;
        ran.wait_status = wait_status;
        ran.output = output;
        ran.timed_out = timed_out;
        ran.left_behind = left;
        return grade::classify_run(ran, task);
    };
    auto exited = [](int status) { return status << 8; };
    EXPECT_TRUE(end_of(exited(0), "").finished);
    EXPECT_EQ(end_of(exited(0), "").outcome, grade::Outcome::NotRun);
    grade::RunEnd crash = end_of(SIGSEGV, "kaplo: the program crashed (signal SEGV): it used memory it does not own.\n"
                                          "kaplo: Run it with scripts/kaplo.sh ...\n");
    EXPECT_EQ(crash.outcome, grade::Outcome::Crashed);
    EXPECT_EQ(crash.detail, "the program crashed (signal SEGV): it used memory it does not own.");
    EXPECT_EQ(end_of(exited(5), "kaplo: the run was stopped after 4 seconds of real time (--kaplo-timeout), and the "
                                "program never asked for an event.\n")
                  .outcome,
              grade::Outcome::NeverReadEvent);
    EXPECT_EQ(end_of(exited(5), "kaplo: the run was stopped ... while the program was still busy with its events.\n")
                  .outcome,
              grade::Outcome::RanPastBound);
    EXPECT_EQ(end_of(exited(3), "kaplo: the run reached its bound of 5000 virtual milliseconds\n").outcome,
              grade::Outcome::RanPastBound);
    EXPECT_EQ(end_of(exited(6), "kaplo: the transcript grew past 64 MB\n").outcome, grade::Outcome::WroteTooMuch);
    EXPECT_EQ(end_of(SIGXFSZ, "").outcome, grade::Outcome::WroteTooMuch);
    EXPECT_EQ(end_of(exited(0), "", true).outcome, grade::Outcome::RanPastBound);
    EXPECT_EQ(end_of(exited(1), "kaplo: program has no WinMain: a KAPLO program starts in WinMain\n").outcome,
              grade::Outcome::DidNotBuild);
    grade::RunEnd left = end_of(exited(0), "kaplo: the program left 1 process running when it ended; the run ended them.\n");
    EXPECT_TRUE(left.finished);
    EXPECT_EQ(left.outcome, grade::Outcome::LeftProcesses);
    EXPECT_EQ(end_of(exited(0), "", false, 2).outcome, grade::Outcome::LeftProcesses);
}

// With "checkpoint every", each frame of the run is compared with the
// solution's of the same number, and the worst one is named.
TEST(GradeJudge, EveryFrameIsACheckpoint) {
    char name[] = "/tmp/kaplo-judge-XXXXXX";
    std::string root = mkdtemp(name), error;
    auto run = [&](const char *folder, uint32_t second_frame) {
        std::string frames = root + "/" + folder + "/frames";
        ASSERT_TRUE(grade::make_folders(frames, &error)) << error;
        grade::Picture p{4, 4, std::vector<uint32_t>(16, 0xFFFFFF)};
        ASSERT_TRUE(grade::write_png(frames + "/frame-000001.png", p, &error)) << error;
        p.pixels[5] = second_frame;
        ASSERT_TRUE(grade::write_png(frames + "/frame-000002.png", p, &error)) << error;
        std::ofstream(frames + "/frames.txt") << "frame-000001.png 0\nframe-000002.png 50\n";
    };
    run("solution", 0xFFFFFF);
    run("same", 0xFFFFFF);
    run("other", 0x000000);
    grade::Task task;
    task.checkpoints.kind = grade::Checkpoints::Every;
    EXPECT_TRUE(grade::reference_complete(root + "/solution", task, &error)) << error;
    grade::RunEnd end;
    end.finished = true;
    grade::Result same, other;
    grade::judge_run(root, "same", "solution", task, end, &same);
    grade::judge_run(root, "other", "solution", task, end, &other);
    EXPECT_EQ(same.outcome, grade::Outcome::Passed);
    EXPECT_EQ(other.outcome, grade::Outcome::Differs);
    EXPECT_EQ(other.checkpoint, 2);
    EXPECT_DOUBLE_EQ(other.differing_share, 1.0 / 16);
    grade::remove_tree(root);
}

}  // namespace
