// Submissions, and building one into a program: its sources copied into a
// folder of its own and compiled there against the installed package, in
// the sandbox.
#pragma once

#include <string>
#include <vector>

#include "grade.h"
#include "sandbox.h"

namespace grade {

// One learner's work: a C or C++ file, or a folder of them.
struct Submission {
    std::string name;                  // the file's name without extension, or the folder's
    std::string path;                  // as found
    std::vector<std::string> sources;  // the sources' file names (in path, or path itself)
    std::vector<std::string> files;    // every file to copy (absolute): sources, headers, data
    std::string problem;               // why it cannot be built, when it cannot ("not a C or C++ source")
};

// A submission from a file or folder (its problem says what is wrong with it).
Submission submission_of(const std::string &path);

// Every entry of a folder of submissions, sorted by name (hidden entries
// left out). False with a message when the folder is missing or has none.
bool list_submissions(const std::string &folder, std::vector<Submission> *out, std::string *error);

// How programs are compiled and linked against the installed package.
struct Package {
    std::string prefix;
    std::vector<std::string> cflags, libs;
};
// Asks pkg-config for the package installed in prefix.
bool find_package(const std::string &prefix, Package *package, std::string *error);

struct Build {
    bool ok = false;
    std::string program;  // the built program (absolute)
    double seconds = 0;
    std::string detail;   // why it did not build: the compiler's first error, in one line
};

// Copies the submission's files into work/src and builds work/program
// there, in the sandbox, within the task's build time and memory.
Build build_submission(const Submission &submission, const std::string &work, const Package &package,
                       const SandboxMode &mode, const Task &task, int slot);

// The first line of a compiler's output that says what went wrong, in a
// teacher's words where it is about WinMain; "" when there is none.
std::string first_build_error(const std::string &output);

}  // namespace grade
