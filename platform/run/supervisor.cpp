// The watcher of a child process: fork, a process group of its own, a
// pidfd to wait on with a deadline, and the heartbeat in shared memory.
#include "run/supervisor.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The start of the shared mapping.
struct SharedHeader {
    std::atomic<uint64_t> heartbeat;
};
constexpr size_t kHeaderBytes = 64;  // keeps the payload aligned
static_assert(sizeof(SharedHeader) <= kHeaderBytes, "header too large");

SharedHeader *child_header = nullptr;  // set in the child only

// Signals that stop the watcher: it ends its child first.
volatile sig_atomic_t stop_signal = 0;
void note_stop(int sig) { stop_signal = sig; }
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

using Clock = std::chrono::steady_clock;

// How many processes of a group are running (not zombies), from /proc.
int running_in_group(pid_t group) {
    int n = 0;
    DIR *d = opendir("/proc");
    while (dirent *e = d ? readdir(d) : nullptr) {
        ProcessStat p;
        if (read_process_stat(e->d_name, &p) && p.group == group && p.state != 'Z' && p.state != 'X') ++n;
    }
    if (d) closedir(d);
    return n;
}
double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

}  // namespace

Supervisor::Supervisor(size_t payload_bytes) {
    map_size_ = kHeaderBytes + payload_bytes;
    void *m = mmap(nullptr, map_size_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) {
        map_size_ = 0;
        return;
    }
    map_ = m;
    new (map_) SharedHeader{};
    payload_ = payload_bytes ? static_cast<char *>(map_) + kHeaderBytes : nullptr;
}

Supervisor::~Supervisor() {
    if (map_) munmap(map_, map_size_);
}

ChildOutcome Supervisor::run(const SupervisorLimits &limits, const std::function<int()> &body) {
    ChildOutcome out;
    if (!map_) {
        out.error = std::string("cannot share memory with the program: ") + strerror(errno);
        return out;
    }
    auto *header = static_cast<SharedHeader *>(map_);
    fflush(nullptr);  // nothing buffered twice
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        out.error = std::string("cannot start the program: ") + strerror(errno);
        return out;
    }
    if (pid == 0) {
        setpgid(0, 0);
        // Should the watcher die unexpectedly, the child goes with it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        child_header = header;
        int status = body();
        exit(status);
    }
    child_ = pid;
    setpgid(pid, pid);  // also here, so that the group exists before any kill
    struct sigaction stop = {}, old[3];
    stop.sa_handler = note_stop;
    sigemptyset(&stop.sa_mask);
    stop_signal = 0;
    for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &stop, &old[i]);

    int pidfd = (int)syscall(SYS_pidfd_open, pid, 0);
    Clock::time_point start = Clock::now(), last_beat = start;
    uint64_t beats = 0;
    int wait_status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &wait_status, WNOHANG);
        if (done == pid) break;
        uint64_t now_beats = header->heartbeat.load(std::memory_order_relaxed);
        if (now_beats != beats) {
            beats = now_beats;
            last_beat = Clock::now();
            out.heartbeat_seen = true;
        }
        bool late = limits.timeout_s > 0 && since(start) >= (double)limits.timeout_s;
        if (late || stop_signal) {
            out.end = late ? ChildOutcome::TimedOut : ChildOutcome::Interrupted;
            out.signal = stop_signal;
            kill(-pid, SIGKILL);
            waitpid(pid, &wait_status, 0);
            break;
        }
        // A pidfd wakes us the moment the child ends; without one, look often.
        if (pidfd >= 0) {
            struct pollfd p = {pidfd, POLLIN, 0};
            poll(&p, 1, 100);
        } else {
            usleep(5000);
        }
    }
    if (pidfd >= 0) close(pidfd);
    for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &old[i], nullptr);
    if (out.end == ChildOutcome::NotStarted) out.left_behind = running_in_group(pid);
    kill(-pid, SIGKILL);  // whatever the child left running in its group
    out.seconds = since(start);
    out.quiet_seconds = since(last_beat);
    if (out.end == ChildOutcome::NotStarted) {
        if (WIFSIGNALED(wait_status)) {
            out.end = ChildOutcome::Signalled;
            out.signal = WTERMSIG(wait_status);
        } else {
            out.end = ChildOutcome::Exited;
            out.status = WEXITSTATUS(wait_status);
        }
    }
    return out;
}

// Counts one beat in the shared header.
void supervisor_heartbeat() {
    if (child_header) child_header->heartbeat.fetch_add(1, std::memory_order_relaxed);
}

bool read_process_stat(const char *pid, ProcessStat *out) {
    if (pid[0] < '1' || pid[0] > '9') return false;
    char path[300], line[1024];
    snprintf(path, sizeof path, "/proc/%s/stat", pid);
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ssize_t len = read(fd, line, sizeof line - 1);
    close(fd);
    if (len <= 0) return false;
    line[len] = 0;
    // "pid (name) S ppid pgrp ...": the name may hold blanks and parentheses.
    // The signals pending are the 31st field, the 29th after the name.
    char *at = strrchr(line, ')');
    if (!at) return false;
    ++at;
    for (int field = 3; field <= 31; ++field) {
        char *end;
        while (*at == ' ') ++at;
        if (field == 3) {
            out->state = *at++;
            continue;
        }
        unsigned long long v = strtoull(at, &end, 10);
        if (end == at) return false;
        at = end;
        if (field == 4) out->parent = (long)v;
        if (field == 5) out->group = (long)v;
        if (field == 31) out->pending = v;
    }
    return true;
}

std::string signal_short_name(int sig) {
    const char *abbrev = sigabbrev_np(sig);
    return abbrev ? abbrev : std::to_string(sig);
}

const char *signal_in_words(int sig) {
    switch (sig) {
    case SIGSEGV:
        return "it used memory it does not own (often a null pointer, or an index past the end "
               "of an array)";
    case SIGBUS:
        return "it used memory at an address that cannot be used (often a pointer to memory "
               "already freed)";
    case SIGFPE:
        return "it did arithmetic that has no answer, usually a whole-number division by zero";
    case SIGILL:
        return "it ran an instruction that does not exist (often after memory was overwritten)";
    case SIGABRT:
        return "it stopped itself because a check failed (the lines above say which)";
    case SIGKILL:
        return "it was killed from outside, perhaps by the system for using too much memory";
    case SIGPIPE:
        return "it wrote to a pipe that nobody reads any more";
    case SIGINT:
    case SIGTERM:
    case SIGHUP:
        return "it was stopped from outside (Ctrl+C, or a kill)";
    default:
        return "it was stopped by a signal";
    }
}

std::string ChildOutcome::name() const {
    switch (end) {
    case Exited:
        return "exited with status " + std::to_string(status);
    case Signalled:
        return "crashed (signal " + signal_short_name(signal) + ")";
    case TimedOut:
        return "stopped after " + std::to_string((long long)(seconds + 0.5)) + " s";
    case Interrupted:
        return "interrupted (signal " + signal_short_name(signal) + ")";
    case NotStarted:
        break;
    }
    return "not started";
}

void die_like(int sig) {
    struct rlimit no_core = {0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    fflush(nullptr);
    signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
    _exit(128 + sig);
}
