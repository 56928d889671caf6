// Soak run of the battle game: WinMain on the headless backend, fed a long
// stream of injected events (keys, clicks on the sky and on the panel's
// buttons, single animation steps, now and then a stretch with logging on).
// It prints resident memory at the start, every 100,000 events and at the
// end, and compares the platform's live objects at the end with the start
// (allowing for the lines the package's log ring holds by design).
//   kaplo_soak [events]      (default 1,000,000)
// Exit status 0 when the game delivered every event, resident memory stayed
// within 4 MiB of its value after the first 100,000 events, and no object
// was left over.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "game.h"
#include "package.h"
#include "platform_tools.h"

namespace {

// Events between two memory reports.
const long kReportEvery = 100000;
// Growth of resident memory allowed after the warm-up, in KiB.
const long kAllowedGrowthKiB = 4096;

// Resident memory of this process in KiB, from /proc/self/statm.
long resident_kib() {
    FILE *file = fopen("/proc/self/statm", "r");
    if (file == nullptr) return -1;
    long size = 0, resident = 0;
    int read = fscanf(file, "%ld %ld", &size, &resident);
    fclose(file);
    if (read != 2) return -1;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Whether two object counts are the same.
bool same_counts(const PlatformCounts &a, const PlatformCounts &b) {
    return a.pens == b.pens && a.brushes == b.brushes && a.fonts == b.fonts && a.bitmaps == b.bitmaps &&
           a.dcs == b.dcs && a.global_blocks == b.global_blocks;
}

// Lines the package's log ring holds now: each is one global memory block.
int log_ring_lines() {
    int lines = 0;
    for (HGLOBAL line : package_state.log_lines) lines += line != nullptr ? 1 : 0;
    return lines;
}

// Prints object counts on one line.
void print_counts(const char *label, const PlatformCounts &c) {
    printf("%s: pens %d, brushes %d, fonts %d, bitmaps %d, DCs %d, global blocks %d\n", label, c.pens, c.brushes,
           c.fonts, c.bitmaps, c.dcs, c.global_blocks);
}

// The soak's state: what it has injected and measured.
struct Soak {
    long wanted = 0;
    long events = 0;          // events injected, one per idle call
    long frames_at_start = 0; // frames presented before the first injected event
    HWND window = nullptr;
    bool quit = false;
    bool logging = false;
    long start_kib = 0;
    long warm_kib = 0;
    long peak_kib = 0;
    PlatformCounts start_counts = {};
    PlatformCounts end_counts = {};
    int start_log_lines = 0;
    int end_log_lines = 0;

    // Called whenever the game waits with nothing queued: one event per call.
    static void on_idle(void *context) {
        Soak &s = *static_cast<Soak *>(context);
        if (s.quit) return;
        if (s.window == nullptr) {
            s.window = package_state.drawing_window;
            KAPLO_set_animation(ANIMATE_HALT);
            s.start_counts = platform_live_objects();
            s.start_log_lines = log_ring_lines();
            s.start_kib = resident_kib();
            s.frames_at_start = headless_frame_count(s.window);
            printf("start: resident %ld KiB\n", s.start_kib);
        }
        if (s.events > 0 && s.events % kReportEvery == 0) s.report();
        if (s.events >= s.wanted) {
            s.finish();
            return;
        }
        // Logging on for 500 events out of every 50,000 (Ctrl+L; no event of its own).
        long phase = s.events % 50000;
        if ((phase == 25000 && !s.logging) || (phase == 25500 && s.logging)) {
            s.logging = !s.logging;
            headless_type(s.window, "\x0c");
            return;
        }
        s.inject();
        s.events++;
    }

    // Injects the input of one event.
    void inject() {
        switch (events % 5) {
        case 0:
            headless_type(window, events % 2 ? "k" : "Z");
            break;
        case 1:
            headless_click(window, 297 + (int)(events % 500) - 250, 238 - (100 + (int)(events % 120)));
            break;
        case 2:
            // Now and then a panel button, so that the four actions play too
            // (each takes the following events as its frames).
            if (events % 2000 == 2) {
                int button = (int)(events / 2000) % 4;
                int x = button < 2 ? -70 : 70;
                int y = button % 2 == 0 ? -163 : -189;
                headless_click(window, 297 + x, 238 - y);
            } else {
                headless_click(window, 297 + 100, 238 - 200);
            }
            break;
        default:
            // One animation step: the first timer message arms it, the second delivers it.
            KAPLO_set_animation(ANIMATE_STEP);
            PostMessageA(window, WM_TIMER, PERIODIC_TIMER_ID, 0);
            PostMessageA(window, WM_TIMER, PERIODIC_TIMER_ID, 0);
            break;
        }
    }

    // Prints resident memory at a report point.
    void report() {
        long kib = resident_kib();
        if (events == kReportEvery) warm_kib = kib;
        if (kib > peak_kib) peak_kib = kib;
        printf("%7ld events: resident %ld KiB, frames %ld\n", events, kib,
               headless_frame_count(window) - frames_at_start);
        fflush(stdout);
    }

    // Takes the final counts and ends the game.
    void finish() {
        end_counts = platform_live_objects();
        end_log_lines = log_ring_lines();
        quit = true;
        PostQuitMessage(0);
    }
};

// Events the game has taken, by kind (index 0 for anything unknown).
long delivered[5];

}  // namespace

// The program is linked with --wrap=KAPLO_next_event: every retrieval of the
// game passes through here and is counted.
extern "C" int __real_KAPLO_next_event(int *x, int *y, char *key);

// Counts each event the game takes.
extern "C" int __wrap_KAPLO_next_event(int *x, int *y, char *key) {
    int kind = __real_KAPLO_next_event(x, y, key);
    delivered[kind >= 1 && kind <= 4 ? kind : 0]++;
    return kind;
}

// Runs the game under the soak's idle hook and checks the figures.
int main(int argc, char **argv) {
    Soak soak;
    soak.wanted = argc > 1 ? atol(argv[1]) : 1000000;
    if (soak.wanted <= 0) {
        fprintf(stderr, "usage: kaplo_soak [events]\n");
        return 2;
    }
    platform_use_headless();
    headless_set_frame_history(1);
    headless_set_idle_hook(&Soak::on_idle, &soak);
    char no_arguments[] = "";
    WinMain(nullptr, nullptr, no_arguments, SW_SHOWNORMAL);
    headless_set_idle_hook(nullptr, nullptr);

    long end_kib = resident_kib();
    long frames = headless_frame_count(package_state.drawing_window) - soak.frames_at_start;
    long taken = delivered[KAPLO_MOUSE] + delivered[KAPLO_KBD] + delivered[KAPLO_PERIODIC];
    printf("delivered: %ld mouse, %ld key, %ld periodic, %ld quit, %ld unknown\n", delivered[KAPLO_MOUSE],
           delivered[KAPLO_KBD], delivered[KAPLO_PERIODIC], delivered[KAPLO_QUIT], delivered[0]);
    printf("end: %ld events, %ld frames, resident %ld KiB (start %ld, after warm-up %ld, peak %ld)\n",
           soak.events, frames, end_kib, soak.start_kib, soak.warm_kib, soak.peak_kib);
    print_counts("objects at start", soak.start_counts);
    print_counts("objects at end  ", soak.end_counts);

    int failed = 0;
    // Every injection makes one event (frames may be one short: the quit ends the last wait before its copy).
    if (!soak.quit || soak.events != soak.wanted || taken < soak.wanted || delivered[0] != 0) {
        printf("FAIL: the game did not deliver every event\n");
        failed = 1;
    }
    long reference = soak.warm_kib > 0 ? soak.warm_kib : soak.start_kib;
    if (end_kib - reference > kAllowedGrowthKiB) {
        printf("FAIL: resident memory grew by %ld KiB\n", end_kib - reference);
        failed = 1;
    }
    // The log ring keeps its last 25 lines by design: those blocks are not left over.
    printf("log ring lines: %d at start, %d at end\n", soak.start_log_lines, soak.end_log_lines);
    PlatformCounts expected = soak.start_counts;
    expected.global_blocks += soak.end_log_lines - soak.start_log_lines;
    if (!same_counts(expected, soak.end_counts)) {
        printf("FAIL: live objects differ\n");
        failed = 1;
    }
    if (!failed) printf("soak passed\n");
    return failed;
}
