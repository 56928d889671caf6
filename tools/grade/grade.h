// The records the class grader works with: the task (scripts, checkpoints,
// tolerances), and what each learner's run on each script came to. The
// grader builds every submission, runs it on every script in a sandbox,
// compares its frames and transcript with the solution's, and writes one
// report (report.html, results.json, results.csv) from a list of Results.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace grade {

// A rectangle of the frame the comparison leaves out, in frame pixels
// (0,0 is the frame's top-left corner: the menu bar is part of a frame).
struct Region {
    int x = 0, y = 0, width = 0, height = 0;
};

// How close a frame must be to the solution's to pass.
struct Tolerance {
    // A pixel counts as the same when no channel (red, green, blue) differs
    // by more than this (0: exactly the same colour).
    int colour_distance = 0;
    // The share of pixels (0 to 1) that may differ and still pass.
    double pixel_share = 0;
    std::vector<Region> ignore;
};

// Which frames are compared.
struct Checkpoints {
    enum Kind { Last, Every, Numbered } kind = Last;
    std::vector<int> frames;  // Numbered: 1-based frame numbers, ascending
};

// What a task file holds (docs/grading.md): paths already made absolute.
struct Task {
    std::string file;                  // the task file itself, empty when given on the command line
    std::vector<std::string> scripts;  // KAPLO.SCR files recorded with Ctrl+R
    Checkpoints checkpoints;
    Tolerance tolerance;
    bool transcript_must_match = false;  // a differing transcript alone fails the run (else it only explains)
    std::string clock = "2024-09-01T09:00:00";
    long long max_ms = 600000;         // virtual time a run may take
    long long max_frames = 0;          // 0: no bound
    double run_seconds = 20;           // real time a run may take
    double build_seconds = 60;         // real time a build may take
    long long memory_mb = 1024;        // address space of a build or a run
    std::string expected;              // folder of the solution's frames and transcripts, for check
    std::string title;                 // the task's name in the report (default: the task file's name)
};

// How one learner's run on one script ended, from best to worst in the
// report's order.
enum class Outcome {
    Passed,          // frames (and transcript) as the solution's
    Differs,         // it ran to the end, but a checkpoint differs
    RanPastBound,    // the virtual-time or frame bound, or the real-time limit, ended it
    NeverReadEvent,  // stopped while it had not asked for an event (a loop without KAPLO_next_event)
    WroteTooMuch,    // an output or a file grew past its bound
    LeftProcesses,   // it ran, but left processes running that had to be killed
    Crashed,         // a signal ended it
    DidNotBuild,     // the compiler's or linker's error, or no WinMain, or two
    NotRun,          // nothing to run: the submission holds no source, or its build failed earlier
};

// "passed", "differs", "ran past its bound", ... (the words in the report and in results files).
const char *outcome_name(Outcome o);
// The outcome of a name outcome_name gives; false for any other text.
bool outcome_from_name(const std::string &name, Outcome *o);

// A picture in memory: 0x00RRGGBB pixels, row by row.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

// One learner's run on one script. Paths of files are relative to the
// folder of results.json, so that a folder of results can be moved and
// merged with others.
struct Result {
    std::string learner;    // the submission's name: its file name without extension, or its folder's
    std::string script;     // the script's file name
    Outcome outcome = Outcome::NotRun;
    std::string detail;     // one line: the compiler's first error, the signal, the measure ...
    double differing_share = 0;  // of the worst checkpoint, 0 to 1
    int checkpoint = 0;     // the frame number of the worst checkpoint (0: the last)
    double build_seconds = 0;
    double run_seconds = 0;
    // Files (relative; empty when there is none).
    std::string frame;           // the learner's checkpoint frame (PNG)
    std::string expected_frame;  // the solution's (PNG)
    std::string difference;      // the difference picture (PNG)
    std::string gif;             // the whole run (GIF)
    std::string transcript;      // the learner's transcript
    // The transcript's first differing line (1-based; 0: the same), both sides,
    // and what it means in words: "the 2nd circle is orange where the solution's is yellow".
    int transcript_line = 0;
    std::string learner_line, expected_line, transcript_words;
};

// The files a result names (frame, expected frame, difference, GIF,
// transcript), for what copies or checks them all.
template <class R>
auto result_files(R &r) {
    return std::array<decltype(&r.frame), 5>{&r.frame, &r.expected_frame, &r.difference, &r.gif, &r.transcript};
}

// The parts one after the other, with between between them.
std::string joined(const std::vector<std::string> &parts, const char *between);
// A line for the report's detail: cut to 300 bytes with "..." when longer.
std::string shortened(const std::string &line);

// How a whole grade went, for the report's head.
struct Summary {
    std::string title;            // the task's name
    std::string sandbox;          // how runs were kept apart: "bubblewrap: ..." or why only bounds
    bool sandboxed = false;       // false: only the time and memory bounds held
    std::vector<std::string> scripts;
    std::string when;             // date and time of the grade, UTC
};

}  // namespace grade
