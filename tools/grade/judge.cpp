// Judging a run: which frames are compared, the worst of them kept for the
// report, the transcript's first difference put into words.
#include "judge.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "compare.h"
#include "files.h"
#include "picture.h"
#include "transcript.h"

namespace grade {

namespace {

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

// The file's text; what could be read of it when it cannot be read whole.
std::string read_text(const std::string &path) {
    std::string text;
    read_file(path, &text);
    return text;
}

std::string frame_name(int n) {
    char name[32];
    snprintf(name, sizeof name, "frame-%06d.png", n);
    return name;
}

// The frames a run's frames/frames.txt lists, in order.
std::vector<std::string> listed_frames(const std::string &run) {
    std::vector<std::string> names;
    std::ifstream in(run + "/" + kFramesDir + "/frames.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::string name = line.substr(0, line.find(' '));
        if (name.compare(0, 6, "frame-") == 0) names.push_back(name);
    }
    return names;
}

// The checkpoints of a run as frame files relative to its folder, each with
// its number (0: the last frame).
std::vector<std::pair<int, std::string>> checkpoint_files(const Task &task, const std::string &dir) {
    std::vector<std::pair<int, std::string>> files;
    switch (task.checkpoints.kind) {
    case Checkpoints::Last: files.push_back({0, kLastFrame}); break;
    case Checkpoints::Every: {
        std::vector<std::string> names = listed_frames(dir);
        for (size_t i = 0; i < names.size(); ++i) files.push_back({(int)i + 1, std::string(kFramesDir) + "/" + names[i]});
        break;
    }
    case Checkpoints::Numbered:
        for (int n : task.checkpoints.frames) files.push_back({n, std::string(kFramesDir) + "/" + frame_name(n)});
        break;
    }
    return files;
}

std::string percent(double share) {
    char text[32];
    snprintf(text, sizeof text, "%.2f%%", share * 100);
    return text;
}

}  // namespace

bool reference_complete(const std::string &dir, const Task &task, std::string *error) {
    if (task.checkpoints.kind == Checkpoints::Every) {
        if (!listed_frames(dir).empty()) return true;
        *error = dir + " holds no frames (frames/frames.txt): make it with checkpoint every";
        return false;
    }
    for (const auto &f : checkpoint_files(task, dir)) {
        if (!exists(dir + "/" + f.second)) {
            *error = dir + " has no " + f.second +
                     (f.first ? " (the solution's run drew fewer frames, or was made for other checkpoints)" : "");
            return false;
        }
    }
    return true;
}

void judge_run(const std::string &root, const std::string &run_rel, const std::string &reference_rel,
               const Task &task, const RunEnd &end, Result *r) {
    std::string run = root + "/" + run_rel, ref = root + "/" + reference_rel;
    r->run_seconds = end.seconds;
    // The transcript and GIF, whole or as far as a failed run got.
    for (const char *t : {kTranscript, "run.incomplete.log"})
        if (r->transcript.empty() && exists(run + "/" + t)) r->transcript = run_rel + "/" + t;
    for (const char *g : {kGif, "run.incomplete.gif"})
        if (r->gif.empty() && exists(run + "/" + g)) r->gif = run_rel + "/" + g;
    if (!r->transcript.empty()) {
        TranscriptComparison t = compare_transcripts(read_text(root + "/" + r->transcript), read_text(ref + "/" + kTranscript));
        r->transcript_line = t.line;
        r->learner_line = t.learner_line;
        r->expected_line = t.expected_line;
        r->transcript_words = t.words;
    }
    std::vector<std::pair<int, std::string>> expected = checkpoint_files(task, ref);
    if (!expected.empty()) r->expected_frame = reference_rel + "/" + expected.back().second;
    if (!end.finished) {
        r->outcome = end.outcome;
        r->detail = end.detail;
        if (exists(run + "/last.incomplete.png")) r->frame = run_rel + "/last.incomplete.png";
        return;
    }
    std::vector<std::pair<int, std::string>> learner = checkpoint_files(task, run);
    bool passed = true;
    std::string words;
    double worst = -1;
    int worst_distance = 0;
    Picture worst_difference;
    if (task.checkpoints.kind == Checkpoints::Every && learner.size() != expected.size()) {
        passed = false;
        words = "it drew " + std::to_string(learner.size()) + " frames where the solution drew " +
                std::to_string(expected.size());
    }
    for (size_t i = 0; i < expected.size() && i < learner.size(); ++i) {
        Picture mine, theirs;
        std::string error;
        bool have_mine = read_png(run + "/" + learner[i].second, &mine, &error);
        if (!read_png(ref + "/" + expected[i].second, &theirs, &error)) {
            r->outcome = Outcome::NotRun;
            r->detail = "the solution's frame cannot be read: " + error;
            return;
        }
        FrameComparison c;
        if (have_mine) {
            c = compare_frames(mine, theirs, task.tolerance);
        } else {
            c.share = 1;
            c.words = learner[i].first ? "it has no frame " + std::to_string(learner[i].first) + " (it drew fewer frames)"
                                       : "it drew no frame";
        }
        worst_distance = std::max(worst_distance, c.worst_distance);
        if (c.share > worst) {
            worst = c.share;
            worst_difference = std::move(c.difference);
            r->differing_share = c.share;
            r->checkpoint = learner[i].first;
            r->frame = have_mine ? run_rel + "/" + learner[i].second : "";
            r->expected_frame = reference_rel + "/" + expected[i].second;
            if (!have_mine || !c.passed) words = c.words;
        }
        if (!have_mine || !c.passed) passed = false;
    }
    // A difference picture where there is a difference to see.
    if (worst_difference.width > 0 && (worst > 0 || worst_distance > 0)) {
        std::string error;
        if (write_png(run + "/difference.png", worst_difference, &error)) r->difference = run_rel + "/difference.png";
    }
    bool transcript_differs = task.transcript_must_match && r->transcript_line > 0;
    if (passed && transcript_differs) words = "its transcript differs: " + r->transcript_words;
    if (end.outcome == Outcome::LeftProcesses) {
        r->outcome = Outcome::LeftProcesses;
        r->detail = end.detail + (passed && !transcript_differs ? "; its frames are as the solution's" : "; " + words);
    } else if (passed && !transcript_differs) {
        r->outcome = Outcome::Passed;
        r->detail = r->differing_share > 0 ? percent(r->differing_share) + " of the pixels differ, within the tolerance" : "";
    } else {
        r->outcome = Outcome::Differs;
        r->detail = words;
        if (r->checkpoint > 0) r->detail = "frame " + std::to_string(r->checkpoint) + ": " + r->detail;
    }
}

}  // namespace grade
