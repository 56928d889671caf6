// Runs one example program (its WinMain, linked in place of the layer's main)
// on the headless backend with a bounded plan of input, takes the pictures
// the plan asks for, and checks that the program ended cleanly:
//
//   example_NAME_headless [--out DIR] STEP...
//
//   click:X,Y     a left click at package point (X, Y)
//   type:TEXT     typed characters; \r is Enter, \b Backspace, \e Escape
//   ctrl:L        Ctrl and a letter: a command of the "&Run" menu
//   wait:MS       let MS milliseconds of the virtual clock pass
//   menu          open the "&Run" menu
//   picture:NAME  the client area into DIR/NAME.png; fails when nothing is drawn
//   golden:NAME   fails unless the client area is tests/data/golden/NAME.png
//                 pixel for pixel (KAPLO_UPDATE_GOLDEN=1 rewrites that file)
//   window:NAME   the whole drawing window, menu bar (and open menu) included
//   log:NAME      the log window
//   close         a click on the close box (added as the last step when the
//                 plan ends otherwise)
//   ends          the program is to end now by itself, with no further input
//
// Exit status 0 when WinMain took KAPLO_QUIT and returned 0 after the last
// step, left no pen, brush, font, bitmap or device context behind, and no
// log line reported a mended argument or a script problem.
//
// The program is linked with --wrap for KAPLO_log, KAPLO_next_event and
// time: the first two are watched, and time() follows the virtual clock from
// a fixed moment, so that every run (and every picture) is the same.
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "package.h"
#include "picture.h"
#include "platform_tools.h"

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// Idle calls allowed in all, and after the last step, before the run counts as hung.
const long kMaxIdleCalls = 20000;
const int kMaxIdleAfterEnd = 200;
// What time() says at the start: 1 January 2025, 10:09:35 UTC.
const time_t kStartTime = 1735726175;

struct Step {
    std::string verb;
    std::string argument;
};

// Events the program took, by kind (index 0 for anything else).
long delivered[5];
// Log lines that reported a problem.
int problem_lines;

// The plan and how far it has come.
struct Driver {
    std::vector<Step> steps;
    size_t next = 0;
    std::string out;  // folder for pictures; empty: take none
    HWND window = nullptr;
    PlatformCounts start = {};
    long idle_calls = 0;
    int idle_after_end = 0;
    bool finished = false;  // the last step was made
    DWORD wait_until = 0;
    int failures = 0;

    // Reports a failure of the run.
    void fail(const char *what, const std::string &detail) {
        fprintf(stderr, "example driver: %s%s\n", what, detail.c_str());
        failures++;
    }

    // The file for a picture, or "" when pictures are not kept.
    std::string path_for(const std::string &name) const {
        return out.empty() ? std::string() : out + "/" + name + ".png";
    }

    // Makes a step that needs no reaction of the program; false for any other.
    bool make_passive(const Step &s) {
        if (s.verb == "picture") {
            if (client_area_blank()) fail("nothing is drawn for picture ", s.argument);
            std::string path = path_for(s.argument);
            if (!path.empty() && !save_client_area(path.c_str())) failures++;
        } else if (s.verb == "golden") {
            if (!client_area_matches((std::string(KAPLO_GOLDEN_DIR) + "/" + s.argument + ".png").c_str()))
                fail("the client area is not the golden picture ", s.argument);
        } else if (s.verb == "window" || s.verb == "log") {
            HWND target = s.verb == "window" ? window : package_state.text_window;
            std::string path = path_for(s.argument);
            if (!path.empty() && !headless_save_png(target, path.c_str())) fail("cannot write ", path);
        } else if (s.verb == "ends") {
            finished = true;
        } else {
            return false;
        }
        return true;
    }

    // Injects the input of a step.
    void make_input(const Step &s) {
        if (s.verb == "click") {
            int x = 0, y = 0;
            sscanf(s.argument.c_str(), "%d,%d", &x, &y);
            headless_click(window, package_state.origin_x + x, package_state.origin_y - y);
        } else if (s.verb == "type") {
            headless_type(window, s.argument.c_str());
        } else if (s.verb == "ctrl") {
            int letter = toupper((unsigned char)s.argument[0]);  // the key code of a letter
            headless_key_down(window, VK_CONTROL);
            headless_key_down(window, letter);
            headless_key_up(window, letter);
            headless_key_up(window, VK_CONTROL);
        } else if (s.verb == "wait") {
            wait_until = headless_now() + (DWORD)atol(s.argument.c_str());
        } else if (s.verb == "menu") {
            RECT title;
            if (headless_menu_rect(window, 0, -1, &title))
                headless_click(window, (title.left + title.right) / 2, (title.top + title.bottom) / 2);
        } else if (s.verb == "close") {
            headless_close_box(window);
            finished = true;
        }
    }

    // The idle hook: the program waits with nothing queued.
    static void on_idle(void *context) {
        Driver &d = *static_cast<Driver *>(context);
        if (++d.idle_calls > kMaxIdleCalls) {
            fprintf(stderr, "example driver: the program waited %ld times: the plan never ends\n", kMaxIdleCalls);
            exit(1);
        }
        if (d.window == nullptr) {
            d.window = package_state.drawing_window;
            d.start = platform_live_objects();
        }
        if (d.finished) {
            if (++d.idle_after_end > kMaxIdleAfterEnd) {
                fprintf(stderr, "example driver: the program did not end after the last step\n");
                exit(1);
            }
            return;
        }
        if (headless_now() < d.wait_until) return;
        while (d.next < d.steps.size() && d.make_passive(d.steps[d.next])) d.next++;
        if (d.next >= d.steps.size()) return;
        d.make_input(d.steps[d.next++]);
        // "ends" right after an input step (Ctrl+Q, say) belongs to the same moment.
        if (d.next < d.steps.size() && d.steps[d.next].verb == "ends") d.make_passive(d.steps[d.next++]);
    }
};

// Turns the escapes \r, \b and \e of a type step into their characters.
std::string unescape(const std::string &text) {
    std::string result;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char c = text[++i];
            result += c == 'r' ? '\r' : c == 'b' ? '\b' : c == 'e' ? '\x1b' : c;
        } else {
            result += text[i];
        }
    }
    return result;
}

// Reads the command line into the driver; false (with a message) when it is wrong.
bool read_plan(int argc, char **argv, Driver &d) {
    const char *verbs[] = {"click", "type", "ctrl", "wait", "menu", "picture", "golden", "window", "log", "close", "ends"};
    for (int i = 1; i < argc; i++) {
        std::string word = argv[i];
        if (word == "--out" && i + 1 < argc) {
            d.out = argv[++i];
            continue;
        }
        size_t colon = word.find(':');
        Step s{word.substr(0, colon), colon == std::string::npos ? "" : word.substr(colon + 1)};
        bool known = false;
        for (const char *v : verbs) known = known || s.verb == v;
        if (!known) {
            fprintf(stderr, "example driver: unknown step \"%s\"\nusage: %s [--out DIR] STEP...\n", argv[i],
                    argv[0]);
            return false;
        }
        int x, y;
        if ((s.verb == "click" && sscanf(s.argument.c_str(), "%d,%d", &x, &y) != 2) ||
            (s.verb == "ctrl" && (s.argument.size() != 1 || !isalpha((unsigned char)s.argument[0])))) {
            fprintf(stderr, "example driver: step \"%s\" wants click:X,Y or ctrl:LETTER\n", argv[i]);
            return false;
        }
        if (s.verb == "type") s.argument = unescape(s.argument);
        d.steps.push_back(s);
    }
    if (d.steps.empty() || (d.steps.back().verb != "close" && d.steps.back().verb != "ends"))
        d.steps.push_back(Step{"close", ""});
    return true;
}

// Whether a log line reports a mended argument or a script problem.
bool problem_line(const char *line) {
    return strncmp(line, "Illegal color", 13) == 0 || strstr(line, " not possible, using ") != nullptr ||
           strncmp(line, "Cannot ", 7) == 0 || strncmp(line, "EOF encountered", 15) == 0 ||
           strncmp(line, "Script file ", 12) == 0;
}

// Log lines stored in the package's ring.
int log_ring_lines() {
    int lines = 0;
    for (HGLOBAL line : package_state.log_lines) lines += line != nullptr ? 1 : 0;
    return lines;
}

// Checks the objects left at the end against those after the first frame.
void check_objects(Driver &d) {
    PlatformCounts end = platform_live_objects();
    const PlatformCounts &s = d.start;
    // KAPLO_end releases the window's device context; the log ring keeps its lines.
    if (end.pens != s.pens || end.brushes != s.brushes || end.fonts != s.fonts || end.bitmaps != s.bitmaps ||
        end.dcs != s.dcs - 1 || end.global_blocks != log_ring_lines()) {
        char detail[200];
        snprintf(detail, sizeof detail,
                 "pens %d -> %d, brushes %d -> %d, fonts %d -> %d, bitmaps %d -> %d, DCs %d -> %d, "
                 "blocks %d for %d log lines",
                 s.pens, end.pens, s.brushes, end.brushes, s.fonts, end.fonts, s.bitmaps, end.bitmaps, s.dcs,
                 end.dcs, end.global_blocks, log_ring_lines());
        d.fail("objects left behind: ", detail);
    }
}

}  // namespace

extern "C" int __real_KAPLO_log(const char *format, ...);
extern "C" int __real_KAPLO_next_event(int *x, int *y, char *key);

// Every log line passes through here on its way to the package: problems are counted.
extern "C" int __wrap_KAPLO_log(const char *format, ...) {
    char line[LOG_LINE_SIZE];
    va_list args;
    va_start(args, format);
    format_bounded(line, LOG_LINE_SIZE, format, args);
    va_end(args);
    if (problem_line(line)) {
        fprintf(stderr, "example driver: log: %s", line);
        problem_lines++;
    }
    return __real_KAPLO_log("%s", line);
}

// Counts each event the program takes.
extern "C" int __wrap_KAPLO_next_event(int *x, int *y, char *key) {
    int kind = __real_KAPLO_next_event(x, y, key);
    delivered[kind >= 1 && kind <= 4 ? kind : 0]++;
    return kind;
}

// The calendar time: a fixed moment plus the virtual clock.
extern "C" time_t __wrap_time(time_t *result) {
    time_t now = kStartTime + (time_t)(headless_now() / 1000);
    if (result != nullptr) *result = now;
    return now;
}

// Runs the example under the plan and checks how it ended.
int main(int argc, char **argv) {
    Driver driver;
    if (!read_plan(argc, argv, driver)) return 2;
    setenv("TZ", "UTC0", 1);
    tzset();
    platform_use_headless();
    headless_set_frame_history(1);
    headless_set_idle_hook(&Driver::on_idle, &driver);
    char no_arguments[] = "";
    static char instance;
    int result = WinMain(reinterpret_cast<HINSTANCE>(&instance), nullptr, no_arguments, SW_SHOWNORMAL);
    headless_set_idle_hook(nullptr, nullptr);

    if (!driver.finished)
        driver.fail("the program ended before the plan did, at step ", std::to_string(driver.next + 1));
    if (result != 0) driver.fail("WinMain returned ", std::to_string(result));
    if (delivered[KAPLO_QUIT] == 0) driver.fail("the program never took KAPLO_QUIT", "");
    if (delivered[0] != 0) driver.fail("KAPLO_next_event returned an unknown kind", "");
    if (problem_lines != 0) driver.fail("problems in the log: ", std::to_string(problem_lines));
    if (driver.window != nullptr) check_objects(driver);
    printf("%zu steps; events taken: %ld mouse, %ld key, %ld periodic, %ld quit\n", driver.steps.size(),
           delivered[KAPLO_MOUSE], delivered[KAPLO_KBD], delivered[KAPLO_PERIODIC], delivered[KAPLO_QUIT]);
#ifdef __SANITIZE_ADDRESS__
    // Leaks are looked for while the layer's tables still hold what the
    // program leaves to process exit (windows, the back buffer, log lines).
    __lsan_do_leak_check();
#endif
    return driver.failures == 0 ? 0 : 1;
}
