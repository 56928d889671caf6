// The watcher of a child process on its own: how each end is told, the
// heartbeat, and nothing of the child's left running afterwards.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "run/run_words.h"
#include "run/scripted_run.h"
#include "run/supervisor.h"

namespace {

// Whether a process is gone (or only a zombie waiting for its reaper).
bool gone(pid_t pid) {
    for (int i = 0; i < 200; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line)) return true;
        size_t paren = line.rfind(')');
        if (paren != std::string::npos && line.size() > paren + 2 && line[paren + 2] == 'Z') return true;
        usleep(10000);
    }
    return false;
}

TEST(Supervisor, TellsEachEndAndLeavesNothingRunning) {
    SupervisorLimits none;
    Supervisor exits;
    ChildOutcome out = exits.run(none, [] { return 7; });
    EXPECT_EQ(out.end, ChildOutcome::Exited);
    EXPECT_EQ(out.name(), "exited with status 7");

    out = exits.run(none, [] { return raise(SIGUSR1), 0; });  // one no sanitizer handles
    EXPECT_EQ(out.end, ChildOutcome::Signalled);
    EXPECT_EQ(out.name(), "crashed (signal USR1)");

    // A child that started a process of its own and then hangs without a
    // heartbeat: stopped at the limit, the grandchild with it.
    Supervisor hangs(sizeof(pid_t));
    auto *grandchild = static_cast<volatile pid_t *>(hangs.payload());
    SupervisorLimits one_second;
    one_second.timeout_s = 1;
    out = hangs.run(one_second, [&] {
        pid_t pid = fork();
        if (pid == 0) pause();
        *grandchild = pid;
        for (;;) pause();
        return 0;
    });
    EXPECT_EQ(out.end, ChildOutcome::TimedOut);
    EXPECT_FALSE(out.heartbeat_seen);
    EXPECT_TRUE(gone(hangs.child_pid()));
    ASSERT_GT(*grandchild, 0);
    EXPECT_TRUE(gone(*grandchild)) << "the child's own process is left running";

    // A child that ends while a process it started still runs: counted, and
    // ended with the group.
    out = hangs.run(none, [&] {
        pid_t pid = fork();
        if (pid == 0) pause();
        *grandchild = pid;
        return 0;
    });
    EXPECT_EQ(out.end, ChildOutcome::Exited);
    EXPECT_EQ(out.left_behind, 1);
    EXPECT_TRUE(gone(*grandchild)) << "the process the child left is still running";
    EXPECT_EQ(words_left_processes(2), "kaplo: the program left 2 processes running when it ended; the run ended them.\n"
                                       "kaplo: A program should wait for the processes it starts (waitpid), or start none.\n");

    // One that keeps beating is told apart from one stuck in a loop.
    out = exits.run(one_second, [] {
        for (;;) supervisor_heartbeat(), usleep(1000);
        return 0;
    });
    EXPECT_TRUE(out.heartbeat_seen);
    EXPECT_LT(out.quiet_seconds, 0.5);
    EXPECT_TRUE(words_timeout(1, out.quiet_seconds, true).find("still busy") != std::string::npos);
    EXPECT_TRUE(words_timeout(300, 295, true).find("for the last 295 seconds") != std::string::npos);
}

TEST(RunWords, NamesAndCountsReadRight) {
    EXPECT_EQ(incomplete_name("run.log"), "run.incomplete.log");
    EXPECT_EQ(incomplete_name("out.d/last.png"), "out.d/last.incomplete.png");
    EXPECT_EQ(incomplete_name("out.d/transcript"), "out.d/transcript.incomplete");
    EXPECT_EQ(incomplete_name(".log"), ".log.incomplete");
    EXPECT_EQ(count_of(1, "frame"), "1 frame");
    EXPECT_EQ(count_of(0, "frame"), "0 frames");
    EXPECT_EQ(count_of(2, "second"), "2 seconds");
}

}  // namespace
