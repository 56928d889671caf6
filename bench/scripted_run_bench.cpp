// Throughput of the whole battle game run headless through WinMain: events come
// from a played-back "KAPLO.SCR" or are injected as input from the idle hook,
// and every delivered event costs the game's full redraw and the copy of the
// back buffer to the drawing window. Reports delivered events per second.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "game.h"
#include "package.h"
#include "platform_tools.h"

namespace {

// Runs inside a private temporary folder, so that KAPLO.SCR is ours alone.
struct TempFolder {
    std::string previous;
    std::string path;
    TempFolder() {
        char buffer[4096];
        previous = getcwd(buffer, sizeof buffer) != nullptr ? buffer : ".";
        char name[] = "/tmp/kaplo-bench-XXXXXX";
        path = mkdtemp(name) != nullptr ? name : "/tmp";
        if (chdir(path.c_str()) != 0) path.clear();
    }
    ~TempFolder() {
        remove(SCRIPT_FILE_NAME);
        if (chdir(previous.c_str()) == 0) rmdir(path.c_str());
    }
};

// Puts the package state back to that of a fresh process and resets the layer.
void fresh_package() {
    for (HGLOBAL &line : package_state.log_lines) {
        if (line != nullptr) GlobalFree(line);
        line = nullptr;
    }
    if (package_state.script_file != nullptr) fclose(package_state.script_file);
    package_state = PackageState{};
    platform_use_headless();
}

// Writes a script of exactly `events` events: periodic runs, clicks on the sky
// and on the panel's gap, and typed keys. Panel buttons are left out, since an
// action would read the following lines as its own animation frames.
void write_script(long events) {
    FILE *file = fopen(SCRIPT_FILE_NAME, "wb");
    if (file == nullptr) return;
    long written = 0;
    for (int line = 0; written < events; line++) {
        switch (line % 4) {
        case 0: {
            long run = events - written < 5 ? events - written : 5;
            fprintf(file, "KAPLO_PERIODIC(%ld);\r\n", run);
            written += run;
            break;
        }
        case 1:
            fprintf(file, "KAPLO_MOUSE(%d, %d);\r\n", (line * 37) % 500 - 250, 100 + line % 100);
            written++;
            break;
        case 2:
            fprintf(file, "KAPLO_KBD(%d);\r\n", 'a' + line % 26);
            written++;
            break;
        default:
            fprintf(file, "KAPLO_MOUSE(0, -160);\r\n");  // the gap: "Program error!"
            written++;
            break;
        }
    }
    fclose(file);
}

// Idle hook for playback: switches playback on once, then quits when it has ended.
struct PlaybackDriver {
    bool started = false;
    bool quit = false;
    static void on_idle(void *context) {
        PlaybackDriver &d = *static_cast<PlaybackDriver *>(context);
        HWND window = package_state.drawing_window;
        if (!d.started) {
            d.started = true;
            PostMessageA(window, WM_COMMAND, CMD_PLAYBACK, 0);
            return;
        }
        if (!package_state.playing_back && !d.quit) {
            d.quit = true;
            PostQuitMessage(0);
        }
    }
};

// Idle hook for live input: one event per idle call (a key, a click, or a
// single animation step), then a quit.
struct InputDriver {
    long events = 0;
    long wanted = 0;
    HWND window = nullptr;
    bool quit = false;
    static void on_idle(void *context) {
        InputDriver &d = *static_cast<InputDriver *>(context);
        if (d.window == nullptr) {
            d.window = package_state.drawing_window;
            KAPLO_set_animation(ANIMATE_HALT);
        }
        if (d.events >= d.wanted) {
            if (!d.quit) PostQuitMessage(0);
            d.quit = true;
            return;
        }
        switch (d.events % 3) {
        case 0:
            headless_type(d.window, "k");
            break;
        case 1:
            headless_click(d.window, 297 + (int)(d.events % 400) - 200, 238 - 120);
            break;
        default:
            // One step: the first timer message arms it, the second delivers it.
            KAPLO_set_animation(ANIMATE_STEP);
            PostMessageA(d.window, WM_TIMER, PERIODIC_TIMER_ID, 0);
            PostMessageA(d.window, WM_TIMER, PERIODIC_TIMER_ID, 0);
            break;
        }
        d.events++;
    }
};

// Runs WinMain to its end; returns the frames presented to the drawing window.
long run_game() {
    char no_arguments[] = "";
    WinMain(nullptr, nullptr, no_arguments, SW_SHOWNORMAL);
    HWND window = package_state.drawing_window;
    headless_set_idle_hook(nullptr, nullptr);
    return headless_frame_count(window);
}

// The game playing back a script of range(0) events; range(1) frames kept.
void BM_ScriptPlayback(benchmark::State &state) {
    TempFolder folder;
    long events = state.range(0);
    write_script(events);
    long delivered = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fresh_package();
        headless_set_frame_history((int)state.range(1));
        PlaybackDriver driver;
        headless_set_idle_hook(&PlaybackDriver::on_idle, &driver);
        state.ResumeTiming();
        long frames = run_game();
        // Every script event is followed by its frame; fewer means playback stopped early.
        if (frames < events) {
            state.SkipWithError("playback delivered fewer frames than the script has events");
            break;
        }
        delivered += events;
    }
    state.counters["events/s"] = benchmark::Counter((double)delivered, benchmark::Counter::kIsRate);
    state.counters["us/event"] =
        benchmark::Counter((double)delivered, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ScriptPlayback)->Args({20000, 4})->Args({20000, 0})->Unit(benchmark::kMillisecond);

// The game driven by injected keys, clicks and animation steps.
void BM_InjectedInput(benchmark::State &state) {
    long events = state.range(0);
    long delivered = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fresh_package();
        headless_set_frame_history((int)state.range(1));
        InputDriver driver;
        driver.wanted = events;
        headless_set_idle_hook(&InputDriver::on_idle, &driver);
        state.ResumeTiming();
        long frames = run_game();
        if (frames < events) {
            state.SkipWithError("fewer frames than injected events");
            break;
        }
        delivered += events;
    }
    state.counters["events/s"] = benchmark::Counter((double)delivered, benchmark::Counter::kIsRate);
    state.counters["us/event"] =
        benchmark::Counter((double)delivered, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_InjectedInput)->Args({20000, 4})->Args({20000, 0})->Unit(benchmark::kMillisecond);

// Runs a shell command; true when it exited with status 0.
bool shell(const std::string &command) {
    int status = system(command.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Processor seconds (user and system) of the finished child processes.
double children_cpu() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (double)u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + (double)u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

// Processor seconds a shell command and all it started take, or -1 when it
// fails. Processor time, not wall time: on a shared machine the wall clock
// also counts the other users.
double timed(const std::string &command) {
    double start = children_cpu();
    if (!shell(command)) return -1;
    return children_cpu() - start;
}

// The game program itself run headless on a script of range(0) events, with
// no outputs: the layer's own options, a whole process per run.
void BM_HeadlessProgramRun(benchmark::State &state) {
    TempFolder folder;
    long events = state.range(0);
    write_script(events);
    rename(SCRIPT_FILE_NAME, "events.SCR");
    long delivered = 0;
    double cpu = 0;
    for (auto _ : state) {
        double t = timed(KAPLO_GAME " --kaplo-script=events.SCR > /dev/null");
        if (t < 0) {
            state.SkipWithError("the headless run failed");
            break;
        }
        state.SetIterationTime(t);
        cpu += t;
        delivered += events;
    }
    remove("events.SCR");
    state.counters["events/s"] = cpu > 0 ? delivered / cpu : 0;
}
BENCHMARK(BM_HeadlessProgramRun)->Arg(20000)->Unit(benchmark::kMillisecond)->UseManualTime();

// The committed game script recorded as a GIF by the run itself, against the
// same run writing PNG frames that ImageMagick's convert then turns into a
// GIF, timed in turns (processor time of all the processes); reports both and
// how many times faster the first is.
void BM_GifVersusPngFramesAndConvert(benchmark::State &state) {
    TempFolder folder;
    const char *convert = access("/usr/bin/convert", X_OK) == 0 ? "/usr/bin/convert" : "convert";
    std::string run = std::string(KAPLO_GAME) + " --kaplo-clock=0 --kaplo-script=" KAPLO_SCRIPT;
    double gif_s = 0, png_s = 0;
    for (auto _ : state) {
        double a = timed(run + " --kaplo-gif=direct.gif > /dev/null");
        double b = timed(run + " --kaplo-frames=frames > /dev/null && " + convert +
                         " -delay 5 frames/frame-*.png converted.gif");
        if (a < 0 || b < 0) {
            state.SkipWithError("a run or convert failed (is ImageMagick installed?)");
            break;
        }
        gif_s += a;
        png_s += b;
        state.SetIterationTime(a + b);
        shell("rm -rf frames direct.gif converted.gif");
    }
    double n = (double)state.iterations();
    state.counters["gif_ms"] = gif_s / n * 1000;
    state.counters["png+convert_ms"] = png_s / n * 1000;
    state.counters["times_faster"] = gif_s > 0 ? png_s / gif_s : 0;
}
BENCHMARK(BM_GifVersusPngFramesAndConvert)->Iterations(3)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
