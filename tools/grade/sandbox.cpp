// Starting a sandboxed job: the bubblewrap command line, the clean
// environment, the bounds, the user it runs as, and the wait for it from the
// grader's side. The keeper (sandbox_keeper.cpp) does the waiting inside.
//
// sandbox_run is called from several threads: everything the child needs is
// built before fork, the child makes only async-signal-safe calls until it
// execs, and every descriptor is opened close-on-exec, so that one job's
// pipe never lives on in another job's processes.
#include "sandbox.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "sandbox_report.h"

namespace grade {

namespace {

// A root grader runs each worker's commands as a user of their own, with no
// account (their files are the grader's to read and remove): a number from
// kFirstOwnUser on, made of the grader's process id and the worker, so that
// neither another worker nor another grade at the same time shares its
// bound on processes.
constexpr uid_t kFirstOwnUser = 1000000000;
constexpr const char *kOwnUserWords = "a user of its own, with no account";
// bubblewrap's own processes beside the command's (the outer one, its init, the keeper).
constexpr int kOwnProcesses = 4;
// Time the keeper has beyond the deadline to report before it is killed.
constexpr double kGraceSeconds = 3;

using Clock = std::chrono::steady_clock;

bool as_root() { return geteuid() == 0; }

// The user a job of a worker runs as.
uid_t user_of(int slot) {
    if (!as_root()) return getuid();
    return kFirstOwnUser + (uid_t)(getpid() % 1000000) * 256 + (uid_t)(slot & 255);
}

// The first folder of the PATH with the program; empty when none has it.
std::string find_program(const std::string &name) {
    const char *path = getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        size_t colon = dirs.find(':', start);
        std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string::npos) return "";
        start = colon + 1;
    }
}

// The keeper's path: this executable, or a copy of it the sandbox's users
// can reach (set before any job starts).
std::string &keeper_path() {
    static std::string path = [] {
        std::error_code e;
        return std::filesystem::read_symlink("/proc/self/exe", e).string();
    }();
    return path;
}

// How many processes a user runs now.
int processes_of(uid_t uid) {
    int n = 0;
    std::error_code e;
    for (const auto &entry : std::filesystem::directory_iterator("/proc", e)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        struct stat st;
        if (stat(entry.path().c_str(), &st) == 0 && st.st_uid == uid) ++n;
    }
    return n;
}

// The first folder above a path that other users cannot pass; empty when none.
std::string closed_above(const std::filesystem::path &path) {
    for (std::filesystem::path up = path.parent_path();; up = up.parent_path()) {
        struct stat st;
        if (stat(up.c_str(), &st) == 0 && !(st.st_mode & S_IXOTH)) return up.string();
        if (up == up.root_path() || up.empty()) return "";
    }
}

// bubblewrap's options: the system's programs and libraries read-only, a
// private /tmp, no network, its own processes, and the job's folders.
std::vector<std::string> bubblewrap_options(const SandboxJob &job, const SandboxLimits &limits) {
    std::vector<std::string> a = {"--unshare-all", "--die-with-parent", "--new-session",
                                  "--ro-bind", "/usr", "/usr"};
    // The top-level links into /usr (or folders on a system without them).
    for (const char *top : {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"}) {
        std::error_code e;
        auto status = std::filesystem::symlink_status(top, e);
        if (e) continue;
        if (std::filesystem::is_symlink(status)) {
            a.insert(a.end(), {"--symlink", std::filesystem::read_symlink(top, e).string(), top});
        } else if (std::filesystem::is_directory(status)) {
            a.insert(a.end(), {"--ro-bind", top, top});
        }
    }
    // What the compilers, fontconfig and the dynamic loader read from /etc
    // and /var (the font cache, or text would be slow).
    for (const char *etc : {"/etc/ld.so.cache", "/etc/alternatives", "/etc/fonts", "/etc/localtime",
                            "/var/cache/fontconfig"})
        a.insert(a.end(), {"--ro-bind-try", etc, etc});
    a.insert(a.end(), {"--proc", "/proc", "--dev", "/dev", "--size", std::to_string(limits.file_bytes), "--tmpfs",
                       "/tmp", "--dir", "/tmp/home"});
    a.insert(a.end(), {"--ro-bind", keeper_path(), keeper_path()});
    for (const std::string &r : job.readable) a.insert(a.end(), {"--ro-bind", r, r});
    for (const std::string &w : job.writable) a.insert(a.end(), {"--bind", w, w});
    a.insert(a.end(), {"--chdir", job.cwd});
    return a;
}

// The environment: a clean one, then the job's own on top.
std::vector<std::string> environment(const SandboxMode &mode, const SandboxJob &job) {
    std::string scratch = mode.isolated ? "/tmp/home" : !job.writable.empty() ? job.writable[0] : job.cwd;
    std::vector<std::string> env = {"PATH=/usr/local/bin:/usr/bin:/bin", "HOME=" + scratch,
                                    "TMPDIR=" + (mode.isolated ? std::string("/tmp") : scratch), "LANG=C.UTF-8"};
    for (const std::string &e : job.env) {
        std::string name = e.substr(0, e.find('=') + 1);
        bool replaced = false;
        for (std::string &have : env)
            if (have.compare(0, name.size(), name) == 0) have = e, replaced = true;
        if (!replaced) env.push_back(e);
    }
    return env;
}

std::vector<char *> pointers(std::vector<std::string> &strings) {
    std::vector<char *> p;
    for (std::string &s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// In the child, before exec: tells the grader what failed and ends.
[[noreturn]] void fail_in_child(int report_fd, KeeperReport::Stage stage) {
    KeeperReport r;
    r.error = errno;
    r.stage = stage;
    ssize_t ignored = write(report_fd, &r, sizeof r);
    (void)ignored;
    _exit(127);
}

// Everything the child does between fork and exec (async-signal-safe only).
[[noreturn]] void child(pid_t parent, int in_fd, int out_fd, int report_fd, const char *dir, const rlimit *bounds,
                        uid_t user, const char *program, char *const argv[], char *const envp[]) {
    setsid();  // a group of its own, and no terminal to type into
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    // The report goes to descriptor 3, kept open across exec; all others close.
    if (report_fd == 3) fcntl(3, F_SETFD, 0);
    if (dup2(in_fd, 0) < 0 || dup2(out_fd, 1) < 0 || dup2(out_fd, 2) < 0 || (report_fd != 3 && dup2(report_fd, 3) < 0))
        fail_in_child(report_fd, KeeperReport::Setup);
    syscall(SYS_close_range, 4u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */);
    setrlimit(RLIMIT_CORE, &bounds[0]);
    setrlimit(RLIMIT_FSIZE, &bounds[1]);
    setrlimit(RLIMIT_NPROC, &bounds[2]);
    if (chdir(dir) != 0) fail_in_child(3, KeeperReport::Setup);
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(user) != 0 || setuid(user) != 0))
        fail_in_child(3, KeeperReport::Setup);
    execve(program, argv, envp);
    fail_in_child(3, KeeperReport::Launch);
}

// Reads what a descriptor has; false at its end.
bool drain(int fd, std::string *into, size_t keep, bool *cut) {
    char buffer[16384];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) return errno == EINTR || errno == EAGAIN;
    if (n == 0) return false;
    size_t room = into->size() < keep ? keep - into->size() : 0;
    into->append(buffer, std::min(room, (size_t)n));
    if ((size_t)n > room && cut) *cut = true;
    return true;
}

std::string error_words(const KeeperReport &r, const SandboxJob &job, const std::string &launched) {
    std::string why = strerror(r.error);
    switch (r.stage) {
    case KeeperReport::Setup:
        return "cannot prepare the run in " + job.cwd + ": " + why;
    case KeeperReport::Launch:
        return "cannot start the sandbox (" + launched + "): " + why;
    case KeeperReport::Keeper:
        return "cannot start the sandbox: " + why;
    default:
        return "cannot start " + job.argv[0] + ": " + why;
    }
}

}  // namespace

SandboxRun sandbox_run(const SandboxMode &mode, const SandboxJob &job, const SandboxLimits &limits) {
    SandboxRun run;
    if (job.argv.empty() || job.argv[0].empty() || job.argv[0][0] != '/' || job.cwd.empty() || job.cwd[0] != '/') {
        run.error = "the command and its folder must be given as absolute paths";
        return run;
    }
    static const std::string bubblewrap = find_program("bwrap");
    if (mode.isolated && bubblewrap.empty()) {
        run.error = "bubblewrap is not installed";
        return run;
    }
    // The whole command line: [bwrap OPTIONS] KEEPER FLAG 3 MILLISECONDS MEMORY -- COMMAND...
    std::vector<std::string> args;
    if (mode.isolated) {
        args.push_back(bubblewrap);
        for (std::string &o : bubblewrap_options(job, limits)) args.push_back(std::move(o));
        args.push_back("--");
    }
    args.insert(args.end(), {keeper_path(), sandbox_keeper_flag(), "3", std::to_string(std::llround(limits.seconds * 1000)),
                             std::to_string(limits.memory_bytes), "--"});
    args.insert(args.end(), job.argv.begin(), job.argv.end());
    std::vector<std::string> env = environment(mode, job);
    std::vector<char *> argv = pointers(args), envp = pointers(env);
    const char *dir = mode.isolated ? "/" : job.cwd.c_str();
    uid_t user = user_of(job.slot);
    rlim_t processes = (rlim_t)(processes_of(user) + limits.processes + kOwnProcesses);
    const rlimit bounds[3] = {{0, 0}, {(rlim_t)limits.file_bytes, (rlim_t)limits.file_bytes}, {processes, processes}};

    int out[2], report[2];
    int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (in < 0 || pipe2(out, O_CLOEXEC) != 0) {
        run.error = std::string("cannot start: ") + strerror(errno);
        if (in >= 0) close(in);
        return run;
    }
    if (pipe2(report, O_CLOEXEC) != 0) {
        run.error = std::string("cannot start: ") + strerror(errno);
        close(in), close(out[0]), close(out[1]);
        return run;
    }
    Clock::time_point start = Clock::now();
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) child(parent, in, out[1], report[1], dir, bounds, user, argv[0], argv.data(), envp.data());
    close(in), close(out[1]), close(report[1]);
    if (pid < 0) {
        run.error = std::string("cannot start: ") + strerror(errno);
        close(out[0]), close(report[0]);
        return run;
    }

    // Output and the report until both end; past the deadline (and the
    // keeper's grace) the whole group is killed and what is there is kept.
    std::string said;
    bool out_open = true, report_open = true, killed = false;
    Clock::time_point deadline = start + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(limits.seconds + kGraceSeconds));
    while (out_open || report_open) {
        double left = std::chrono::duration<double>(deadline - Clock::now()).count();
        if (left <= 0) {
            if (killed) break;  // something outside the group holds the pipe; leave it
            kill(-pid, SIGKILL);
            run.timed_out = killed = true;
            deadline = Clock::now() + std::chrono::seconds(1);
            continue;
        }
        struct pollfd p[2] = {{out_open ? out[0] : -1, POLLIN, 0}, {report_open ? report[0] : -1, POLLIN, 0}};
        if (poll(p, 2, (int)std::ceil(left * 1000)) < 0 && errno != EINTR) break;
        if (p[0].revents && !drain(out[0], &run.output, (size_t)limits.output_bytes, &run.output_cut)) out_open = false;
        if (p[1].revents && !drain(report[0], &said, sizeof(KeeperReport), nullptr)) report_open = false;
    }
    close(out[0]), close(report[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();

    KeeperReport r;
    if (said.size() == sizeof r) memcpy(&r, said.data(), sizeof r);
    if (r.started) {
        run.started = true;
        run.wait_status = r.wait_status;
        run.timed_out = run.timed_out || r.timed_out;
        run.left_behind = r.left_behind;
    } else if (r.stage != KeeperReport::None) {
        run.error = error_words(r, job, args[0]);
    } else if (run.timed_out) {
        run.error = "the sandbox did not start within " + std::to_string(std::llround(limits.seconds)) + " s";
    } else {
        // bubblewrap itself refused (its message is in the output), or the
        // keeper died before it could report.
        std::string first = run.output.substr(0, run.output.find('\n'));
        run.error = first.empty() ? "the sandbox ended before the command started" : first;
    }
    return run;
}

bool sandbox_prepare_folder(const std::string &path, std::string *error, int slot) {
    std::error_code e;
    if (!std::filesystem::is_directory(path, e)) {
        *error = "cannot use " + path + ": it is not a folder";
        return false;
    }
    if (!as_root()) return true;  // the commands run as the grader's own user
    std::filesystem::path absolute = std::filesystem::absolute(path, e);
    std::string closed = closed_above(absolute);
    if (!closed.empty()) {
        *error = std::string("the sandbox's users (") + kOwnUserWords + " each) cannot reach " + path + ": " + closed +
                 " is closed to other users; grade in a folder that is not inside it";
        return false;
    }
    auto own = [&](const std::filesystem::path &p) {
        if (lchown(p.c_str(), user_of(slot), user_of(slot)) != 0) {
            *error = "cannot hand " + p.string() + " to the sandbox's user: " + strerror(errno);
            return false;
        }
        return true;
    };
    if (!own(absolute)) return false;
    for (auto it = std::filesystem::recursive_directory_iterator(absolute, e);
         it != std::filesystem::recursive_directory_iterator(); it.increment(e)) {
        if (e || !own(it->path())) {
            if (e) *error = "cannot hand " + path + " to the sandbox's user: " + e.message();
            return false;
        }
    }
    return true;
}

std::string sandbox_reachable(const std::string &path, const std::string &stage, std::string *error) {
    if (!as_root() || closed_above(std::filesystem::absolute(path)).empty()) return path;
    std::string copy = stage + "/" + std::filesystem::path(path).filename().string();
    std::error_code e;
    std::filesystem::remove_all(copy, e);
    std::filesystem::copy(path, copy, std::filesystem::copy_options::recursive, e);
    if (e) {
        *error = "cannot copy " + path + " where the sandbox's users can reach it: " + e.message();
        return "";
    }
    return copy;
}

bool sandbox_stage_keeper(const std::string &stage, std::string *error) {
    std::string keeper = sandbox_reachable(keeper_path(), stage, error);
    if (keeper.empty()) return false;
    keeper_path() = keeper;
    return true;
}

SandboxMode sandbox_probe(bool wanted) {
    SandboxMode mode;
    std::string who = as_root() ? std::string(" (") + kOwnUserWords + ")" : std::string();
    std::string bounds = "runs are bounded in time, memory and processes only: a program can read and write what "
                         "its user" + who + " can";
    if (!wanted) {
        mode.words = "the sandbox was turned off (--no-sandbox); " + bounds;
        return mode;
    }
    // Each job starts this program again as the sandbox's user.
    std::string closed = as_root() ? closed_above(keeper_path()) : "";
    if (!closed.empty()) {
        mode.words = "no build or run can start: the sandbox's users cannot reach " +
                     keeper_path() + " (" + closed + " is closed to other users); install the grader, or build it "
                     "in a folder others can read";
        return mode;
    }
    std::string bubblewrap = find_program("bwrap"), truth = find_program("true");
    if (bubblewrap.empty()) {
        mode.words = "bubblewrap is not installed (Debian's package bubblewrap); " + bounds;
        return mode;
    }
    SandboxLimits quick;
    quick.seconds = 10;
    SandboxJob version{{bubblewrap, "--version"}, "/", {}, {}, {}};
    SandboxRun v = sandbox_run(mode, version, quick);
    std::string name = v.output.substr(0, v.output.find('\n'));
    if (name.empty()) name = "bubblewrap";

    SandboxMode trial{true, ""};
    SandboxRun t = sandbox_run(trial, SandboxJob{{truth.empty() ? "/bin/true" : truth}, "/", {}, {}, {}}, quick);
    if (t.started && WIFEXITED(t.wait_status) && WEXITSTATUS(t.wait_status) == 0) {
        mode.isolated = true;
        mode.words = "each build and run in " + name +
                     ": no network, its own processes, nothing writable but its own folder and a private /tmp, "
                     "bounded in time, memory and processes" +
                     (as_root() ? std::string(", each job as ") + kOwnUserWords : std::string());
        return mode;
    }
    std::string why = !t.error.empty() ? t.error : t.output.substr(0, t.output.find('\n'));
    if (why.rfind("bwrap: ", 0) == 0) why = why.substr(7);
    mode.words = "bubblewrap could not start here: " + why + "; " + bounds;
    return mode;
}

}  // namespace grade
