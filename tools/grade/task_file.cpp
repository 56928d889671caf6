// Reading a task file, and the settings it shares with the grader's options.
#include "task_file.h"

#include <cerrno>
#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace grade {

namespace {

// The text without blanks at either end.
std::string trimmed(const std::string &s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// A whole number in [low, high]; false for anything else.
bool whole_number(const std::string &text, long long low, long long high, long long *out) {
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    long long v = strtoll(text.c_str(), &end, 10);
    if (errno || *end || v < low || v > high) return false;
    *out = v;
    return true;
}

// A number of seconds (a fraction allowed) in (0, high].
bool seconds(const std::string &text, double high, double *out) {
    if (text.empty()) return false;
    char *end = nullptr;
    double v = strtod(text.c_str(), &end);
    if (*end || !std::isfinite(v) || v <= 0 || v > high) return false;
    *out = v;
    return true;
}

}  // namespace

std::string absolute_from(const std::string &base_dir, const std::string &path) {
    if (path.empty() || path[0] == '/' || base_dir.empty()) return path;
    return base_dir + "/" + path;
}

const char *task_settings_help() {
    return "  script FILE         a script to run every program on (may repeat; at least one)\n"
           "  checkpoint WHICH    the frames compared: last (the default), every, or a frame's\n"
           "                      number (may repeat: checkpoint 10, checkpoint 20)\n"
           "  distance N          how far (0 to 255) a pixel's red, green or blue may be from\n"
           "                      the solution's and still count as the same (default 0)\n"
           "  pixels P%           the share of pixels that may differ and still pass (default 0%)\n"
           "  ignore X Y W H      a rectangle of the frame left out of the comparison, from its\n"
           "                      top-left corner, menu bar included (may repeat)\n"
           "  transcript HOW      explain (the default: the log's first differing line explains a\n"
           "                      difference) or match (a differing log alone fails the run)\n"
           "  clock TIME          the calendar time every run starts at (default 2024-09-01T09:00:00)\n"
           "  max-ms MS           virtual milliseconds a run may take (default 600000)\n"
           "  max-frames N        frames a run may draw (default: no bound)\n"
           "  time SECONDS        real seconds a run may take (default 20)\n"
           "  build-time SECONDS  real seconds a build may take (default 60)\n"
           "  memory MB           memory a build or a run may use (default 1024)\n"
           "  expected FOLDER     the solution's frames, made by 'expect', for 'check'\n"
           "  title TEXT          the task's name in the report\n";
}

bool apply_setting(Task *task, const std::string &key, const std::string &raw, const std::string &base_dir,
                   std::string *error) {
    std::string value = trimmed(raw);
    long long n = 0;
    auto bad = [&](const std::string &what) {
        *error = "'" + key + " " + value + "': " + what;
        return false;
    };
    if (key == "script") {
        if (value.empty()) return bad("a script's file name is missing");
        task->scripts.push_back(absolute_from(base_dir, value));
    } else if (key == "checkpoint") {
        if (value == "last" || value == "every") {
            task->checkpoints.kind = value == "last" ? Checkpoints::Last : Checkpoints::Every;
            task->checkpoints.frames.clear();
        } else if (whole_number(value, 1, 100000000, &n)) {
            if (task->checkpoints.kind != Checkpoints::Numbered) task->checkpoints.frames.clear();
            task->checkpoints.kind = Checkpoints::Numbered;
            auto &f = task->checkpoints.frames;
            auto at = std::lower_bound(f.begin(), f.end(), (int)n);
            if (at == f.end() || *at != n) f.insert(at, (int)n);
        } else {
            return bad("give last, every, or a frame's number (1 is the first frame)");
        }
    } else if (key == "distance") {
        if (!whole_number(value, 0, 255, &n)) return bad("give a whole number from 0 to 255");
        task->tolerance.colour_distance = (int)n;
    } else if (key == "pixels") {
        std::string v = value;
        if (!v.empty() && v.back() == '%') v.pop_back();
        char *end = nullptr;
        double p = v.empty() ? -1 : strtod(v.c_str(), &end);
        if (v.empty() || *end || !std::isfinite(p) || p < 0 || p > 100)
            return bad("give a share from 0% to 100%, such as 0.5%");
        task->tolerance.pixel_share = p / 100;
    } else if (key == "ignore") {
        std::istringstream in(value);
        std::string x, y, w, h, rest;
        long long v[4];
        if (!(in >> x >> y >> w >> h) || (in >> rest) || !whole_number(x, 0, 100000, &v[0]) ||
            !whole_number(y, 0, 100000, &v[1]) || !whole_number(w, 1, 100000, &v[2]) ||
            !whole_number(h, 1, 100000, &v[3]))
            return bad("give four whole numbers: x and y of the top-left corner, width and height");
        task->tolerance.ignore.push_back(Region{(int)v[0], (int)v[1], (int)v[2], (int)v[3]});
    } else if (key == "transcript") {
        if (value != "explain" && value != "match") return bad("give explain or match");
        task->transcript_must_match = value == "match";
    } else if (key == "clock") {
        if (value.empty()) return bad("give a time such as 2024-09-01T09:00:00, or seconds since 1970");
        task->clock = value;  // the program's layer checks it, and says what is wrong
    } else if (key == "max-ms") {
        if (!whole_number(value, 1, 1000000000000LL, &n)) return bad("give a whole number of milliseconds");
        task->max_ms = n;
    } else if (key == "max-frames") {
        if (!whole_number(value, 0, 1000000000, &n)) return bad("give a whole number of frames (0: no bound)");
        task->max_frames = n;
    } else if (key == "time") {
        if (!seconds(value, 86400, &task->run_seconds)) return bad("give seconds, more than 0");
    } else if (key == "build-time") {
        if (!seconds(value, 86400, &task->build_seconds)) return bad("give seconds, more than 0");
    } else if (key == "memory") {
        if (!whole_number(value, 64, 1 << 20, &n)) return bad("give megabytes, 64 or more");
        task->memory_mb = n;
    } else if (key == "expected") {
        if (value.empty()) return bad("a folder's name is missing");
        task->expected = absolute_from(base_dir, value);
    } else if (key == "title") {
        task->title = value;
    } else {
        *error = "'" + key + "' is not a setting of a task file (they are listed by --help)";
        return false;
    }
    return true;
}

bool read_task(const std::string &path, Task *task, std::string *error) {
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read the task file " + path + ": " + strerror(errno);
        return false;
    }
    size_t slash = path.rfind('/');
    std::string base = slash == std::string::npos ? "." : path.substr(0, slash);
    if (base.empty()) base = "/";
    task->file = path;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        size_t hash = line.find('#');
        // A '#' begins a comment at the start or after a blank, so that a
        // name such as "task#3.SCR" stays whole.
        while (hash != std::string::npos && hash > 0 && line[hash - 1] != ' ' && line[hash - 1] != '\t')
            hash = line.find('#', hash + 1);
        if (hash != std::string::npos) line.resize(hash);
        line = trimmed(line);
        if (line.empty()) continue;
        size_t blank = line.find_first_of(" \t");
        std::string key = line.substr(0, blank);
        std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
        std::string why;
        if (!apply_setting(task, key, value, base, &why)) {
            *error = path + ", line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    if (in.bad()) {
        *error = "cannot read the task file " + path + ": " + strerror(errno);
        return false;
    }
    return true;
}

}  // namespace grade
