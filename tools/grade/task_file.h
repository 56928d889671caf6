// The task file: plain text a teacher writes once, one setting a line
// ("script green.SCR", "pixels 0.5%", "ignore 0 0 595 20"); docs/grading.md
// lists them. The grader's options set the same things with the same words.
#pragma once

#include <string>

#include "grade.h"

namespace grade {

// Reads a task file into *task (settings it does not name keep their
// values). Paths in it are taken from the task file's folder. False with
// "task.txt, line 3: ..." in *error.
bool read_task(const std::string &path, Task *task, std::string *error);

// One setting, as a task file's line or an option gives it: key "pixels",
// value "0.5%". Relative paths are taken from base_dir. False with what is
// wrong with the value in *error.
bool apply_setting(Task *task, const std::string &key, const std::string &value, const std::string &base_dir,
                   std::string *error);

// The settings' names and what each takes, for --help.
const char *task_settings_help();

// A path made absolute from base_dir (kept when it is absolute already).
std::string absolute_from(const std::string &base_dir, const std::string &path);

}  // namespace grade
