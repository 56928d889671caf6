// What the sandbox's keeper tells the grader about a command, written whole
// on a pipe (smaller than PIPE_BUF, so it arrives in one piece). The process
// that starts the keeper sends the same record when it cannot get that far.
#pragma once

namespace grade {

struct KeeperReport {
    enum Stage { None, Setup, Launch, Keeper, Command };
    int started = 0;      // the command's exec succeeded
    int wait_status = 0;  // the command's, as waitpid gave it
    int timed_out = 0;
    int left_behind = 0;
    int error = 0;        // errno of what failed at stage
    int stage = None;
};

}  // namespace grade
