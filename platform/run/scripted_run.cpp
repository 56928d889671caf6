// The headless run. The program is started as usual; the first time it waits
// for input, the run chooses Playback Script in its menu as a user would, so
// that the program sees exactly the script's events. When the item's check
// mark goes (the package has logged the end of the script and stopped), or a
// bound is reached, the run clicks the drawing window's close box, and the
// program ends through its own quit path. Frames presented to the drawing
// window go to the outputs as they come; the log window's lines reach the
// transcript through OutputDebugStringA, which the package calls for each.
#include "run/scripted_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "capture/gif_writer.h"
#include "capture/output_file.h"
#include "user/user.h"

namespace {

constexpr const char *kScriptName = "KAPLO.SCR";
constexpr const char *kPlaybackItem = "Playback Script";
constexpr uint64_t kCloseGraceMs = 10000;  // virtual time a closed program has to end

struct Run {
    const RunOptions *o = nullptr;
    HWND target = nullptr;  // the drawing window
    UINT playback_id = 0;
    bool chosen = false;
    bool closing = false;
    uint64_t close_ms = 0;
    long long close_frames = 0;
    int status = 0;
    bool outputs_dead = false;  // after a write failure nothing more is written
    long long frames = 0;
    GifWriter gif;
    std::vector<uint32_t> last;
    int last_w = 0, last_h = 0;
    OutputFile log_file;
    FILE *log = nullptr;
    OutputFile index;  // frames.txt
};

Run run;

// The text of a menu item without its mnemonic marks and its key part.
std::string plain_text(const std::string &text) {
    std::string out;
    for (char c : text.substr(0, text.find('\t')))
        if (c != '&') out += c;
    return out;
}

// Looks through a menu and its pop-ups for an item with this text.
bool find_item(HMENU handle, const char *text, UINT *id) {
    Menu *m = user_menu(handle);
    if (!m) return false;
    for (const MenuItem &it : m->items) {
        if (it.submenu && find_item(it.submenu, text, id)) return true;
        if (!it.submenu && !(it.flags & MF_SEPARATOR) && plain_text(it.text) == text) {
            *id = (UINT)it.id;
            return true;
        }
    }
    return false;
}

// The first window whose menu holds the Playback Script item.
Window *drawing_window(UINT *id) {
    for (Window *w : user_windows())
        if (w->menu && find_item(w->menu, kPlaybackItem, id)) return w;
    return nullptr;
}

// Asks the program to end as a user would: a click on the close box.
void request_close() {
    if (run.closing) return;
    run.closing = true;
    run.close_ms = headless_now();
    run.close_frames = run.frames;
    HWND target = run.target;
    if (!target || !user_window(target)) {
        Window *w = drawing_window(&run.playback_id);
        if (!w && !user_windows().empty()) w = user_windows().front();
        target = w ? w->handle : nullptr;
    }
    if (target) headless_close_box(target);
}

// Reports a failure once, keeps its status and ends the run.
void fail(const std::string &message, int status) {
    fprintf(stderr, "kaplo: %s\n", message.c_str());
    if (!run.status) run.status = status;
    if (status == RUN_WRITE_FAILED) run.outputs_dead = true;
    request_close();
}

// Gives up on a program that does not end: keeps nothing unfinished.
[[noreturn]] void give_up(const char *why) {
    fprintf(stderr, "kaplo: %s\n", why);
    run.gif.abandon();
    run.index.discard();
    if (run.log) fflush(run.log);
    run.log_file.discard();
    _exit(RUN_STUCK);
}

// One line of the log window, written to the transcript as it is logged.
void on_log_line(const char *text, void *) {
    if (!run.log || run.outputs_dead) return;
    size_t n = strlen(text);
    bool ok = fwrite(text, 1, n, run.log) == n;
    if (ok && (n == 0 || text[n - 1] != '\n')) ok = fputc('\n', run.log) != EOF;
    if (ok && run.log == stdout) ok = fflush(stdout) == 0;
    if (!ok) fail(std::string("cannot write the log transcript: ") + strerror(errno), RUN_WRITE_FAILED);
}

// Each frame of the drawing window: into the numbered PNGs, the GIF and the
// last frame; a frame past the bound ends the run.
void on_frame(HWND hwnd, const DWORD *pixels, int width, int height, void *) {
    if (!run.target) {
        UINT id;
        Window *w = drawing_window(&id);
        run.target = w ? w->handle : hwnd;
    }
    if (hwnd != run.target) return;
    run.frames++;
    const RunOptions &o = *run.o;
    std::string error;
    if (!run.outputs_dead && !o.frames_dir.empty() && (run.frames - 1) % o.every == 0) {
        char name[32];
        snprintf(name, sizeof name, "frame-%06lld.png", run.frames);
        if (!capture_write_png(o.frames_dir + "/" + name, pixels, width, height, &error) ||
            fprintf(run.index.stream(), "%s %lu\n", name, (unsigned long)headless_now()) < 0)
            fail(error.empty() ? "cannot write " + o.frames_dir + "/frames.txt" : error, RUN_WRITE_FAILED);
    }
    if (!run.outputs_dead && !o.gif.empty()) {
        if (!run.gif.is_open() && run.frames == 1 && !run.gif.open(o.gif, width, height, &error))
            fail(error, RUN_WRITE_FAILED);
        else if (run.gif.is_open() && !run.gif.add_frame(pixels, headless_now(), &error))
            fail(error, RUN_WRITE_FAILED);
    }
    if (!o.last_frame.empty()) {
        run.last.assign(pixels, pixels + (size_t)width * height);
        run.last_w = width;
        run.last_h = height;
    }
    if (o.max_frames && run.frames >= o.max_frames && !run.closing) {
        fprintf(stderr, "kaplo: the run reached %lld frames (--kaplo-max-frames)\n", run.frames);
        run.status = run.status ? run.status : RUN_BOUND_HIT;
        request_close();
    }
    if (run.closing && run.frames > run.close_frames + 1000)
        give_up("the program went on drawing after its window was closed");
}

// Whenever the program waits: start playback once, then watch for its end
// and for the bounds.
void on_idle(void *) {
    const RunOptions &o = *run.o;
    if (!run.chosen) {
        run.chosen = true;
        if (o.script.empty()) return;
        Window *w = drawing_window(&run.playback_id);
        if (!w) {
            fail("the program has no \"Playback Script\" menu item to play the script with",
                 RUN_BAD_INPUT);
            return;
        }
        run.target = w->handle;
        headless_choose_menu(w->handle, run.playback_id);
        return;
    }
    Window *w = run.target ? user_window(run.target) : nullptr;
    if (!run.closing && !o.script.empty() && w && w->menu &&
        !(GetMenuState(w->menu, run.playback_id, MF_BYCOMMAND) & MF_CHECKED))
        request_close();  // the script has been played to its end
    if (!run.closing && headless_now() >= (uint64_t)o.max_ms) {
        fprintf(stderr, "kaplo: the run reached %lld virtual ms (--kaplo-max-ms)\n", o.max_ms);
        run.status = run.status ? run.status : RUN_BOUND_HIT;
        request_close();
    }
    if (run.closing && (headless_now() > run.close_ms + kCloseGraceMs ||
                        (!user_have_pending() && user_next_timer_due() == UINT64_MAX)))
        give_up("the program did not end after its window was closed");
}

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

// Puts the script where the program's playback reads it; sets *created when
// the copy is ours to remove afterwards.
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

// Makes the frames folder (and its parents) if it is not there.
bool make_folder(const std::string &dir, std::string *error) {
    for (size_t pos = dir.find('/', 1);; pos = dir.find('/', pos + 1)) {
        std::string partial = dir.substr(0, pos);
        if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) {
            *error = "cannot make the folder " + partial + ": " + strerror(errno);
            return false;
        }
        if (pos == std::string::npos) return true;
    }
}

// Opens the outputs that must be writable before the program starts.
bool open_outputs(const RunOptions &o, std::string *error) {
    if (!o.frames_dir.empty() &&
        (!make_folder(o.frames_dir, error) || !run.index.open(o.frames_dir + "/frames.txt", error)))
        return false;
    if (o.log == "-") {
        run.log = stdout;
    } else if (!o.log.empty()) {
        if (!run.log_file.open(o.log, error)) return false;
        run.log = run.log_file.stream();
    }
    if (!o.gif.empty()) {
        // Checked now, written once the first frame gives the size.
        OutputFile probe;
        if (!probe.open(o.gif, error)) return false;
    }
    return true;
}

// Writes what is only known at the end: the GIF's last frame, the last frame,
// the index and the transcript under their names.
void finish_outputs(const RunOptions &o) {
    std::string error;
    auto check = [&](bool ok) {
        if (!ok && run.status != RUN_WRITE_FAILED) {
            fprintf(stderr, "kaplo: %s\n", error.c_str());
            run.status = RUN_WRITE_FAILED;
        }
    };
    if (run.outputs_dead) {
        run.gif.abandon();
        run.index.discard();
        run.log_file.discard();
        return;
    }
    if (run.gif.is_open()) check(run.gif.finish(headless_now(), &error));
    if (!o.frames_dir.empty()) check(run.index.commit(&error));
    if (!o.last_frame.empty()) {
        if (run.last.empty()) {
            error = "no frame to write as " + o.last_frame;
            check(false);
        } else {
            check(capture_write_png(o.last_frame, run.last.data(), run.last_w, run.last_h, &error));
        }
    }
    if (run.log == stdout && fflush(stdout) != 0) {
        error = std::string("cannot write the log transcript: ") + strerror(errno);
        check(false);
    }
    if (run.log_file.stream()) check(run.log_file.commit(&error));
}

// Stops the process when a run takes longer than its real-time limit.
struct Watchdog {
    std::mutex mutex;
    std::condition_variable done_changed;
    bool done = false;
    std::thread thread;

    // Starts watching; 0 seconds watches nothing.
    void start(long long seconds) {
        if (seconds <= 0) return;
        thread = std::thread([this, seconds] {
            std::unique_lock<std::mutex> lock(mutex);
            if (!done_changed.wait_for(lock, std::chrono::seconds(seconds), [this] { return done; })) {
                fprintf(stderr, "kaplo: the run took more than %lld s of real time (--kaplo-timeout)\n",
                        seconds);
                _exit(RUN_STUCK);
            }
        });
    }
    // Ends the watch.
    void stop() {
        if (!thread.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
        }
        done_changed.notify_all();
        thread.join();
    }
};

}  // namespace

// Sets up the backend, hooks and outputs, runs WinMain and finishes.
int run_headless(const RunOptions &o, HINSTANCE instance, char *command_line,
                 PlatformWinMain win_main) {
    run.o = &o;
    std::string error, copied;
    if (!o.script.empty() && !place_script(o.script, &copied, &error)) {
        fprintf(stderr, "kaplo: %s\n", error.c_str());
        return RUN_BAD_INPUT;
    }
    if (!open_outputs(o, &error)) {
        fprintf(stderr, "kaplo: %s\n", error.c_str());
        if (!copied.empty()) remove(kScriptName);
        return RUN_BAD_INPUT;
    }
    platform_use_headless();
    headless_set_frame_history(0);
    headless_set_idle_hook(on_idle, nullptr);
    // Composing every frame costs; only a run that keeps or counts them asks.
    if (!o.frames_dir.empty() || !o.gif.empty() || !o.last_frame.empty() || o.max_frames)
        headless_set_frame_hook(on_frame, nullptr);
    platform_set_debug_sink(on_log_line, nullptr);
    Watchdog watchdog;
    watchdog.start(o.timeout_s);
    int result = win_main(instance, nullptr, command_line, SW_SHOWNORMAL);
    watchdog.stop();
    platform_set_debug_sink(nullptr, nullptr);
    headless_set_frame_hook(nullptr, nullptr);
    headless_set_idle_hook(nullptr, nullptr);
    finish_outputs(o);
    // Our copy of the script goes, unless the program has written its own.
    std::string now;
    if (!copied.empty() && read_file(kScriptName, &now) && now == copied) remove(kScriptName);
    return run.status ? run.status : result;
}
