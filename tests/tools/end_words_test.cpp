// The words scripts/kaplo.sh prints when a learner's program ends, from
// sanitizer reports recorded from small faulty programs (tests/data/
// crash_reports, paths moved to /home/learner/bounce), and the filter that
// keeps such a report out of the terminal as the program's stderr passes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "end_words.h"
#include "report_filter.h"

namespace {

using end_words::End;
using end_words::ReportFilter;

std::string recorded(const std::string &name) {
    std::ifstream in(std::string(KAPLO_TEST_DATA) + "/crash_reports/" + name + ".txt");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_FALSE(text.str().empty()) << name;
    return text.str();
}

std::vector<std::string> words_for(const std::string &report_text, int status = 1) {
    End end;
    end.program = "bounce.c";
    end.dir = "/home/learner/bounce";
    end.status = status;
    end.report = end_words::parse_report(report_text);
    return end_words::words(end);
}

// Each fault names the learner's line, what went wrong there and who called;
// frames of the package, the layer and the runtime are never named as "the line".
TEST(EndWords, EveryRecordedFaultIsNamedAtTheLearnersLine) {
    const std::pair<const char *, const char *> cases[] = {
        {"nullread", "line 6 of nullread.c reads memory through a null pointer (in radius_of, called from line 13 of nullread.c)."},
        {"nullwrite", "line 8 of nullwrite.c writes memory through a null pointer."},
        {"nulltext", "line 8 of nulltext.c passes a null pointer as argument 1 of a call that needs a real one."},
        {"wild", "line 7 of wild.c reads memory through a pointer that points nowhere it may."},
        {"stackarray", "line 9 of stackarray.c uses index 10 of an array of 10 elements (int [10]), whose indexes go from 0 to 9."},
        {"stackptr", "line 7 of stackptr.c writes past the end of the array 'heights' (made at line 13 of stackptr.c) (in fill, called from line 15 of stackptr.c)."},
        {"globalptr", "line 7 of globalptr.c reads past the end of the array 'colours' (made at line 3 of globalptr.c) (in pick, called from line 15 of globalptr.c)."},
        {"heaparray", "line 10 of heaparray.c reads past the end of a block of memory (from calloc at line 6 of heaparray.c)."},
        {"useafterfree", "line 10 of useafterfree.c reads memory that was already given back with free (at line 9 of useafterfree.c)."},
        {"divzero", "line 7 of divzero.c divides by zero."},
        {"overflow", "line 9 of overflow.c computes 2147483647 + 1, which is too large for its type (an int holds -2147483648 to 2147483647)."},
        {"recursion", "draw_tree calls itself at line 6 of recursion.c again and again, until there was no room left for more calls."},
    };
    for (const auto &c : cases) {
        std::vector<std::string> w = words_for(recorded(c.first));
        ASSERT_EQ(w.size(), 2u) << c.first;
        EXPECT_EQ(w[0], std::string("bounce.c crashed: ") + c.second) << c.first;
        EXPECT_EQ(w[1].rfind("hint: ", 0), 0u) << c.first;
    }
}

// The cause comes from the report, the layer's word and the status, in that
// order: a crash where no display is set is a crash, and DISPLAY is no input.
TEST(EndWords, TheCauseOfAnEndWithoutAReport) {
    End end;
    end.program = "ball.c";
    end.dir = "/home/learner";
    EXPECT_TRUE(end_words::words(end).empty()) << "a clean end says nothing";

    end.status = 1;
    end.no_display = true;
    EXPECT_NE(end_words::words(end)[0].find("no desktop"), std::string::npos);
    end.report = end_words::parse_report(recorded("divzero"));
    EXPECT_NE(end_words::words(end)[0].find("divides by zero"), std::string::npos);

    end = End();
    end.program = "ball.c";
    const std::pair<int, const char *> plain[] = {
        {139, "ball.c crashed: it used memory it may not use (signal SEGV)"},
        {136, "ball.c crashed: it divided a whole number by zero (signal FPE)."},
        {134, "ball.c stopped itself (signal ABRT)"},
        {3, "ball.c ended with status 3."},  // the program's own 3 without --kaplo- options
    };
    for (const auto &p : plain) {
        end.status = p.first;
        EXPECT_EQ(end_words::words(end)[0].rfind(p.second, 0), 0u) << p.first;
    }

    end.layer_run = true;
    const std::pair<int, const char *> layer[] = {
        {2, "did not start"}, {3, "reached its bound"}, {4, "could not be written"}, {5, "stopped by the watchdog"},
        {6, "grew past the size bound"}};
    for (const auto &l : layer) {
        end.status = l.first;
        EXPECT_NE(end_words::words(end)[0].find(l.second), std::string::npos) << l.first;
    }
    end.status = 5;  // ended by its close box while not responding: not the watchdog
    end.ended_unresponsive = true;
    EXPECT_NE(end_words::words(end)[0].find("was ended while it was not responding"), std::string::npos);
}

// What the filter passes and keeps, fed in pieces as a pipe delivers them.
std::pair<std::string, std::string> filtered(const std::string &text, size_t piece) {
    ReportFilter f;
    std::string out, keep;
    for (size_t i = 0; i < text.size(); i += piece) f.feed(text.substr(i, piece), &out, &keep);
    f.finish(&out, &keep);
    return {out, keep};
}

TEST(ReportFilter, KeepsTheReportAsideAndPassesTheRest) {
    std::string report = recorded("stackptr");
    std::string before = "log: Illegal color 99; using RED.\n" + std::string(70, '=') + " a rule of my own\n" +
                         std::string(64, '=') + "\nstill mine\n";
    for (size_t piece : {size_t(1), size_t(7), size_t(1 << 16)}) {
        auto [out, keep] = filtered(before + report, piece);
        EXPECT_EQ(out, before) << piece;  // a rule with no report after it is the program's
        EXPECT_EQ(keep, report) << piece;
        EXPECT_EQ(end_words::parse_report(keep).kind, end_words::Report::OUT_OF_BOUNDS);
    }
    auto [out, keep] = filtered("kaplo: cannot open a display (no X11 or Wayland display found)\n", 5);
    EXPECT_EQ(out, keep) << "the layer's word passes and is kept";
    std::string flood = "x.c:1:1: runtime error: division by zero\n" + std::string(3 << 20, 'y');
    EXPECT_EQ(filtered(flood, 1 << 16).second.size(), ReportFilter::kKeepBound);
}

}  // namespace
