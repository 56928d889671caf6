// A program's run on a script, through the layer's own headless options
// (docs/running.md), and its end named. The layer says how a run ended in
// lines that begin "kaplo: "; its exit status and those words, with what the
// sandbox saw, give the outcome.
#include "run_program.h"

#include <sys/wait.h>

#include <cmath>
#include <csignal>

#include "files.h"
#include "run/supervisor.h"

namespace grade {

namespace {

bool has(const std::string &text, const char *words) { return text.find(words) != std::string::npos; }

// The layer's first line of words, without "kaplo: ": how the run ended.
std::string first_words(const std::string &output) {
    size_t first = output.compare(0, 7, "kaplo: ") == 0 ? 0 : output.find("\nkaplo: ");
    if (first == std::string::npos) return "";
    if (first > 0) ++first;
    size_t end = output.find('\n', first);
    std::string line = output.substr(first + 7, end == std::string::npos ? std::string::npos : end - first - 7);
    return shortened(line);
}

}  // namespace

RunEnd classify_run(const SandboxRun &ran, const Task &task) {
    RunEnd e;
    e.seconds = ran.seconds;
    e.output = ran.output;
    const std::string &out = ran.output;
    std::string words = first_words(out);
    auto end = [&](Outcome o, const std::string &detail) {
        e.outcome = o;
        e.detail = detail;
        return e;
    };
    if (!ran.started) return end(Outcome::NotRun, "the program could not start: " + ran.error);
    if (ran.timed_out)
        return end(Outcome::RanPastBound,
                   "it ran past its time bound of " + std::to_string((int)std::ceil(task.run_seconds)) +
                       " s and was killed");
    if (has(out, " has no WinMain"))
        return end(Outcome::DidNotBuild, "it has no WinMain: a KAPLO program starts in WinMain, not in main");
    int status = WIFEXITED(ran.wait_status) ? WEXITSTATUS(ran.wait_status) : -1;
    int sig = WIFSIGNALED(ran.wait_status) ? WTERMSIG(ran.wait_status) : 0;
    // The layer ends as its program did; where the signal cannot end it, with
    // 128 + its number (die_like).
    if (status > 128 && status < 128 + 65 && has(out, "(signal ")) sig = status - 128, status = -1;
    if (sig == SIGXFSZ) return end(Outcome::WroteTooMuch, "it wrote a file larger than the bound, and was stopped");
    if (sig == SIGXCPU || sig == SIGKILL)
        return end(Outcome::RanPastBound, "it used more time than its bound, and was killed");
    if (sig != 0) return end(Outcome::Crashed, words.empty() ? "it crashed (signal " + signal_short_name(sig) + ")" : words);
    switch (status) {
    case 2: return end(Outcome::NotRun, words.empty() ? "the run could not start" : words);
    case 3: return end(Outcome::RanPastBound, words);
    case 4:
    case 6: return end(Outcome::WroteTooMuch, words);
    case 5:
        if (has(out, "asked for an event") && !has(out, "still busy with its events"))
            return end(Outcome::NeverReadEvent, words);
        return end(Outcome::RanPastBound, words);
    default: break;
    }
    // Exited before the run had finished: a sanitizer's report, or exit() in a strange place.
    if (has(out, "kaplo: the program stopped abruptly")) return end(Outcome::Crashed, words);
    e.finished = true;
    if (ran.left_behind > 0 || has(out, "kaplo: the program left ")) {
        e.outcome = Outcome::LeftProcesses;
        e.detail = "it left processes running when it ended";
    }
    return e;
}

RunEnd run_program(const std::string &program, const std::string &script, const std::string &out_dir,
                   const std::string &scratch, const Task &task, const SandboxMode &mode, bool gif, int slot) {
    RunEnd failed;
    std::string error, staged = scratch + "-out";
    remove_tree(staged);
    remove_tree(scratch);
    if (!make_folders(staged, &error) || !make_folders(scratch, &error) ||
        !copy_file(script, scratch + "/KAPLO.SCR", &error) || !sandbox_prepare_folder(staged, &error, slot) ||
        !sandbox_prepare_folder(scratch, &error, slot)) {
        failed.detail = error;
        return failed;
    }
    SandboxJob job;
    job.cwd = scratch;
    job.slot = slot;
    job.writable = {scratch, staged};
    job.readable = {program};
    job.argv = {program, "--kaplo-script=KAPLO.SCR", "--kaplo-clock=" + task.clock,
                "--kaplo-log=" + staged + "/" + kTranscript,
                "--kaplo-timeout=" + std::to_string((long long)std::ceil(task.run_seconds)),
                "--kaplo-max-ms=" + std::to_string(task.max_ms)};
    if (task.checkpoints.kind == Checkpoints::Last) job.argv.push_back("--kaplo-last-frame=" + staged + "/" + kLastFrame);
    else job.argv.push_back("--kaplo-frames=" + staged + "/" + kFramesDir);
    if (gif) job.argv.push_back("--kaplo-gif=" + staged + "/" + kGif);
    if (task.max_frames > 0) job.argv.push_back("--kaplo-max-frames=" + std::to_string(task.max_frames));
    SandboxLimits limits;
    limits.seconds = task.run_seconds + 10;  // the layer's own timeout comes first, with its words
    limits.memory_bytes = task.memory_mb << 20;
    limits.processes = 32;
    RunEnd e = classify_run(sandbox_run(mode, job, limits), task);
    remove_tree(out_dir);
    if (!copy_tree(staged, out_dir, &error)) {
        e.finished = false;
        e.outcome = Outcome::NotRun;
        e.detail = error;
    }
    remove_tree(staged);
    remove_tree(scratch);
    return e;
}

}  // namespace grade
