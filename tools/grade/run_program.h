// One built program run on one script, headless on a fixed clock, in the
// sandbox: its frames, GIF and transcript written into a folder, and how the
// run ended named.
#pragma once

#include <string>

#include "grade.h"
#include "sandbox.h"

namespace grade {

// What a run's folder holds (file names inside it).
constexpr const char *kLastFrame = "last.png";
constexpr const char *kFramesDir = "frames";
constexpr const char *kGif = "run.gif";
constexpr const char *kTranscript = "run.log";

struct RunEnd {
    bool finished = false;  // the program ended by itself, and its outputs are whole
    Outcome outcome = Outcome::NotRun;  // when !finished, or LeftProcesses
    std::string detail;     // one line: how it ended
    double seconds = 0;
    std::string output;     // what the program and its layer wrote to the terminal
};

// Runs program on script with its outputs in out_dir (which it makes), from
// a scratch folder scratch (made, and removed after, with scratch-out, where
// the outputs are made before they are copied to out_dir: the sandbox's
// users need not reach out_dir). slot: the worker (sandbox_prepare_folder).
RunEnd run_program(const std::string &program, const std::string &script, const std::string &out_dir,
                   const std::string &scratch, const Task &task, const SandboxMode &mode, bool gif, int slot);

// How a run ended, from the layer's words and the sandbox's account.
RunEnd classify_run(const SandboxRun &ran, const Task &task);

}  // namespace grade
