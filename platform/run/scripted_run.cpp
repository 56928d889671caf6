// The headless run. The program is started as usual; the first time it waits
// for input, the run chooses Playback Script in its menu as a user would, so
// that the program sees exactly the script's events. When the item's check
// mark goes (the package has logged the end of the script and stopped), or a
// bound is reached, the run clicks the drawing window's close box, and the
// program ends through its own quit path. Frames presented to the drawing
// window go to the outputs as they come; the log window's lines reach the
// transcript through OutputDebugStringA, which the package calls for each.
//
// This is the supervised child's side (run/headless_watch.cpp is the
// watcher's): whatever a crash must not lose reaches the disk or the shared
// beacon as it comes, and an end the run chooses itself leaves its words in
// the beacon for the watcher to print.
#include "run/scripted_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "capture/gif_writer.h"
#include "capture/output_file.h"
#include "run/run_words.h"
#include "run/supervisor.h"
#include "user/user.h"

namespace {

constexpr const char *kPlaybackItem = "Playback Script";
constexpr uint64_t kCloseGraceMs = 10000;  // virtual time a closed program has to end

struct Run {
    const RunOptions *o = nullptr;
    RunBeacon *beacon = nullptr;
    bool returned = false;  // WinMain came back (or the run was finished otherwise)
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
    OutputFile log_file;
    FILE *log = nullptr;
    OutputFile index;  // frames.txt
    long long log_bytes = 0, frames_bytes = 0;  // against the size bound
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

// Leaves the words of the run's end for the watcher to print; the first end
// named is the one that counts.
void say_end(const std::string &words) {
    if (run.beacon->words[0]) return;
    snprintf(run.beacon->words, sizeof run.beacon->words, "%s", words.c_str());
}

// Ends the run with a status and its words: the program is asked to close,
// as a user would.
void end_run(const std::string &words, int status) {
    say_end(words);
    if (!run.status) run.status = status;
    if (status == RUN_WRITE_FAILED) run.outputs_dead = true;
    request_close();
}

// Gives up on a program that does not end: the watcher keeps what was
// written so far under names that say it is incomplete.
[[noreturn]] void give_up(bool drawing) {
    say_end(words_not_ending(drawing));
    if (run.log) fflush(run.log);
    if (run.index.stream()) fflush(run.index.stream());
    run.beacon->gave_up = 1;
    _exit(RUN_STUCK);
}

void finish_outputs(const RunOptions &o, const std::string &gif_comment = "");

// Stops the run where it is, since an output reached its size bound: that
// output gets a last line saying the rest was cut, and everything written is
// made whole. The program is not asked to close: a runaway loop might never
// look at its messages.
[[noreturn]] void cut_at_bound(const char *what) {
    const RunOptions &o = *run.o;
    std::string line = "[the rest was cut: " + std::string(what) + " grew past " +
                       std::to_string(o.max_output_mb) + " MB, the bound of --kaplo-max-output]";
    std::string comment;
    if (strcmp(what, "the transcript") == 0) fprintf(run.log, "%s\n", line.c_str());
    else if (strcmp(what, "the frames") == 0) fprintf(run.index.stream(), "%s\n", line.c_str());
    else comment = line;
    say_end(words_output_bound(what, o.max_output_mb));
    run.status = RUN_OUTPUT_BOUND;
    finish_outputs(o, comment);
    run.beacon->finished = 1;
    fflush(nullptr);
    _exit(run.status);
}

// Bytes of the size bound.
long long bound_bytes() { return run.o->max_output_mb << 20; }

// One line of the log window, written to the transcript as it is logged.
// Each line reaches the file at once, so that a crash loses none of them.
void on_log_line(const char *text, void *) {
    if (!run.log || run.outputs_dead) return;
    size_t n = strlen(text);
    bool newline = n == 0 || text[n - 1] != '\n';
    if (run.log_bytes + (long long)(n + newline) > bound_bytes()) cut_at_bound("the transcript");
    bool ok = fwrite(text, 1, n, run.log) == n;
    if (ok && newline) ok = fputc('\n', run.log) != EOF;
    ok = ok && fflush(run.log) == 0;
    run.log_bytes += (long long)(n + newline);
    if (!ok)
        end_run(words_write_failed(std::string("cannot write the log transcript: ") + strerror(errno)),
                RUN_WRITE_FAILED);
}

// Shares the frame with the watcher, in the slot not being read as newest.
void keep_last_frame(const DWORD *pixels, int width, int height) {
    RunBeacon &b = *run.beacon;
    if ((size_t)width * height > RunBeacon::kMaxFramePixels) return;
    int slot = b.frame_slot == 0 ? 1 : 0;
    memcpy(b.frame_pixels[slot], pixels, (size_t)width * height * 4);
    b.frame_width[slot] = width;
    b.frame_height[slot] = height;
    b.frame_slot.store(slot, std::memory_order_release);
}

// Writes one numbered frame and its line of the index, within the bound.
void write_numbered_frame(const DWORD *pixels, int width, int height) {
    const RunOptions &o = *run.o;
    char name[32];
    snprintf(name, sizeof name, "frame-%06lld.png", run.frames);
    std::string path = o.frames_dir + "/" + name, error;
    FILE *index = run.index.stream();
    if (!capture_write_png(path, pixels, width, height, &error) ||
        fprintf(index, "%s %lu\n", name, (unsigned long)headless_now()) < 0 || fflush(index) != 0) {
        end_run(words_write_failed(error.empty() ? "cannot write " + o.frames_dir + "/frames.txt" : error),
                RUN_WRITE_FAILED);
        return;
    }
    struct stat st;
    if (stat(path.c_str(), &st) == 0) run.frames_bytes += st.st_size;
    if (run.frames_bytes > bound_bytes()) cut_at_bound("the frames");
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
    if (!run.outputs_dead && !o.frames_dir.empty() && (run.frames - 1) % o.every == 0)
        write_numbered_frame(pixels, width, height);
    if (!run.outputs_dead && !o.gif.empty()) {
        long written = run.gif.frames_written();
        if (!run.gif.is_open() && run.frames == 1 && !run.gif.open(o.gif, width, height, &error))
            end_run(words_write_failed(error), RUN_WRITE_FAILED);
        else if (run.gif.is_open() && !run.gif.add_frame(pixels, headless_now(), &error))
            end_run(words_write_failed(error), RUN_WRITE_FAILED);
        else if (run.gif.is_open() && run.gif.frames_written() != written) {
            long long bytes = run.gif.flush_whole();
            run.beacon->gif_whole_bytes = bytes;
            if (bytes > bound_bytes()) cut_at_bound("the GIF");
        }
    }
    if (!o.last_frame.empty()) keep_last_frame(pixels, width, height);
    if (o.max_frames && run.frames >= o.max_frames && !run.closing)
        end_run(words_bound_frames(o.max_frames), RUN_BOUND_HIT);
    if (run.closing && run.frames > run.close_frames + 1000) give_up(true);
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
            end_run(run_words("the program has no \"Playback Script\" menu item to play the script "
                              "with.",
                              "Scripts play in programs that call KAPLO_begin and KAPLO_next_event."),
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
    if (!run.closing && headless_now() >= (uint64_t)o.max_ms)
        end_run(words_bound_ms(o.max_ms), RUN_BOUND_HIT);
    bool nothing_can_come = !user_have_pending() && user_next_timer_due() == UINT64_MAX;
    if (run.closing && (headless_now() > run.close_ms + kCloseGraceMs || nothing_can_come))
        give_up(false);
    if (nothing_can_come) run.beacon->waits_forever = 1;  // the backend aborts next
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
void finish_outputs(const RunOptions &o, const std::string &gif_comment) {
    std::string error;
    auto check = [&](bool ok) {
        if (!ok && run.status != RUN_WRITE_FAILED) {
            run.beacon->words[0] = 0;  // this end is the one to tell
            say_end(words_write_failed(error));
            run.status = RUN_WRITE_FAILED;
        }
    };
    if (run.outputs_dead) {
        run.gif.abandon();
        run.index.discard();
        run.log_file.discard();
        return;
    }
    if (run.gif.is_open()) check(run.gif.finish(headless_now(), &error, gif_comment));
    if (!o.frames_dir.empty()) check(run.index.commit(&error));
    if (!o.last_frame.empty()) {
        const RunBeacon &b = *run.beacon;
        int slot = b.frame_slot;
        if (slot < 0) {
            error = "no frame to write as " + o.last_frame;
            check(false);
        } else {
            check(capture_write_png(o.last_frame, b.frame_pixels[slot], b.frame_width[slot],
                                    b.frame_height[slot], &error));
        }
    }
    if (run.log == stdout && fflush(stdout) != 0) {
        error = std::string("cannot write the log transcript: ") + strerror(errno);
        check(false);
    }
    if (run.log_file.stream()) check(run.log_file.commit(&error));
}

// Stops the hooks and makes the outputs whole; the run is over.
void finish_run() {
    if (run.returned) return;
    run.returned = true;
    platform_set_debug_sink(nullptr, nullptr);
    headless_set_frame_hook(nullptr, nullptr);
    headless_set_idle_hook(nullptr, nullptr);
    headless_set_ask_hook(nullptr, nullptr);
    finish_outputs(*run.o);
    run.beacon->finished = 1;
}

// A program that calls exit() itself ends as if WinMain had returned.
void finish_at_exit() { finish_run(); }

}  // namespace

// Sets up the backend, hooks and outputs, runs WinMain and finishes.
int run_headless(const RunOptions &o, HINSTANCE instance, char *command_line,
                 PlatformWinMain win_main, RunBeacon *beacon) {
    run.o = &o;
    run.beacon = beacon;
    capture_keep_temps_on_crash();  // the watcher salvages or removes them
    std::string error;
    if (!open_outputs(o, &error)) {
        say_end(words_cannot_start(error));
        beacon->finished = 1;
        return RUN_BAD_INPUT;
    }
    platform_use_headless();
    headless_set_frame_history(0);
    headless_set_idle_hook(on_idle, nullptr);
    headless_set_ask_hook([](void *) { supervisor_heartbeat(); }, nullptr);
    // Composing every frame costs; only a run that keeps or counts them asks.
    if (!o.frames_dir.empty() || !o.gif.empty() || !o.last_frame.empty() || o.max_frames)
        headless_set_frame_hook(on_frame, nullptr);
    platform_set_debug_sink(on_log_line, nullptr);
    atexit(finish_at_exit);
    int result = win_main(instance, nullptr, command_line, SW_SHOWNORMAL);
    finish_run();
    return run.status ? run.status : result;
}
