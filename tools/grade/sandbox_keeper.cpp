// The keeper: the process between the grader and a sandboxed command. The
// grader starts its own executable again with the keeper's flag (inside
// bubblewrap when it is used), so that the keeper is a fresh single-threaded
// process. It makes itself the reaper of everything the command leaves
// (PR_SET_CHILD_SUBREAPER), starts the command in a process group of its
// own with its memory and processor-time bounds, waits for it until the
// deadline, counts the processes still running once it has ended, kills the
// whole tree, and writes what happened to the grader on a pipe.
//
//   EXE --kaplo-sandbox-keeper REPORT_FD MILLISECONDS MEMORY_BYTES -- COMMAND...
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "run/supervisor.h"
#include "sandbox.h"
#include "sandbox_report.h"

namespace grade {

const char *sandbox_keeper_flag() { return "--kaplo-sandbox-keeper"; }

namespace {

struct Proc {
    pid_t parent = 0;
    bool zombie = false;  // ended, or ending: a kill it has not yet died of is pending
};

// Every process this keeper can see, with its parent.
std::map<pid_t, Proc> processes() {
    std::map<pid_t, Proc> all;
    DIR *d = opendir("/proc");
    if (!d) return all;
    while (dirent *e = readdir(d)) {
        ProcessStat stat;
        if (!read_process_stat(e->d_name, &stat)) continue;
        bool killed = (stat.pending >> (SIGKILL - 1)) & 1;
        all[(pid_t)atol(e->d_name)] = Proc{(pid_t)stat.parent, stat.state == 'Z' || stat.state == 'X' || killed};
    }
    closedir(d);
    return all;
}

// The processes below this one (zombies too when asked).
std::vector<pid_t> descendants(bool with_zombies) {
    std::map<pid_t, Proc> all = processes();
    pid_t self = getpid();
    std::vector<pid_t> found;
    for (const auto &[pid, p] : all) {
        if (p.zombie && !with_zombies) continue;
        pid_t up = p.parent;
        for (int depth = 0; up > 1 && depth < 4096; ++depth) {
            if (up == self) {
                found.push_back(pid);
                break;
            }
            auto it = all.find(up);
            if (it == all.end()) break;
            up = it->second.parent;
        }
    }
    return found;
}

// Kills the command's group and everything below the keeper, and reaps it
// all: a process killed hands its children to the keeper, so this goes on
// until the keeper has no children left.
void kill_all(pid_t group) {
    for (;;) {
        kill(-group, SIGKILL);
        for (pid_t pid : descendants(true)) kill(pid, SIGKILL);
        int status;
        if (waitpid(-1, &status, 0) < 0 && errno == ECHILD) return;
    }
}

// Whether any process is still below the keeper (the ended ones reaped).
bool has_children() {
    int status;
    pid_t done;
    while ((done = waitpid(-1, &status, WNOHANG)) > 0) {
    }
    return done == 0;
}

void send(int fd, const KeeperReport &r) {
    ssize_t n;
    do n = write(fd, &r, sizeof r);
    while (n < 0 && errno == EINTR);
}

int keep(int argc, char **argv) {
    if (argc < 7 || strcmp(argv[5], "--") != 0) return 125;
    int report_fd = atoi(argv[2]);
    double seconds = atoll(argv[3]) / 1000.0;
    long long memory = atoll(argv[4]);
    char **command = argv + 6;
    fcntl(report_fd, F_SETFD, FD_CLOEXEC);  // the command never sees it
    KeeperReport report;
    prctl(PR_SET_CHILD_SUBREAPER, 1);

    sigset_t child_signal, old;
    sigemptyset(&child_signal);
    sigaddset(&child_signal, SIGCHLD);
    sigprocmask(SIG_BLOCK, &child_signal, &old);
    int signals = signalfd(-1, &child_signal, SFD_CLOEXEC | SFD_NONBLOCK);
    int failed[2];
    if (signals < 0 || pipe2(failed, O_CLOEXEC) != 0) {
        report.error = errno, report.stage = KeeperReport::Keeper;
        send(report_fd, report);
        return 0;
    }
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        sigprocmask(SIG_SETMASK, &old, nullptr);
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        struct rlimit memory_bound = {(rlim_t)memory, (rlim_t)memory};
        rlim_t cpu = (rlim_t)std::ceil(seconds) + 1;
        struct rlimit cpu_bound = {cpu, cpu + 1};
        setrlimit(RLIMIT_AS, &memory_bound);
        setrlimit(RLIMIT_CPU, &cpu_bound);
        execv(command[0], command);
        int e = errno;
        ssize_t ignored = write(failed[1], &e, sizeof e);
        (void)ignored;
        _exit(127);
    }
    close(failed[1]);
    if (pid < 0) {
        report.error = errno, report.stage = KeeperReport::Keeper;
        send(report_fd, report);
        return 0;
    }
    int exec_error = 0;
    if (read(failed[0], &exec_error, sizeof exec_error) == (ssize_t)sizeof exec_error) {
        waitpid(pid, nullptr, 0);
        report.error = exec_error, report.stage = KeeperReport::Command;
        send(report_fd, report);
        return 0;
    }
    report.started = 1;
    bool ended = false;
    while (!ended) {
        double left = seconds - std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (left <= 0) break;
        struct pollfd p = {signals, POLLIN, 0};
        poll(&p, 1, (int)std::ceil(left * 1000));
        signalfd_siginfo info;
        while (read(signals, &info, sizeof info) == (ssize_t)sizeof info) {
        }
        // Reap whatever ended: the command, or orphans it left that ended since.
        int status;
        pid_t done;
        while ((done = waitpid(-1, &status, WNOHANG)) > 0) {
            if (done == pid) ended = true, report.wait_status = status;
        }
    }
    if (!ended) {
        report.timed_out = 1;
        kill_all(pid);
    } else if (has_children()) {
        // Whatever the command left is now below the keeper.
        report.left_behind = (int)descendants(false).size();
        kill_all(pid);
    }
    send(report_fd, report);
    return 0;
}

// Runs before main: this executable started as a keeper does nothing else.
__attribute__((constructor)) void keeper_entry(int argc, char **argv, char **) {
    if (argc > 1 && strcmp(argv[1], sandbox_keeper_flag()) == 0) _exit(keep(argc, argv));
}

}  // namespace
}  // namespace grade
