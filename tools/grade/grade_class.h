// The grader's three jobs: grading a folder of submissions against the
// teacher's solution, checking one program against the frames a task ships
// with (a learner's check before handing in), and making those frames from
// the solution. Each returns the command's exit status.
#pragma once

#include <string>

#include "grade.h"

namespace grade {

struct GradeOptions {
    std::string package;      // the installed package's prefix (lib/pkgconfig/kaplo.pc)
    std::string out;          // the folder of the report
    int jobs = 1;             // programs built and run at once
    int shard = 0, shards = 1;  // grade only the submissions i with i % shards == shard
    bool sandbox = true;      // false: --no-sandbox
    bool gifs = true;         // record each run's GIF for the report
};

// grade: every submission in the folder, against the solution.
int grade_class(const GradeOptions &options, const Task &task, const std::string &submissions,
                const std::string &solution);
// check: one program against the task's expected frames.
int check_program(const GradeOptions &options, const Task &task, const std::string &program);
// expect: the solution's frames and transcripts into the task's expected folder.
int make_expected(const GradeOptions &options, const Task &task, const std::string &solution);

}  // namespace grade
