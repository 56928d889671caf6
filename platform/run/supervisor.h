// Runs a piece of work in a child process and watches it from outside: a
// crash, a signal or an endless loop in the child cannot stop the watcher
// from cleaning up after it and saying what happened. The child gets a
// process group of its own, which is killed whole at the end, so nothing it
// started is left running. Memory shared with the child (a heartbeat, and
// whatever the caller asks room for) is mapped before the fork.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct SupervisorLimits {
    long long timeout_s = 0;  // real seconds the child may take; 0: no limit
};

// How the child ended, as the watcher saw it.
struct ChildOutcome {
    enum End {
        Exited,       // it called exit (or returned): status holds the code
        Signalled,    // it died of a signal: signal holds it
        TimedOut,     // the real-time limit passed and the watcher killed it
        Interrupted,  // the watcher itself got SIGINT, SIGTERM or SIGHUP: signal holds it
        NotStarted,   // fork failed: error holds why
    };
    End end = NotStarted;
    int status = 0;
    int signal = 0;
    double seconds = 0;        // real time the child ran
    double quiet_seconds = 0;  // real time since its last heartbeat (since its start if none)
    bool heartbeat_seen = false;
    // Processes of the child's group still running when the child itself
    // ended (Exited or Signalled); they are killed with the group all the same.
    int left_behind = 0;
    std::string error;

    // A short name for the end: "exited with status 1", "crashed (signal SEGV)",
    // "stopped after 300 s", ...
    std::string name() const;
};

class Supervisor {
public:
    // Maps the shared memory: a heartbeat and payload_bytes for the caller
    // (zeroed; pages cost nothing until touched).
    explicit Supervisor(size_t payload_bytes = 0);
    ~Supervisor();
    Supervisor(const Supervisor &) = delete;
    Supervisor &operator=(const Supervisor &) = delete;

    // The caller's shared bytes, the same in parent and child.
    void *payload() const { return payload_; }

    // Forks; the child runs body and exits with what it returns (stdio
    // flushed). The parent waits within the limits, kills the child's whole
    // process group, and returns how the child ended. The child's id stays
    // known (child_pid) for cleaning up after it.
    ChildOutcome run(const SupervisorLimits &limits, const std::function<int()> &body);
    long child_pid() const { return child_; }

private:
    void *map_ = nullptr;
    size_t map_size_ = 0;
    void *payload_ = nullptr;
    long child_ = 0;
};

// In a supervised child: says "still here, and asking for work". The watcher
// tells a child stuck in a loop from one that is merely slow by it.
void supervisor_heartbeat();

// A process as /proc/PID/stat shows it.
struct ProcessStat {
    char state = 0;                  // 'R', 'S', ...; 'Z' a zombie, 'X' dead
    long parent = 0, group = 0;
    unsigned long long pending = 0;  // the signals pending for it, SIGHUP's bit the lowest
};
// Reads /proc/<pid>/stat (pid as /proc names it); false when the process is
// gone or the line cannot be read.
bool read_process_stat(const char *pid, ProcessStat *out);

// What a signal means for a program, in plain words: "it used memory it does
// not own (a null pointer, or an index past the end of an array)".
const char *signal_in_words(int sig);
// The signal's short name without "SIG": "SEGV", "ABRT".
std::string signal_short_name(int sig);

// Ends the calling process the way the child ended: by the same signal
// (without a core file of its own), or with 128 + the signal if it survives.
[[noreturn]] void die_like(int sig);
