// The watcher's side of a headless run. The program runs in a child process
// (run/scripted_run.cpp); this process places the script before and removes
// it after, enforces the real-time limit, and after any end that was not the
// run's own clears away the child's temporary files and keeps what it wrote
// so far under names that say so: the transcript and the frames index up to
// the fault, the GIF up to its last whole frame, and the last frame drawn.
// Then it says, in words, how the run ended, and whether the program left
// processes running.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <vector>

#include "capture/output_file.h"
#include "run/run_words.h"
#include "run/scripted_run.h"
#include "run/supervisor.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

constexpr const char *kScriptName = "KAPLO.SCR";

// Reads a whole file; false with errno set when it cannot.
bool read_file(const std::string &path, std::string *content) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) return false;
    *content = s.str();
    return true;
}

// Puts the script where the program's playback reads it; *copied holds its
// content when the copy is ours to remove afterwards.
bool place_script(const std::string &script, std::string *copied, std::string *error) {
    std::string content, existing;
    if (!read_file(script, &content)) {
        *error = "cannot read the script " + script + ": " + strerror(errno);
        return false;
    }
    if (read_file(kScriptName, &existing)) {
        if (existing == content) return true;
        *error = std::string("the working folder already has a different ") + kScriptName +
                 ", which playing " + script + " would replace; run from another folder";
        return false;
    }
    OutputFile out;
    if (!out.open(kScriptName, error)) return false;
    fwrite(content.data(), 1, content.size(), out.stream());
    if (!out.commit(error)) return false;
    *copied = content;
    return true;
}

// Whether a file is there.
bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

// Adds a last line to a text file.
void append_line(const std::string &path, const std::string &line) {
    if (FILE *f = fopen(path.c_str(), "ab")) {
        fprintf(f, "%s\n", line.c_str());
        fclose(f);
    }
}

// Removes the temporary files the child left in a folder.
void remove_parts_in(const std::string &dir, long pid) {
    std::string suffix = capture_temp_name("", pid);
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            std::string name = e->d_name;
            if (name.size() > suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                unlink((dir + "/" + name).c_str());
        }
        closedir(d);
    }
}

// Keeps a text output the child was writing: its temporary file, with a line
// saying where the run ended, under the incomplete name.
void keep_text(const std::string &path, long pid, const std::string &end_line,
               std::vector<std::string> *kept) {
    std::string part = capture_temp_name(path, pid);
    if (!exists(part)) return;
    append_line(part, end_line);
    if (rename(part.c_str(), incomplete_name(path).c_str()) == 0) kept->push_back(incomplete_name(path));
    else unlink(part.c_str());
}

// Keeps the GIF up to its last whole frame, ended with the trailer byte.
void keep_gif(const std::string &path, long pid, long long whole_bytes, std::vector<std::string> *kept) {
    std::string part = capture_temp_name(path, pid);
    if (!exists(part)) return;
    bool ok = whole_bytes > 0 && truncate(part.c_str(), whole_bytes) == 0;
    if (ok) {
        FILE *f = fopen(part.c_str(), "ab");
        ok = f && fputc(0x3B, f) != EOF;
        if (f) ok = fclose(f) == 0 && ok;
    }
    if (ok && rename(part.c_str(), incomplete_name(path).c_str()) == 0) kept->push_back(incomplete_name(path));
    else unlink(part.c_str());
}

// Clears up after the child: its temporary files go; after a failed run, what
// it wrote so far is kept under incomplete names (listed in *kept), and
// after a whole run such names left by an earlier failed one go.
void clean_up(const RunOptions &o, const RunBeacon &b, long pid, bool failed, const std::string &end_line,
              std::vector<std::string> *kept) {
    std::vector<std::string> files;
    if (!o.log.empty() && o.log != "-") files.push_back(o.log);
    if (!o.frames_dir.empty()) files.push_back(o.frames_dir + "/frames.txt");
    if (!o.gif.empty()) files.push_back(o.gif);
    if (!o.last_frame.empty()) files.push_back(o.last_frame);
    if (failed) {
        for (const std::string &f : files) {
            if (f == o.gif) keep_gif(f, pid, b.gif_whole_bytes, kept);
            else if (f != o.last_frame) keep_text(f, pid, end_line, kept);
        }
        int slot = b.frame_slot;
        std::string error;
        if (!o.last_frame.empty() && slot >= 0 &&
            capture_write_png(incomplete_name(o.last_frame), b.frame_pixels[slot], b.frame_width[slot],
                              b.frame_height[slot], &error))
            kept->push_back(incomplete_name(o.last_frame));
    } else {
        for (const std::string &f : files) unlink(incomplete_name(f).c_str());
    }
    for (const std::string &f : files) unlink(capture_temp_name(f, pid).c_str());
    if (!o.frames_dir.empty()) remove_parts_in(o.frames_dir, pid);
}

// "a, b and c".
std::string listing(const std::vector<std::string> &names) {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i) out += i + 1 == names.size() ? " and " : ", ";
        out += names[i];
    }
    return out;
}

}  // namespace

// "run.log" -> "run.incomplete.log"; "frames/out" -> "frames/out.incomplete".
std::string incomplete_name(const std::string &path) {
    size_t slash = path.rfind('/');
    size_t base = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= base) return path + ".incomplete";
    return path.substr(0, dot) + ".incomplete" + path.substr(dot);
}

// Places the script, runs the program in a watched child and ends as it did.
int run_headless_watched(const RunOptions &o, HINSTANCE instance, char *command_line,
                         PlatformWinMain win_main) {
    std::string error, copied;
    if (!o.script.empty() && !place_script(o.script, &copied, &error)) {
        fputs(run_words(error + "; nothing was run.", "Check the script's name, or run in another folder.").c_str(),
              stderr);
        return RUN_BAD_INPUT;
    }
    Supervisor supervisor(sizeof(RunBeacon));
    RunBeacon *beacon = supervisor.payload() ? new (supervisor.payload()) RunBeacon : nullptr;
    ChildOutcome outcome;
    if (beacon) {
        beacon->reset();
        SupervisorLimits limits;
        limits.timeout_s = o.timeout_s;
        outcome = supervisor.run(limits, [&] {
            int status = run_headless(o, instance, command_line, win_main, beacon);
#if defined(__SANITIZE_ADDRESS__)
            __lsan_do_leak_check();  // while the layer's tables still hold what the program left
#endif
            return status;
        });
    }
    if (outcome.end == ChildOutcome::NotStarted) {
        if (!copied.empty()) remove(kScriptName);
        fputs(run_words(outcome.error.empty() ? "cannot share memory with the program" : outcome.error,
                        "The machine is short of memory or processes; try again.")
                  .c_str(),
              stderr);
        return RUN_BAD_INPUT;
    }
    bool finished = beacon->finished && outcome.end == ChildOutcome::Exited;
    std::string words = beacon->words, end_line;
    int status = outcome.status;
    switch (outcome.end) {
    case ChildOutcome::Signalled:
        if (outcome.signal == SIGABRT && beacon->waits_forever) {
            words = words_waits_forever();
            end_line = "waited for an event that can never come";
        } else {
            words = words_crash(outcome.signal);
            end_line = "crashed (signal " + signal_short_name(outcome.signal) + ")";
        }
        break;
    case ChildOutcome::TimedOut:
        words = words_timeout(o.timeout_s, outcome.quiet_seconds, outcome.heartbeat_seen);
        end_line = "stopped by --kaplo-timeout after " + count_of(o.timeout_s, "second");
        status = RUN_STUCK;
        break;
    case ChildOutcome::Interrupted:
        words = words_interrupted(outcome.signal);
        end_line = "interrupted (signal " + signal_short_name(outcome.signal) + ")";
        break;
    default:
        if (finished) break;
        if (beacon->gave_up) {
            end_line = "did not end after its window was closed";
        } else {
            words = words_abrupt(outcome.status);
            end_line = "stopped abruptly (exit status " + std::to_string(outcome.status) + ")";
        }
        break;
    }
    std::vector<std::string> kept;
    clean_up(o, *beacon, supervisor.child_pid(), !finished, "[the run ended here: the program " + end_line + "]",
             &kept);
    // Our copy of the script goes, unless the program has written its own.
    std::string now;
    if (!copied.empty() && read_file(kScriptName, &now) && now == copied) remove(kScriptName);
    if (!kept.empty()) words += "kaplo: what the run wrote until then is kept in " + listing(kept) + ".\n";
    if (outcome.left_behind > 0) words += words_left_processes(outcome.left_behind);
    fputs(words.c_str(), stderr);
    if (outcome.end == ChildOutcome::Signalled || outcome.end == ChildOutcome::Interrupted)
        die_like(outcome.signal);
    return status;
}
