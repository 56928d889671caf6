// The sandbox holds what it promises: in bubblewrap a command writes only its
// own folder and has no network; in both modes the deadline, the bounds on
// memory, files, processes and output hold, and nothing is left running.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "sandbox.h"

namespace {

using grade::SandboxJob;
using grade::SandboxLimits;
using grade::SandboxMode;
using grade::SandboxRun;

const SandboxMode &isolated_mode() {
    static const SandboxMode mode = grade::sandbox_probe(true);
    return mode;
}

// A folder of the test's own under /tmp, removed at the end.
struct Folder {
    std::string path;
    Folder() {
        char name[] = "/tmp/kaplo-sandbox-test-XXXXXX";
        path = mkdtemp(name);
    }
    ~Folder() { std::filesystem::remove_all(path); }
};

// Whether some process still runs with this text in its command line.
bool running(const std::string &marker) {
    DIR *d = opendir("/proc");
    bool found = false;
    while (dirent *e = d ? readdir(d) : nullptr) {
        // A process may end while it is read: the stream then reads short
        // and sets its state rather than throwing, as an iterator over it would.
        std::ifstream in(std::string("/proc/") + e->d_name + "/cmdline");
        std::ostringstream line;
        line << in.rdbuf();
        if (line.str().find(marker) != std::string::npos) found = true;
    }
    if (d) closedir(d);
    return found;
}

SandboxRun shell(const SandboxMode &mode, const Folder &f, const std::string &script, SandboxLimits limits = {}) {
    std::string error;
    EXPECT_TRUE(grade::sandbox_prepare_folder(f.path, &error)) << error;
    SandboxJob job{{"/bin/sh", "-c", script}, f.path, {f.path}, {}, {}};
    return grade::sandbox_run(mode, job, limits);
}

TEST(Sandbox, IsolatedWritesOnlyItsFolderAndHasNoNetwork) {
    if (!isolated_mode().isolated) GTEST_SKIP() << isolated_mode().words;
    EXPECT_EQ(isolated_mode().words.rfind("each build and run in bubblewrap", 0), 0u) << isolated_mode().words;
    Folder job, other;
    // Another learner's folder, open to anyone: only the sandbox keeps it safe.
    chmod(other.path.c_str(), 0777);
    std::ofstream(other.path + "/keep") << "theirs";
    chmod((other.path + "/keep").c_str(), 0666);
    std::string outside = "/tmp/kaplo-sandbox-outside-" + std::to_string(getpid());
    SandboxRun r = shell(isolated_mode(), job,
                         "echo mine > written; echo x > " + outside + "; echo x > " + other.path + "/stolen; " +
                             "rm -f " + other.path + "/keep; echo x > \"$HOME/scratch\" && echo home-ok; " +
                             "grep -c : /proc/net/dev");
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_TRUE(std::filesystem::exists(job.path + "/written"));
    EXPECT_FALSE(std::filesystem::exists(outside));
    EXPECT_FALSE(std::filesystem::exists(other.path + "/stolen"));
    EXPECT_TRUE(std::filesystem::exists(other.path + "/keep"));
    EXPECT_NE(r.output.find("home-ok"), std::string::npos) << r.output;
    // Only the loopback device: no way out.
    EXPECT_NE(r.output.find("\n1\n"), std::string::npos) << r.output;
    std::filesystem::remove(outside);
}

TEST(Sandbox, ProbeSaysWhenTurnedOff) {
    SandboxMode off = grade::sandbox_probe(false);
    EXPECT_FALSE(off.isolated);
    EXPECT_EQ(off.words.rfind("the sandbox was turned off (--no-sandbox); runs are bounded", 0), 0u) << off.words;
}

class BothModes : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam() && !isolated_mode().isolated) GTEST_SKIP() << isolated_mode().words;
        mode = GetParam() ? isolated_mode() : SandboxMode{};
    }
    SandboxMode mode;
    Folder folder;
};

TEST_P(BothModes, DeadlineAndLeftoversEndTheWholeTree) {
    // The two modes' tests may run at once: each looks for its own processes.
    std::string mark = GetParam() ? "3" : "4";
    SandboxLimits short_time;
    short_time.seconds = 0.5;
    SandboxRun r = shell(mode, folder, "sleep 3" + mark + ".4711", short_time);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_TRUE(r.timed_out);
    EXPECT_LT(r.seconds, 2.5);
    EXPECT_FALSE(running("3" + mark + ".4711"));

    // A child left running, even one in a session of its own, is counted and ended.
    r = shell(mode, folder, "sleep 3" + mark + ".4712 & setsid sleep 3" + mark + ".4713 & echo started");
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_FALSE(r.timed_out);
    EXPECT_TRUE(WIFEXITED(r.wait_status) && WEXITSTATUS(r.wait_status) == 0);
    EXPECT_EQ(r.left_behind, 2);
    EXPECT_EQ(r.output, "started\n");
    EXPECT_LT(r.seconds, 2.5);
    EXPECT_FALSE(running("3" + mark + ".4712") || running("3" + mark + ".4713"));

    // A fork bomb meets the bound on processes and is gone afterwards.
    SandboxLimits bomb;
    bomb.seconds = 1;
    bomb.processes = 20;
    r = shell(mode, folder, ": bomb-4714" + mark + "; b() { b | b & }; b; sleep 30", bomb);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_LT(r.seconds, 3.5);
    EXPECT_NE(r.output.find("Cannot fork"), std::string::npos) << "the bound on processes did not hold";
    EXPECT_FALSE(running("bomb-4714" + mark));
}

TEST_P(BothModes, BoundsOnOutputMemoryAndFiles) {
    SandboxLimits small;
    small.output_bytes = 1000;
    small.memory_bytes = 64 << 20;
    small.file_bytes = 1 << 20;
    // Output past the bound is read and dropped, so the writer never blocks.
    SandboxRun r = shell(mode, folder, "yes kaplo | head -c 3000000", small);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_TRUE(WIFEXITED(r.wait_status) && WEXITSTATUS(r.wait_status) == 0);
    EXPECT_EQ(r.output.size(), 1000u);
    EXPECT_TRUE(r.output_cut);

    r = shell(mode, folder, "exec awk 'BEGIN { s = \"x\"; while (1) s = s s }'", small);
    EXPECT_FALSE(r.timed_out);
    EXPECT_FALSE(WIFEXITED(r.wait_status) && WEXITSTATUS(r.wait_status) == 0) << r.output;

    r = shell(mode, folder, "exec head -c 2000000 /dev/zero > big", small);
    EXPECT_TRUE(WIFSIGNALED(r.wait_status) && WTERMSIG(r.wait_status) == SIGXFSZ) << r.wait_status;
    EXPECT_LE(std::filesystem::file_size(folder.path + "/big"), 1u << 20);

    r = grade::sandbox_run(mode, SandboxJob{{folder.path + "/missing"}, folder.path, {folder.path}, {}, {}}, small);
    EXPECT_FALSE(r.started);
    EXPECT_NE(r.error.find("missing: No such file"), std::string::npos) << r.error;
}

TEST_P(BothModes, JobsAtOnceSeeOnlyTheirOwnDescriptors) {
    // Run from two threads at once: no job's pipe reaches another job, nor the
    // keeper's report pipe the command.
    std::string outputs[2];
    auto jobs = [&](int i) {
        // ls lists its own, with 3 for the folder it reads.
        for (int n = 0; n < 3; ++n) outputs[i] += shell(mode, folder, "exec ls /proc/self/fd").output + "|";
    };
    std::thread other(jobs, 1);
    jobs(0);
    other.join();
    EXPECT_EQ(outputs[0], "0\n1\n2\n3\n|0\n1\n2\n3\n|0\n1\n2\n3\n|");
    EXPECT_EQ(outputs[1], outputs[0]);
}

INSTANTIATE_TEST_SUITE_P(Sandbox, BothModes, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool> &p) { return p.param ? "Isolated" : "Bounded"; });

TEST(Sandbox, PrepareFolderSaysWhenTheUserCannotReachIt) {
    if (geteuid() != 0) GTEST_SKIP() << "only a grader run as root hands folders to another user";
    Folder closed;
    chmod(closed.path.c_str(), 0700);
    std::filesystem::create_directory(closed.path + "/job");
    std::string error;
    EXPECT_FALSE(grade::sandbox_prepare_folder(closed.path + "/job", &error));
    EXPECT_NE(error.find("is closed to other users"), std::string::npos) << error;
    chmod(closed.path.c_str(), 0755);
    EXPECT_TRUE(grade::sandbox_prepare_folder(closed.path + "/job", &error)) << error;
    // Each worker's folder goes to a user of its own, none of them root.
    std::filesystem::create_directory(closed.path + "/beside");
    EXPECT_TRUE(grade::sandbox_prepare_folder(closed.path + "/beside", &error, 1)) << error;
    struct stat st, beside;
    ASSERT_EQ(stat((closed.path + "/job").c_str(), &st), 0);
    ASSERT_EQ(stat((closed.path + "/beside").c_str(), &beside), 0);
    EXPECT_NE(st.st_uid, 0u);
    EXPECT_NE(beside.st_uid, 0u);
    EXPECT_NE(st.st_uid, beside.st_uid);
}

}  // namespace
