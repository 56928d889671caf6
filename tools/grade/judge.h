// A learner's run judged against the solution's run on the same script:
// the checkpoint frames compared within the task's tolerance, the
// transcripts compared line by line, and the result filled in.
#pragma once

#include <string>

#include "grade.h"
#include "run_program.h"

namespace grade {

// root: the folder of results.json; run_rel and reference_rel: the two runs'
// folders, relative to root. Fills r's outcome, detail, measure and files; writes
// the difference picture into the run's folder.
void judge_run(const std::string &root, const std::string &run_rel, const std::string &reference_rel,
               const Task &task, const RunEnd &end, Result *r);

// Whether a reference folder holds what the task's checkpoints need; false
// with what is missing in *error.
bool reference_complete(const std::string &dir, const Task &task, std::string *error);

}  // namespace grade
