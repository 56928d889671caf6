// The grade's files: results.json back as written, bad ones refused in words,
// a CSV a spreadsheet cannot be tricked by, a report in which a learner's
// text stays text, and shards merged into one.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "merge.h"
#include "report_html.h"
#include "results_files.h"

namespace fs = std::filesystem;
using grade::Outcome;
using grade::Result;
using grade::Summary;

namespace {

class GradeFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/grade_report_XXXXXX";
        ASSERT_TRUE(mkdtemp(name));
        dir = name;
    }
    void TearDown() override { fs::remove_all(dir); }

    void put(const std::string &path, const std::string &bytes) {
        fs::create_directories(fs::path(dir + "/" + path).parent_path());
        std::ofstream(dir + "/" + path, std::ios::binary) << bytes;
    }
    std::string get(const std::string &path) {
        std::ifstream in(dir + "/" + path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // The start of a PNG of that size, as much as the report reads of one; tag tells pictures apart.
    static std::string png(int width, int height, char tag) {
        std::string b("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
        for (int v : {width, height})
            for (int shift = 24; shift >= 0; shift -= 8) b += (char)(v >> shift);
        return b + tag;
    }
    static Result run(const std::string &learner, const std::string &script, Outcome outcome) {
        Result r;
        r.learner = learner, r.script = script, r.outcome = outcome;
        return r;
    }
    Summary summary() {
        Summary s;
        s.title = "Week 3: the house", s.sandbox = "bubblewrap 0.8", s.sandboxed = true;
        s.scripts = {"door.scr", "roof.scr"}, s.when = "2026-12-09 10:00 UTC";
        return s;
    }
    static int count(const std::string &text, const std::string &part) {
        int n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
        return n;
    }

    std::string dir;
    std::string error;
};

TEST_F(GradeFiles, ResultsJsonReadsBackAsWritten) {
    Result a = run("Zoë Brontë", "door.scr", Outcome::Differs);
    a.detail = "the roof\nis \"late\"", a.differing_share = 0.125, a.checkpoint = 40;
    a.build_seconds = 1.5, a.run_seconds = 0.25, a.frame = "frames/Zoë.png", a.expected_frame = "solution/door.png";
    a.difference = "d.png", a.gif = "g.gif", a.transcript = "t.txt", a.transcript_line = 7;
    a.learner_line = "Ellipse(10, 10, 50, 50) ORANGE", a.expected_line = "Ellipse(10, 10, 50, 50) YELLOW";
    a.transcript_words = "the 2nd circle is orange where the solution's is yellow";
    std::vector<Result> written = {a, run("Lee, Ann", "roof.scr", Outcome::DidNotBuild)};
    ASSERT_TRUE(grade::write_results(dir, summary(), written, &error)) << error;

    Summary s;
    std::vector<Result> read;
    ASSERT_TRUE(grade::read_results(dir, &s, &read, &error)) << error;
    EXPECT_EQ(s.title, "Week 3: the house");
    EXPECT_EQ(s.scripts, summary().scripts);
    EXPECT_TRUE(s.sandboxed);
    ASSERT_EQ(read.size(), 2u);
    const Result &b = read[0];
    EXPECT_EQ(std::tie(b.learner, b.script, b.detail, b.frame, b.expected_frame, b.difference, b.gif, b.transcript,
                       b.learner_line, b.expected_line, b.transcript_words),
              std::tie(a.learner, a.script, a.detail, a.frame, a.expected_frame, a.difference, a.gif, a.transcript,
                       a.learner_line, a.expected_line, a.transcript_words));
    EXPECT_EQ(std::tie(b.outcome, b.differing_share, b.checkpoint, b.build_seconds, b.run_seconds, b.transcript_line),
              std::tie(a.outcome, a.differing_share, a.checkpoint, a.build_seconds, a.run_seconds, a.transcript_line));
    EXPECT_EQ(read[1].outcome, Outcome::DidNotBuild);

    // A file name that is not UTF-8 is written (as U+FFFD), not thrown on.
    ASSERT_TRUE(grade::write_results(dir, summary(), {run("ren\xe9", "door.scr", Outcome::Passed)}, &error)) << error;
    ASSERT_TRUE(grade::read_results(dir, &s, &read, &error)) << error;
    EXPECT_EQ(read[0].learner, "ren\xEF\xBF\xBD");
}

TEST_F(GradeFiles, BadResultsJsonIsRefusedSayingWhy) {
    Summary s;
    std::vector<Result> read;
    EXPECT_FALSE(grade::read_results(dir, &s, &read, &error));
    EXPECT_NE(error.find("results.json: cannot read it"), std::string::npos) << error;
    // A folder in its place is refused, not read.
    std::filesystem::create_directory(dir + "/results.json");
    EXPECT_FALSE(grade::read_results(dir, &s, &read, &error));
    EXPECT_NE(error.find("results.json: cannot read it: Is a directory"), std::string::npos) << error;
    std::filesystem::remove(dir + "/results.json");

    std::string head = R"({"title": "t", "scripts": ["a.scr"], "results": [)";
    const std::pair<std::string, std::string> bad[] = {
        {"", "the file is empty"},
        {"{\"title\": \"t\",\n  \"scripts\": [}", "broken at line 2, column 15"},
        {"[1, 2]", "should be one object"},
        {R"({"title": "t", "results": []})", "\"scripts\" should be a list"},
        {head + R"({"learner": "Al", "script": "a.scr", "outcome": "fine"}]})", "(Al, a.scr): \"outcome\" is \"fine\""},
        {head + R"({"learner": "Al", "script": "a.scr"}]})", "\"outcome\" is missing"},
        {head + R"({"learner": "Al", "script": "a.scr", "outcome": "passed", "differing_share": 2}]})",
         "\"differing_share\" should be a number from 0 to 1, not 2"},
        {head + R"({"learner": "Al", "script": "a.scr", "outcome": "passed", "frame": "../../etc/passwd"}]})",
         "not inside the results folder"},
        {head + R"({"learner": "Al", "script": "a.scr", "outcome": "passed", "gif": "/etc/passwd"}]})",
         "not inside the results folder"},
    };
    for (const auto &[text, message] : bad) {
        put("results.json", text);
        EXPECT_FALSE(grade::read_results(dir, &s, &read, &error)) << text;
        EXPECT_NE(error.find(message), std::string::npos) << text << "\n  said: " << error;
    }
}

TEST_F(GradeFiles, CsvCellsAreQuotedAndNeverFormulas) {
    Result quoted = run("Lee, Ann \"Al\"", "door.scr", Outcome::Differs);
    quoted.differing_share = 0.0125, quoted.detail = "line one\nline two";
    Result one_pixel = run("-2+3", "a.scr", Outcome::Differs);
    one_pixel.differing_share = 1.0 / (595 * 476);
    std::string csv = grade::results_csv({quoted, run("=HYPERLINK(\"x\")", "a.scr", Outcome::Passed),
                                          one_pixel, run("@SUM", "a.scr", Outcome::Passed),
                                          run(" Zoë ", "a.scr", Outcome::Crashed)});
    EXPECT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(csv.find("learner,script,outcome,differing_percent,"), std::string::npos);
    EXPECT_NE(csv.find("\r\n\"Lee, Ann \"\"Al\"\"\",door.scr,differs,1.25,0,0.00,0.00,\"line one\nline two\",\r\n"),
              std::string::npos)
        << csv;
    EXPECT_NE(csv.find("\r\n\"'=HYPERLINK(\"\"x\"\")\",a.scr,passed,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\n'-2+3,a.scr,differs,0.000353082,"), std::string::npos) << csv;  // one pixel is not 0
    EXPECT_NE(csv.find("\r\n'@SUM,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\n\" Zoë \",a.scr,crashed,"), std::string::npos) << csv;
}

TEST_F(GradeFiles, ReportKeepsLearnersTextAsTextAndEachPictureOnce) {
    put("solution/door.png", png(595, 476, 's'));
    std::vector<Result> results;
    for (const char *name : {"<script>alert(1)</script>", "Zoë", "Bo"}) {
        Result r = run(name, "door.scr", Outcome::Differs);
        r.expected_frame = "solution/door.png";
        r.frame = "f/" + std::to_string(results.size()) + ".png";
        put(r.frame, png(595, 476, (char)results.size()));
        r.transcript_line = 3, r.learner_line = "<img src=x onerror=alert(2)>", r.expected_line = "a & b";
        results.push_back(r);
    }
    results[2].gif = "big.gif";
    put("big.gif", "GIF89a" + std::string(grade::kReportGifMostBytes, 'G'));
    // A learner's run that leaves its GIF a link to a file outside: the file stays out.
    std::ofstream(dir + ".secret") << "GIF89a secret";
    fs::create_symlink(dir + ".secret", dir + "/f/run.gif");
    results[1].gif = "f/run.gif";
    Summary s = summary();
    s.sandboxed = false, s.sandbox = "no user namespaces here";
    ASSERT_TRUE(grade::write_report(dir, s, results, &error)) << error;

    std::string html = get("report.html");
    EXPECT_EQ(html.find("<script>alert"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_EQ(html.find("<img src=x"), std::string::npos);
    EXPECT_NE(html.find("&lt;img src=x onerror=alert(2)&gt;"), std::string::npos);
    EXPECT_NE(html.find(">Zoë</th>"), std::string::npos);
    EXPECT_NE(html.find("Not sandboxed"), std::string::npos);
    // Four distinct pictures for six figures; the solution's frame once.
    EXPECT_EQ(count(html, "background-image:url(data:image/png;base64,"), 4);
    EXPECT_EQ(count(html, "class=\"pic "), 6);
    // The large GIF is linked beside the page, not put in it.
    EXPECT_EQ(html.find("GGGG"), std::string::npos);
    EXPECT_NE(html.find("href=\"big.gif\""), std::string::npos);
    EXPECT_EQ(html.find("src=\"http"), std::string::npos);
    EXPECT_EQ(html.find("data:image/gif;base64,R0lGODlhIHNlY3JldA"), std::string::npos);
    EXPECT_NE(html.find("run missing: f/run.gif"), std::string::npos);
    fs::remove(dir + ".secret");
}

TEST_F(GradeFiles, ShardsMergeIntoOneAndOtherTasksAreRefused) {
    auto shard = [&](const std::string &name, const std::string &learner, bool sandboxed, char tag) {
        Summary s = summary();
        s.sandboxed = sandboxed, s.when = "2026-12-09 1" + std::string(1, tag) + ":00 UTC";
        Result mine = run(learner, "door.scr", Outcome::Passed), shared = run("Both", "door.scr", Outcome::Crashed);
        mine.frame = "frames/" + learner + ".png";
        mine.expected_frame = "solution/door.png";
        put(name + "/" + mine.frame, png(10, 10, tag));
        put(name + "/solution/door.png", png(10, 10, 's'));
        ASSERT_TRUE(grade::write_results(dir + "/" + name, s, {mine, shared}, &error)) << error;
    };
    shard("one", "Al", true, '1');
    shard("two", "Cy", false, '2');  // Both again: kept from one
    std::string out = dir + "/all";
    ASSERT_TRUE(grade::merge_results({dir + "/one", dir + "/two"}, out, &error)) << error;

    Summary s;
    std::vector<Result> merged;
    ASSERT_TRUE(grade::read_results(out, &s, &merged, &error)) << error;
    EXPECT_FALSE(s.sandboxed);
    EXPECT_EQ(s.when, "2026-12-09 11:00 UTC to 2026-12-09 12:00 UTC");
    ASSERT_EQ(merged.size(), 3u);
    EXPECT_EQ(merged[0].frame, "one/frames/Al.png");
    EXPECT_EQ(merged[2].frame, "two/frames/Cy.png");
    EXPECT_EQ(get("all/" + merged[2].frame), png(10, 10, '2'));
    EXPECT_EQ(merged[2].expected_frame, "two/solution/door.png");
    EXPECT_TRUE(fs::exists(out + "/results.csv") && fs::exists(out + "/report.html"));

    // Two shards of the same folder name keep apart too.
    fs::create_directories(dir + "/x");
    fs::rename(dir + "/two", dir + "/x/one");
    ASSERT_TRUE(grade::merge_results({dir + "/one", dir + "/x/one"}, out, &error)) << error;
    ASSERT_TRUE(grade::read_results(out, &s, &merged, &error)) << error;
    EXPECT_EQ(merged[2].frame, "one-2/frames/Cy.png");

    Summary other = summary();
    other.scripts = {"door.scr"};
    ASSERT_TRUE(grade::write_results(dir + "/three", other, {}, &error)) << error;
    EXPECT_FALSE(grade::merge_results({dir + "/one", dir + "/three"}, out, &error));
    EXPECT_NE(error.find(dir + "/three graded the scripts door.scr, but"), std::string::npos) << error;
    EXPECT_FALSE(grade::merge_results({out, dir + "/one"}, out, &error));
}

}  // namespace
