// Submissions found and built. A build is one compiler command (C and C++
// sources together, each compiled as its kind), run from the copy of the
// sources so that messages name the files as the learner does.
#include "build.h"

#include <sys/wait.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "files.h"

namespace grade {

namespace {

bool is_source(const std::string &name) {
    for (const char *ext : {".c", ".cpp", ".cc", ".cxx"}) {
        size_t n = strlen(ext);
        if (name.size() > n && name.compare(name.size() - n, n, ext) == 0) return true;
    }
    return false;
}

bool is_c(const std::string &name) { return name.size() > 2 && name.compare(name.size() - 2, 2, ".c") == 0; }

// A file no bigger than this is copied with a submission; a larger one is
// left out (a learner's folder with a video in it still builds).
constexpr long long kLargestFile = 16 << 20;

// Splits pkg-config's output at blanks; "\ " is a blank within a word.
std::vector<std::string> split_flags(const std::string &text) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            word += text[++i];
            in_word = true;
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (in_word) words.push_back(word);
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word) words.push_back(word);
    return words;
}

// Runs pkg-config with the package's own .pc file first; its output, or false.
bool pkg_config(const std::string &prefix, const char *what, std::string *out) {
    std::string command = "PKG_CONFIG_LIBDIR='" + prefix + "/lib/pkgconfig' pkg-config " + what + " kaplo 2>&1";
    FILE *p = popen(command.c_str(), "r");
    if (!p) return false;
    char buffer[4096];
    size_t n;
    out->clear();
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out->append(buffer, n);
    return pclose(p) == 0;
}

}  // namespace

Submission submission_of(const std::string &path) {
    Submission s;
    s.path = path;
    std::string base = base_name(path);
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        s.name = base;
        s.problem = "cannot be read: " + std::string(strerror(errno));
        return s;
    }
    if (S_ISDIR(st.st_mode)) {
        s.name = base;
        std::vector<std::string> names;
        if (DIR *d = opendir(path.c_str())) {
            while (dirent *e = readdir(d)) {
                std::string n = e->d_name;
                // lstat: a link among a learner's files could name a file of the
                // teacher's, which the grader would copy into the sandbox.
                struct stat fs;
                if (n[0] == '.' || lstat((path + "/" + n).c_str(), &fs) != 0 || !S_ISREG(fs.st_mode) ||
                    fs.st_size > kLargestFile)
                    continue;
                names.push_back(n);
            }
            closedir(d);
        }
        std::sort(names.begin(), names.end());
        for (const std::string &n : names) {
            s.files.push_back(path + "/" + n);
            if (is_source(n)) s.sources.push_back(n);
        }
        if (s.sources.empty()) s.problem = "the folder holds no C or C++ source (.c, .cpp, .cc, .cxx)";
        return s;
    }
    size_t dot = base.rfind('.');
    s.name = dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
    if (!is_source(base)) {
        s.name = base;
        s.problem = "not a C or C++ source (.c, .cpp, .cc, .cxx)";
    } else if (st.st_size > kLargestFile) {
        s.problem = "the file is larger than 16 MB";
    } else {
        s.files.push_back(path);
        s.sources.push_back(base);
    }
    return s;
}

bool list_submissions(const std::string &folder, std::vector<Submission> *out, std::string *error) {
    DIR *d = opendir(folder.c_str());
    if (!d) {
        *error = "cannot read the folder of submissions " + folder + ": " + strerror(errno);
        return false;
    }
    std::vector<std::string> names;
    while (dirent *e = readdir(d)) {
        if (e->d_name[0] != '.') names.push_back(e->d_name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string &n : names) out->push_back(submission_of(folder + "/" + n));
    if (out->empty()) {
        *error = "the folder of submissions " + folder + " is empty: put each learner's program in it, " +
                 "as a C or C++ file or a folder of them";
        return false;
    }
    return true;
}

bool find_package(const std::string &prefix, Package *package, std::string *error) {
    std::string cflags, libs;
    if (!pkg_config(prefix, "--cflags", &cflags) || !pkg_config(prefix, "--libs", &libs)) {
        *error = "cannot find the KAPLO package in " + prefix + " (pkg-config: " + cflags + libs + ")";
        return false;
    }
    package->prefix = prefix;
    package->cflags = split_flags(cflags);
    package->libs = split_flags(libs);
    return true;
}

std::string first_build_error(const std::string &output) {
    if (output.find("undefined reference to `WinMain'") != std::string::npos)
        return "it has no WinMain: a KAPLO program starts in WinMain, not in main";
    if (output.find("multiple definition of `WinMain'") != std::string::npos)
        return "WinMain is defined more than once: a program has one";
    size_t at = 0;
    std::string fallback;
    while (at < output.size()) {
        size_t end = output.find('\n', at);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(at, end - at);
        at = end + 1;
        if (line.find("error:") != std::string::npos || line.find("undefined reference") != std::string::npos)
            return shortened(line);
        if (fallback.empty() && !line.empty() && line.find("In function") == std::string::npos)
            fallback = line;
    }
    return shortened(fallback);
}

Build build_submission(const Submission &submission, const std::string &work, const Package &package,
                       const SandboxMode &mode, const Task &task, int slot) {
    Build b;
    std::string src = work + "/src", error;
    if (!make_folders(src, &error) || !sandbox_prepare_folder(work, &error, slot)) {
        b.detail = error;
        return b;
    }
    for (const std::string &f : submission.files) {
        if (!copy_file(f, src + "/" + base_name(f), &error)) {
            b.detail = error;
            return b;
        }
    }
    if (!sandbox_prepare_folder(src, &error, slot)) {
        b.detail = error;
        return b;
    }
    b.program = work + "/program";
    SandboxJob job;
    job.cwd = src;
    job.slot = slot;
    job.writable = {work};
    job.readable = {package.prefix};
    job.argv = {"/usr/bin/c++", "-fdiagnostics-color=never", "-o", b.program};
    for (const std::string &s : submission.sources) {
        job.argv.push_back("-x");
        job.argv.push_back(is_c(s) ? "c" : "c++");
        job.argv.push_back(s);
    }
    job.argv.push_back("-x");
    job.argv.push_back("none");
    job.argv.insert(job.argv.end(), package.cflags.begin(), package.cflags.end());
    job.argv.insert(job.argv.end(), package.libs.begin(), package.libs.end());
    // gold links the package's static libraries in a third of the time.
    if (access("/usr/bin/ld.gold", X_OK) == 0) job.argv.push_back("-fuse-ld=gold");
    SandboxLimits limits;
    limits.seconds = task.build_seconds;
    limits.memory_bytes = task.memory_mb << 20;
    limits.processes = 16;
    SandboxRun ran = sandbox_run(mode, job, limits);
    b.seconds = ran.seconds;
    if (!ran.started) {
        b.detail = "the compiler could not start: " + ran.error;
    } else if (ran.timed_out) {
        b.detail = "the build took longer than " + std::to_string((int)task.build_seconds) + " s";
    } else if (!WIFEXITED(ran.wait_status) || WEXITSTATUS(ran.wait_status) != 0) {
        b.detail = first_build_error(ran.output);
        if (b.detail.empty()) b.detail = "the compiler failed without saying why";
    } else {
        b.ok = true;
    }
    return b;
}

}  // namespace grade
