// Parsing and help text of the layer's own options.
#include "run/run_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// A whole decimal number within [low, high]: digits only, no sign, blank
// or anything after them.
bool parse_number(const char *text, long long low, long long high, long long *value) {
    if (!*text) return false;
    for (const char *p = text; *p; ++p)
        if (*p < '0' || *p > '9') return false;
    errno = 0;
    long long v = strtoll(text, nullptr, 10);
    if (errno || v < low || v > high) return false;
    *value = v;
    return true;
}

// Exactly `digits` decimal digits at *text, within [low, high]; moves past them.
bool take_field(const char **text, int digits, int low, int high, int *value) {
    int v = 0;
    for (int i = 0; i < digits; ++i) {
        char c = (*text)[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high) return false;
    *text += digits;
    *value = v;
    return true;
}

// Whether *text is the separator c; moves past it.
bool take_char(const char **text, char c) {
    if (**text != c) return false;
    ++*text;
    return true;
}

// Days in a month of the Gregorian calendar.
int month_days(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Seconds since 1970 given as a number, or as YYYY-MM-DD[THH:MM[:SS]] in UTC,
// a real date and time with nothing after it.
bool parse_clock(const char *text, long long *seconds) {
    if (parse_number(text, 0, 253402300799LL, seconds)) return true;
    struct tm t = {};
    const char *p = text;
    if (!take_field(&p, 4, 1970, 9999, &t.tm_year) || !take_char(&p, '-') ||
        !take_field(&p, 2, 1, 12, &t.tm_mon) || !take_char(&p, '-') ||
        !take_field(&p, 2, 1, month_days(t.tm_year, t.tm_mon), &t.tm_mday))
        return false;
    if (take_char(&p, 'T')) {
        if (!take_field(&p, 2, 0, 23, &t.tm_hour) || !take_char(&p, ':') ||
            !take_field(&p, 2, 0, 59, &t.tm_min))
            return false;
        if (take_char(&p, ':') && !take_field(&p, 2, 0, 59, &t.tm_sec)) return false;
    }
    if (*p) return false;
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    *seconds = (long long)timegm(&t);
    return true;
}

const char help_text[] =
    "Options of the KAPLO layer (they come before the program's own arguments):\n"
    "  --kaplo-help               show this text and exit\n"
    "  --kaplo-headless           run without a display, on a virtual clock\n"
    "  --kaplo-script=FILE        play FILE from the start, as if Playback Script\n"
    "                             were chosen at once; the run ends when it is played\n"
    "  --kaplo-frames=DIR         write the drawing window's frames as DIR/frame-NNNNNN.png\n"
    "                             (with DIR/frames.txt: each file and its virtual time in ms)\n"
    "  --kaplo-every=N            only every N-th frame into DIR (default 1)\n"
    "  --kaplo-last-frame=FILE    write the last frame as a PNG\n"
    "  --kaplo-gif=FILE           write the whole run as an animated GIF at its true pace\n"
    "  --kaplo-log=FILE           write the log window's lines to FILE as they are logged\n"
    "                             ('-' for standard output)\n"
    "  --kaplo-max-ms=MS          end the run after MS virtual milliseconds (default\n"
    "                             3600000, one hour)\n"
    "  --kaplo-max-frames=N       end the run after N frames (default: no limit)\n"
    "  --kaplo-max-output=MB      end the run when the transcript, the frames or the GIF\n"
    "                             grows past MB megabytes (each; default 64), with a last\n"
    "                             line saying the rest was cut\n"
    "  --kaplo-clock=TIME         the calendar time at start, as seconds since 1970 or\n"
    "                             YYYY-MM-DD[THH:MM[:SS]] (UTC); it moves on with the run's\n"
    "                             clock, so that a program seeded from the time repeats\n"
    "  --kaplo-timeout=SECONDS    give up on a headless run after SECONDS of real time\n"
    "                             (default 300; 0: never)\n"
    "  --kaplo-scale=N            show desktop windows N times larger (1 to 8; default:\n"
    "                             the desktop's own scale)\n"
    "  --kaplo-echo=WHICH         copy log lines to standard error as they are logged:\n"
    "                             'notes' (mended arguments, script messages, the\n"
    "                             program's own lines) or 'all' (drawing calls too)\n"
    "Any option but --kaplo-clock, --kaplo-scale and --kaplo-echo implies --kaplo-headless.\n"
    "Exit status: the program's own at a normal end; 2 for a bad option, script or\n"
    "output; 3 when a bound (--kaplo-max-ms, --kaplo-max-frames) ended the run; 4 when\n"
    "writing an output failed; 5 when the program did not end after its window was\n"
    "closed, or the real-time limit passed; 6 when an output reached --kaplo-max-output.\n"
    "A program that crashes, or waits for input that can never come, ends by its signal.\n"
    "After a crash or a stop, what the run wrote so far is kept as NAME.incomplete.EXT.\n"
    "On the desktop, F12 saves a PNG of the drawing window and Shift+F12 starts and\n"
    "stops recording a GIF; both go into the current folder.\n";

}  // namespace

// The help text.
const char *run_options_help() { return help_text; }

namespace {

// The lines of the help text that describe --kaplo-NAME: its own line and
// the indented lines that go on from it.
std::string usage_of(const std::string &name) {
    std::string text = help_text, start = "  --kaplo-" + name;
    size_t at = 0;
    for (;;) {
        at = text.find(start, at);
        if (at == std::string::npos) return "";
        char after = text[at + start.size()];
        if ((at == 0 || text[at - 1] == '\n') && (after == '=' || after == ' ')) break;
        at += start.size();
    }
    size_t end = text.find('\n', at);
    while (end != std::string::npos && text.compare(end + 1, 4, "    ") == 0)
        end = text.find('\n', end + 1);
    return text.substr(at, end - at);
}

}  // namespace

// Reads --kaplo-NAME[=VALUE] arguments until the first other one.
int parse_run_options(int argc, char **argv, RunOptions *o, std::string *error) {
    int i = 1;
    for (; i < argc && strncmp(argv[i], "--kaplo-", 8) == 0; ++i) {
        std::string arg = argv[i] + 8;
        size_t eq = arg.find('=');
        std::string name = arg.substr(0, eq);
        bool has_value = eq != std::string::npos;
        const char *value = has_value ? argv[i] + 8 + eq + 1 : "";
        static const char *const known[] = {"help",  "headless", "script",     "frames",
                                            "every", "last-frame", "gif",      "log",
                                            "max-ms", "max-frames", "timeout", "clock",
                                            "scale", "echo", "max-output"};
        bool is_known = false;
        for (const char *k : known) is_known = is_known || name == k;
        if (!is_known) {
            *error = "unknown option --kaplo-" + name + " (--kaplo-help lists the options)";
            return -1;
        }
        bool flag = name == "help" || name == "headless";
        if (flag == has_value || (has_value && !*value)) {
            *error = flag ? "--kaplo-" + name + " takes no value"
                          : "--kaplo-" + name + " needs a value (--kaplo-" + name + "=...)";
            *error += "; usage:\n" + usage_of(name);
            return -1;
        }
        long long n = 0;
        bool ok = true;
        if (name == "help") o->help = true;
        else if (name == "headless") o->headless = true;
        else if (name == "script") o->script = value;
        else if (name == "frames") o->frames_dir = value;
        else if (name == "every") ok = parse_number(value, 1, 1000000000, &n), o->every = (long)n;
        else if (name == "last-frame") o->last_frame = value;
        else if (name == "gif") o->gif = value;
        else if (name == "log") o->log = value;
        else if (name == "max-ms") ok = parse_number(value, 1, 1LL << 50, &o->max_ms);
        else if (name == "max-frames") ok = parse_number(value, 1, 1LL << 50, &o->max_frames);
        else if (name == "max-output") ok = parse_number(value, 1, 1LL << 30, &o->max_output_mb);
        else if (name == "timeout") ok = parse_number(value, 0, 1LL << 30, &o->timeout_s);
        else if (name == "clock") ok = parse_clock(value, &o->clock), o->clock_set = true;
        else if (name == "echo") ok = !strcmp(value, "notes") || !strcmp(value, "all"), o->echo = value;
        else ok = parse_number(value, 1, 8, &n), o->scale = (int)n;  // scale
        if (!ok) {
            *error = std::string("bad value for --kaplo-") + name + ": '" + value + "'; usage:\n" +
                     usage_of(name);
            return -1;
        }
        if (name != "help" && name != "clock" && name != "scale" && name != "echo") o->headless = true;
    }
    return i - 1;
}
