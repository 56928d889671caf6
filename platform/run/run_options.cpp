// Parsing and help text of the layer's own options.
#include "run/run_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// A whole decimal number within [low, high].
bool parse_number(const char *text, long long low, long long high, long long *value) {
    if (!*text) return false;
    errno = 0;
    char *end;
    long long v = strtoll(text, &end, 10);
    if (errno || *end || v < low || v > high) return false;
    *value = v;
    return true;
}

// Seconds since 1970 given as a number, or as YYYY-MM-DD[THH:MM[:SS]] in UTC.
bool parse_clock(const char *text, long long *seconds) {
    if (parse_number(text, 0, 253402300799LL, seconds)) return true;
    struct tm t = {};
    char rest = 0;
    int n = sscanf(text, "%4d-%2d-%2d%*1[T ]%2d:%2d:%2d%c", &t.tm_year, &t.tm_mon, &t.tm_mday,
                   &t.tm_hour, &t.tm_min, &t.tm_sec, &rest);
    if (n == 3 && strlen(text) != 10) return false;
    if (n != 3 && n != 5 && n != 6) return false;
    if (t.tm_mon < 1 || t.tm_mon > 12 || t.tm_mday < 1 || t.tm_mday > 31 || t.tm_hour > 23 ||
        t.tm_min > 59 || t.tm_sec > 60 || t.tm_year < 1970)
        return false;
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
    "                             YYYY-MM-DDTHH:MM:SS (UTC); it moves on with the run's\n"
    "                             clock, so that a program seeded from the time repeats\n"
    "  --kaplo-timeout=SECONDS    give up on a headless run after SECONDS of real time\n"
    "                             (default 300; 0: never)\n"
    "  --kaplo-scale=N            show desktop windows N times larger (1 to 8; default:\n"
    "                             the desktop's own scale)\n"
    "Any option but --kaplo-clock and --kaplo-scale implies --kaplo-headless.\n"
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
                                            "scale", "max-output"};
        bool is_known = false;
        for (const char *k : known) is_known = is_known || name == k;
        if (!is_known) {
            *error = "unknown option --kaplo-" + name;
            return -1;
        }
        bool flag = name == "help" || name == "headless";
        if (flag == has_value || (has_value && !*value)) {
            *error = flag ? "--kaplo-" + name + " takes no value"
                          : "--kaplo-" + name + " needs a value (--kaplo-" + name + "=...)";
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
        else ok = parse_number(value, 1, 8, &n), o->scale = (int)n;  // scale
        if (!ok) {
            *error = std::string("bad value for --kaplo-") + name + ": '" + value + "'";
            return -1;
        }
        if (name != "help" && name != "clock" && name != "scale") o->headless = true;
    }
    return i - 1;
}
