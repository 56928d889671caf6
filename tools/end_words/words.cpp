// The words for how a program ended: one sentence that names what happened
// (and, for a crash, where in the learner's own source), and one hint.
#include <csignal>
#include <cstring>

#include "end_words.h"

namespace end_words {

const char no_display_message[] = "kaplo: cannot open a display";
const char unresponsive_end_message[] = "while the program was not responding: ending it";

namespace {

// The frame's file relative to the program's folder, or "" when the frame is
// not in the learner's own sources (the package, the C library, the runtime).
std::string own_file(const Frame &frame, const std::string &dir) {
    const std::string &f = frame.file;
    if (f.empty() || frame.line <= 0) return "";
    if (f[0] == '/') {
        std::string prefix = dir + "/";
        return f.compare(0, prefix.size(), prefix) == 0 ? f.substr(prefix.size()) : "";
    }
    return f.rfind("../", 0) == 0 || f.find("/../") != std::string::npos ? "" : f;
}

std::string place(const Frame &frame, const std::string &dir) {
    return "line " + std::to_string(frame.line) + " of " + own_file(frame, dir);
}

// The first frame in the learner's sources, or -1.
int first_own(const std::vector<Frame> &stack, const std::string &dir, size_t from = 0) {
    for (size_t i = from; i < stack.size(); ++i)
        if (!own_file(stack[i], dir).empty()) return (int)i;
    return -1;
}

// "calloc" for the runtime's "__interceptor_calloc".
std::string call_name(const std::string &function) {
    const std::string prefix = "__interceptor_";
    return function.rfind(prefix, 0) == 0 ? function.substr(prefix.size()) : function;
}

// "line 6 of ball.c" and what happened there; when the fault is inside a
// call the program made (strlen, say), that call is named; when the line is
// in a function of the program's own, who called it.
std::string where(const Report &r, const std::string &dir, const std::string &what) {
    int at = first_own(r.stack, dir);
    if (at < 0) return "it " + what;
    const Frame &frame = r.stack[at];
    std::string text = place(frame, dir);
    text += at > 0 ? " calls " + call_name(r.stack[0].function) + ", which " + what : " " + what;
    int caller = first_own(r.stack, dir, at + 1);
    if (caller >= 0 && frame.function != "WinMain" && frame.function != "main")
        text += " (in " + frame.function + ", called from " + place(r.stack[caller], dir) + ")";
    return text;
}

// The call by which the program's own function calls itself without end: the
// frame of the learner's sources seen most often on the stack.
const Frame *recursing(const Report &r, const std::string &dir) {
    const Frame *best = nullptr;
    int best_count = 0;
    for (const Frame &f : r.stack) {
        if (own_file(f, dir).empty()) continue;
        int count = 0;
        for (const Frame &g : r.stack) count += g.function == f.function && g.line == f.line && g.file == f.file;
        if (count > best_count) best = &f, best_count = count;
    }
    return best_count > 1 ? best : nullptr;
}

std::vector<std::string> crash(const End &e) {
    const Report &r = e.report;
    const std::string &d = e.dir;
    std::string rw = r.write ? "writes" : "reads";
    std::string crashed = e.program + " crashed: ";
    switch (r.kind) {
    case Report::NULL_ACCESS:
        return {crashed + where(r, d, r.detail.empty() ? rw + " memory through a null pointer"
                                                       : "passes a null pointer as argument " + r.detail +
                                                             " of a call that needs a real one") + ".",
                "hint: the pointer there is NULL: make it point at a variable, an array or memory "
                "from malloc before using it."};
    case Report::WILD_ACCESS:
        return {crashed + where(r, d, rw + " memory through a pointer that points nowhere it may") + ".",
                "hint: the pointer was never set, was set from a wrong index, or its memory was "
                "given back: check where it gets its value."};
    case Report::OUT_OF_BOUNDS: {
        std::string what;
        if (r.detail.find(' ') != std::string::npos) {
            // From the bounds check: "10 'int [10]'".
            std::string index = r.detail.substr(0, r.detail.find(' '));
            std::string type = r.detail.substr(r.detail.find(' ') + 1);
            std::string size = type.substr(type.rfind('[') + 1);
            size = size.substr(0, size.find(']'));
            what = "uses index " + index + " of an array of " + size + " elements (" + type +
                   "), whose indexes go from 0 to " + std::to_string(atoi(size.c_str()) - 1);
        } else {
            std::string array = r.detail.empty() ? "an array" : "the array '" + r.detail + "'";
            if (!r.detail.empty() && r.declared.line > 0 && !r.declared.file.empty())
                array += " (made at " + place(r.declared, d) + ")";
            if (r.detail.empty() && !r.origin.empty()) {
                int made = first_own(r.origin, d);
                array = "a block of memory";
                if (made >= 0) array += " (from " + call_name(r.origin[0].function) + " at " + place(r.origin[made], d) + ")";
            }
            what = rw + " past the end of " + array;
        }
        return {crashed + where(r, d, what) + ".",
                "hint: an array of N elements has the indexes 0 to N-1: look at the loop's "
                "condition (i < N, not i <= N) or at how the index is worked out."};
    }
    case Report::USE_AFTER_FREE: {
        std::string what = rw + " memory that was already given back with free";
        int freed = first_own(r.origin, d);
        if (freed >= 0) what += " (at " + place(r.origin[freed], d) + ")";
        return {crashed + where(r, d, what) + ".",
                "hint: after free the memory is no longer the program's: use it before the free, "
                "or move the free to after its last use."};
    }
    case Report::DIVISION_BY_ZERO:
        return {crashed + where(r, d, "divides by zero") + ".",
                "hint: check that the number you divide by is not 0 before dividing."};
    case Report::OVERFLOW:
        return {crashed + where(r, d, "computes " + r.detail + ", which is too large for its type "
                                          "(an int holds -2147483648 to 2147483647)") + ".",
                "hint: a number that grows (or shrinks) without end: keep it in range, for example "
                "with % or by starting it again."};
    case Report::STACK_OVERFLOW: {
        const Frame *f = recursing(r, d);
        if (f)
            return {crashed + f->function + " calls itself at " + place(*f, d) +
                        " again and again, until there was no room left for more calls.",
                    "hint: a function that calls itself needs a case in which it returns without "
                    "calling itself, and every call must come closer to that case."};
        return {crashed + where(r, d, "needs more room for its local variables than there is") + ".",
                "hint: make a very large local array static, or global."};
    }
    default:
        return {crashed + "the checks built into it found an error: " + r.summary,
                "hint: the whole report shows with --raw-report."};
    }
}

std::vector<std::string> signal_words(const End &e, int sig) {
    std::string hint = e.checks ? "hint: the checks built into the program found no line for it: the messages above may say more."
                                : "hint: build it without --no-checks to see the line where it happened.";
    const char *name = sigabbrev_np(sig);
    std::string named = std::string(" (signal ") + (name ? name : std::to_string(sig).c_str()) + ")";
    switch (sig) {
    case SIGSEGV:
        return {e.program + " crashed: it used memory it may not use" + named +
                    ", often through a null pointer, a pointer never set, or an index past the end of an array.",
                hint};
    case SIGFPE:
        return {e.program + " crashed: it divided a whole number by zero" + named + ".", hint};
    case SIGABRT:
        return {e.program + " stopped itself" + named + ": the message above says why.",
                "hint: an assert that failed, or a call the layer could not go on from, names its reason there."};
    case SIGKILL:
        return {e.program + " was killed" + named + ", often by the system when the memory ran out.",
                "hint: look for a loop that keeps asking for memory (malloc) without giving it back."};
    default:
        return {e.program + " crashed" + named + ".", hint};
    }
}

// The statuses the layer's own run uses (docs/running.md): what follows the
// program's name, and the hint.
struct LayerEnd {
    int status;
    const char *what;
    const char *hint;
};
const LayerEnd layer_ends[] = {
    {2, " did not start: an option, the script or an output named is wrong (the message above says which).",
     "bash scripts/kaplo.sh --help lists the options; docs/running.md explains them."},
    {3, "'s run reached its bound (--kaplo-max-ms or --kaplo-max-frames) and ended there; what it wrote "
        "is complete up to that point.",
     "raise the bound if the run should go on for longer."},
    {4, "'s run ended because an output could not be written (the message above names it).",
     "make room on the disk, or give the output a folder you can write to."},
    {5, " was stopped by the watchdog: it did not end in time (--kaplo-timeout), or did not end after its "
        "window was closed.",
     "a loop that never calls KAPLO_next_event never ends; if the run only needs longer, give a larger "
     "--kaplo-timeout."},
    {6, "'s run was stopped because its transcript, frames or GIF grew past the size bound "
        "(--kaplo-max-output); the file's last line says the rest was cut.",
     "a message repeated over and over usually means a loop that passes a bad argument every time: read "
     "the first lines of the log."},
};

std::vector<std::string> layer_words(const End &e) {
    for (const LayerEnd &l : layer_ends)
        if (l.status == e.status) return {e.program + l.what, std::string("hint: ") + l.hint};
    return {};
}

}  // namespace

std::vector<std::string> words(const End &e) {
    if (e.status == 0) return {};
    if (e.report.kind != Report::NONE) return crash(e);
    if (e.no_display)
        return {e.program + " could not show its windows: there is no desktop here to show them on.",
                "hint: run it in a desktop session or under xvfb-run; or without windows with a "
                "recorded script (--kaplo-script=KAPLO.SCR, see docs/running.md)."};
    if (e.status > 128) return signal_words(e, e.status - 128);
    if (e.ended_unresponsive)
        return {e.program + " was ended while it was not responding: it had stopped asking for events.",
                "hint: a loop that never calls KAPLO_next_event never lets the window answer; call it "
                "each time round the loop."};
    if (e.layer_run) {
        std::vector<std::string> w = layer_words(e);
        if (!w.empty()) return w;
    }
    return {e.program + " ended with status " + std::to_string(e.status) + ".",
            "hint: the program chose that number (return in WinMain, or exit); 0 means all went well."};
}

}  // namespace end_words
