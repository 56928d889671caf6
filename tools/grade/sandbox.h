// Runs one build or run of a learner's program apart from everything else:
// in bubblewrap where the machine allows it (no network, its own processes,
// only the folders it is given writable), and always within bounds of real
// time, memory, file size and processes, with nothing left running after it.
// When the grader runs as root, the command runs as a user of its own with
// no account, one for each worker of each grade, so that the bound on
// processes holds (root is not bound by it) and a program that forks without
// end uses up only its own job's processes.
#pragma once

#include <string>
#include <vector>

namespace grade {

// How runs are kept apart on this machine.
struct SandboxMode {
    bool isolated = false;  // bubblewrap works here and will be used
    // For the report's head: how each build and run is kept apart, or why it
    // is not and what still holds.
    std::string words;
};
// Finds out once whether bubblewrap works here as the sandbox's user.
// wanted false: the teacher turned it off (--no-sandbox), and the words say so.
SandboxMode sandbox_probe(bool wanted);

// Makes a folder the grader made writable for the sandboxed user (chown to
// the sandbox's user when the grader runs as root); false with the reason
// when the sandbox's user cannot reach it.
// slot: the job's worker (0 ... jobs - 1), whose user the folder is for.
bool sandbox_prepare_folder(const std::string &path, std::string *error, int slot = 0);

// As root, the path itself when the sandbox's users can reach it, else a
// copy of it (a file or a folder) made in stage, which they can reach. A
// grader built or installed in a closed folder (/root) still runs its jobs.
std::string sandbox_reachable(const std::string &path, const std::string &stage, std::string *error);
// Makes the keeper each job starts (this program) reachable for the
// sandbox's users, copying it into stage when it is not; false with why.
bool sandbox_stage_keeper(const std::string &stage, std::string *error);

struct SandboxLimits {
    double seconds = 60;                 // real time; then the whole tree is killed
    long long memory_bytes = 1LL << 30;  // address space (RLIMIT_AS)
    long long file_bytes = 256LL << 20;  // largest file it may write (RLIMIT_FSIZE)
    int processes = 64;                  // processes it may start (beyond what its user runs already)
    long long output_bytes = 64 << 10;   // of its standard output and error kept
};

struct SandboxJob {
    std::vector<std::string> argv;      // argv[0] an absolute path
    std::string cwd;                    // absolute
    std::vector<std::string> writable;  // folders bound read-write at their own paths
    std::vector<std::string> readable;  // further folders or files bound read-only at their own paths
    // "NAME=value", on top of a clean PATH, HOME (a scratch folder inside),
    // TMPDIR, LANG=C.UTF-8.
    std::vector<std::string> env;
    int slot = 0;  // the worker running it (0 ... jobs - 1): as root, each has a user of its own
};

struct SandboxRun {
    bool started = false;
    std::string error;        // why it could not start
    int wait_status = 0;      // as waitpid gave it for argv[0]'s process
    bool timed_out = false;
    int left_behind = 0;      // processes still running when the command ended (all killed)
    double seconds = 0;
    std::string output;       // standard output and error together, the first output_bytes
    bool output_cut = false;  // it wrote more than output_bytes
};

// Runs a job and waits for it within the limits. Safe to call from several
// threads at once.
SandboxRun sandbox_run(const SandboxMode &mode, const SandboxJob &job, const SandboxLimits &limits);

// The sandbox's own program: a small keeper that starts the command, waits
// for it with the deadline and clears away what it leaves. It is this same
// executable started again with a flag (see sandbox_keeper.cpp).
const char *sandbox_keeper_flag();

}  // namespace grade
