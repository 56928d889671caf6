// Headless runs of the real game program: the committed script played to its
// end, the same outputs in two runs, the GIF matching the frames, and every
// kind of bad input ending with a message and no cut-off file.
#include <gtest/gtest.h>

#include <map>

#include "run_support.h"

namespace {

const std::string kScript = std::string(KAPLO_TEST_DATA) + "/scripts/game.SCR";
const std::string kOutputs =
    "--kaplo-clock=2024-03-01T12:00:00 --kaplo-frames=frames --kaplo-gif=run.gif "
    "--kaplo-log=- --kaplo-last-frame=last.png --kaplo-script=" + kScript;

// The frames index: file name and virtual time of each frame, in order.
std::vector<std::pair<std::string, long>> read_index(const std::string &path) {
    std::vector<std::pair<std::string, long>> rows;
    std::istringstream in(slurp(path));
    std::string name;
    long ms;
    while (in >> name >> ms) rows.emplace_back(name, ms);
    return rows;
}

// The run of the committed script: it ends by itself, two runs give the same
// bytes, and the GIF shows each frame for as long as the virtual clock did.
TEST(GameScriptRun, PlaysToItsEndRepeatablyWithAGifAtTruePace) {
    TempDir one, two;
    ASSERT_EQ(run_game(one, kOutputs), 0) << slurp(one / "stderr.txt");
    ASSERT_EQ(run_game(two, kOutputs), 0) << slurp(two / "stderr.txt");

    // The run ended because the script did: the package said so in its log.
    EXPECT_EQ(slurp(one / "stdout.txt"), "EOF encountered in script file KAPLO.SCR\n");
    EXPECT_EQ(slurp(one / "stdout.txt"), slurp(two / "stdout.txt"));
    EXPECT_EQ(access((one / "KAPLO.SCR").c_str(), F_OK), -1) << "the script's copy stays behind";

    auto index = read_index(one / "frames/frames.txt");
    // 138 events in the script, each followed by its frame.
    ASSERT_GE(index.size(), 138u);
    EXPECT_EQ(slurp(one / "frames/frames.txt"), slurp(two / "frames/frames.txt"));
    for (const auto &row : index)
        ASSERT_EQ(slurp(one / ("frames/" + row.first)), slurp(two / ("frames/" + row.first))) << row.first;
    EXPECT_EQ(slurp(one / "run.gif"), slurp(two / "run.gif"));
    EXPECT_TRUE(read_png(one / "last.png") == read_png(one / ("frames/" + index.back().first)));

    // What a viewer should see: the newest frame of each centisecond, a frame
    // that changes nothing folded into the one before.
    std::vector<Picture> expected;
    std::vector<long> starts;
    for (const auto &row : index) {
        Picture p = read_png(one / ("frames/" + row.first));
        long cs = (row.second + 5) / 10;
        if (!starts.empty() && starts.back() == cs) expected.pop_back(), starts.pop_back();
        if (!expected.empty() && expected.back() == p) continue;
        expected.push_back(p);
        starts.push_back(cs);
    }
    Animation gif = read_gif(one / "run.gif");
    ASSERT_TRUE(gif.ok);
    ASSERT_EQ(gif.frames.size(), expected.size());
    long shown_at = starts.front();
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(shown_at, starts[i]) << "frame " << i << " starts late or early";
        ASSERT_TRUE(gif.frames[i] == expected[i]) << "frame " << i << " differs from its PNG";
        EXPECT_GE(gif.delays_cs[i], 1);
        shown_at += gif.delays_cs[i];
    }
}

TEST(GameScriptRun, BadInputEndsWithAMessageAndNoCutOffFile) {
    TempDir dir;
    struct Case {
        std::string options;
        int status;
        std::string message;
    };
    std::string script = "--kaplo-script=" + kScript;
    std::vector<Case> cases = {
        {"--kaplo-script=missing.SCR", 2, "cannot read the script missing.SCR"},
        {"--kaplo-script=.", 2, "cannot read the script"},
        {script + " --kaplo-frames=stdout.txt/frames", 2, "cannot make the folder"},
        {script + " --kaplo-gif=/no/such/folder/run.gif", 2, "/no/such/folder/run.gif"},
        {script + " --kaplo-log=/dev/full", 4, "No space left on device"},
        {script + " --kaplo-gif=/dev/full", 4, "No space left on device"},
        {script + " --kaplo-last-frame=/dev/full", 4, "No space left on device"},
        {"--kaplo-every=0", 2, "bad value for --kaplo-every"},
        {"--kaplo-gif", 2, "needs a value"},
        {"--kaplo-clock=2024-13-01", 2, "bad value for --kaplo-clock"},
        {"--kaplo-clock=2024-02-31", 2, "usage:\n  --kaplo-clock=TIME "},
        {"--kaplo-sript=x", 2, "unknown option --kaplo-sript"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(run_game(dir, c.options), c.status) << c.options;
        std::string err = slurp(dir / "stderr.txt");
        EXPECT_NE(err.find(c.message), std::string::npos) << c.options << ": " << err;
        EXPECT_EQ(leftovers(dir.path), 0) << c.options;
    }
    // A script of the folder's own is never replaced.
    std::ofstream(dir / "KAPLO.SCR") << "KAPLO_KBD(65);\r\n";
    EXPECT_EQ(run_game(dir, script), 2);
    EXPECT_EQ(slurp(dir / "KAPLO.SCR"), "KAPLO_KBD(65);\r\n");
}

TEST(GameScriptRun, ARunWithoutEndStopsAtItsBoundWithWholeOutputs) {
    TempDir dir;
    // No script: the game animates for ever.
    ASSERT_EQ(run_game(dir, "--kaplo-headless --kaplo-max-ms=4000 --kaplo-gif=run.gif"), 3);
    EXPECT_NE(slurp(dir / "stderr.txt").find("--kaplo-max-ms"), std::string::npos);
    Animation gif = read_gif(dir / "run.gif");
    ASSERT_TRUE(gif.ok);
    int total = 0;
    for (int d : gif.delays_cs) total += d;
    EXPECT_NEAR(total, 400, 10) << "the GIF lasts as long as the run";

    ASSERT_EQ(run_game(dir, "--kaplo-max-frames=25 --kaplo-frames=f"), 3);
    size_t frames = read_index(dir / "f/frames.txt").size();
    EXPECT_GE(frames, 25u);
    EXPECT_LT(frames, 30u) << "the run went on long after its bound";
    ASSERT_EQ(run_game(dir, "--kaplo-max-frames=1"), 3);
    EXPECT_NE(slurp(dir / "stderr.txt").find("its bound of 1 frame (--kaplo-max-frames)"), std::string::npos);
}

}  // namespace
