// "Not responding" on an X11 desktop, as Windows does it. When the program
// has windows open and has not asked for a message for 5 seconds while input
// waits for it, a thread of the layer adds " (Not Responding)" to their
// captions and says once on standard error what that usually means; a close
// box or Ctrl+Q then ends the program, and asking again takes the mark away.
//
// The program's own thread is the stuck one, so the watcher works beside it
// on the windows' X connection, which Xlib locks around each call (SDL opens
// it with threads enabled). There it looks at the events waiting without
// taking any, and writes the caption properties itself. Only once the
// program has left the queue alone for 5 seconds does it read the
// connection; should the program ask again just then, an event it read may
// wait for the program's next timer or input.
//
// Ending: the program's thread cannot be reached, so the watcher flushes
// every C stream (a recording's lines written so far reach KAPLO.SCR) and
// ends the process with the run's "stuck" status, as Windows ends a program
// that is not responding when the user asks it to.
#include "backends/sdl/not_responding.h"

#if defined(SDL_VIDEO_DRIVER_X11) && defined(KAPLO_HAVE_X11)
#define KAPLO_WATCH_HANG 1
#endif

#ifdef KAPLO_WATCH_HANG
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "backends/sdl/display_loss.h"
#include "run/scripted_run.h"
#include "user/responding.h"

namespace {

constexpr uint64_t kHungAfterMs = 5000;  // Windows' time before a window is "not responding"
constexpr int kLookEveryMs = 200;
constexpr const char *kMark = " (Not Responding)";

struct Watched {
    const void *key;  // the layer's window record, never read here
    Window xid;
    std::string caption;  // as the program last set it
};

// The names the watcher uses on its display, looked up once.
struct Names {
    Atom protocols, delete_window, utf8, net_wm_name;
    KeyCode q;
};

// What the waiting events hold, seen without taking them off the queue.
struct Waiting {
    const Names *names;
    bool input = false;
    bool close = false;  // a close box (the window manager's delete request)
    bool ctrl_q = false;
};

// Lives as long as the process: the thread may outlive static destruction.
struct Watch {
    std::mutex lock;
    std::condition_variable wake;
    std::thread *thread = nullptr;
    bool stop = false;
    Display *display = nullptr;
    Names names{};
    std::vector<Watched> windows;
    uint64_t since = 0;   // when the first window was watched
    bool marked = false;
    uint64_t marked_after = 0;  // the last ask seen when the mark was set
    bool told = false;    // the explanation is printed once per process
};

Watch &watch = *new Watch;

// Records one waiting event; takes none.
Bool look(Display *, XEvent *ev, XPointer arg) {
    Waiting *w = reinterpret_cast<Waiting *>(arg);
    switch (ev->type) {
    case KeyPress:
        w->input = true;
        if ((ev->xkey.state & ControlMask) && ev->xkey.keycode == w->names->q) w->ctrl_q = true;
        break;
    case KeyRelease:
    case ButtonPress:
    case ButtonRelease:
    case MotionNotify: w->input = true; break;
    case ClientMessage:
        if (ev->xclient.message_type == w->names->protocols &&
            (Atom)ev->xclient.data.l[0] == w->names->delete_window)
            w->input = w->close = true;
        break;
    default: break;
    }
    return False;
}

// Sets a window's caption (both the old and the EWMH name) to this text.
void set_caption(Window xid, const std::string &text) {
    auto bytes = reinterpret_cast<const unsigned char *>(text.data());
    const Names &n = watch.names;
    XChangeProperty(watch.display, xid, XA_WM_NAME, n.utf8, 8, PropModeReplace, bytes, (int)text.size());
    XChangeProperty(watch.display, xid, n.net_wm_name, n.utf8, 8, PropModeReplace, bytes, (int)text.size());
}

// Puts the mark on every watched caption, or takes it off.
void show_mark(bool on) {
    for (const Watched &w : watch.windows)
        set_caption(w.xid, on ? w.caption + kMark : w.caption);
    XFlush(watch.display);
    watch.marked = on;
}

// Ends the program at the user's request: its streams flushed, no clean-up
// that would need its stuck thread.
[[noreturn]] void end_program(const char *how) {
    std::fprintf(stderr, "kaplo: %s while the program was not responding: ending it\n", how);
    std::fflush(nullptr);
    _exit(RUN_STUCK);
}

// One look at the program, with the watch locked.
void look_once() {
    if (watch.windows.empty() || display_lost()) return;
    uint64_t last = 0;
    bool left = false;
    if (user_asking(&last, &left) || (watch.marked && last != watch.marked_after)) {
        if (watch.marked) show_mark(false);  // it asked again
        return;
    }
    uint64_t quiet_since = last > watch.since ? last : watch.since;
    if (user_steady_ms() - quiet_since < kHungAfterMs) return;
    Waiting waiting;
    waiting.names = &watch.names;
    XEvent unused;
    XCheckIfEvent(watch.display, &unused, look, reinterpret_cast<XPointer>(&waiting));
    if (!watch.marked && (waiting.input || left)) {
        watch.marked_after = last;
        show_mark(true);
        if (!watch.told) {
            watch.told = true;
            std::fprintf(stderr,
                         "kaplo: the program has not asked for an event for 5 seconds while input waits, "
                         "so its windows say \"(Not Responding)\".\n"
                         "kaplo: in a KAPLO program this usually means a loop that never calls "
                         "KAPLO_next_event: call it each time round the loop.\n"
                         "kaplo: close the window or press Ctrl+Q to end the program.\n");
        }
    }
    if (!watch.marked) return;
    if (waiting.close) end_program("the window was closed");
    if (waiting.ctrl_q) end_program("Ctrl+Q was pressed");
}

// The watcher's thread: looks every kLookEveryMs until stopped.
void run() {
    std::unique_lock<std::mutex> hold(watch.lock);
    while (!watch.stop) {
        look_once();
        watch.wake.wait_for(hold, std::chrono::milliseconds(kLookEveryMs));
    }
}

// The watched window of a layer window, or nullptr.
Watched *find(const void *key) {
    for (Watched &x : watch.windows)
        if (x.key == key) return &x;
    return nullptr;
}

}  // namespace

// Watches a new X11 window of the program; starts the watcher with the first.
void not_responding_add(const void *key, SDL_Window *window, const char *caption) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    std::lock_guard<std::mutex> hold(watch.lock);
    if (watch.display && watch.display != info.info.x11.display) return;  // one display only
    if (!watch.display) {
        Display *d = info.info.x11.display;
        watch.names = Names{XInternAtom(d, "WM_PROTOCOLS", False), XInternAtom(d, "WM_DELETE_WINDOW", False),
                            XInternAtom(d, "UTF8_STRING", False), XInternAtom(d, "_NET_WM_NAME", False),
                            XKeysymToKeycode(d, XK_q)};
        watch.display = d;
    }
    watch.windows.push_back(Watched{key, info.info.x11.window, caption});
    if (watch.marked) show_mark(true);
    if (!watch.thread) {
        watch.stop = false;
        watch.marked = false;
        watch.since = user_steady_ms();
        watch.thread = new std::thread(run);
    }
}

// Follows a caption the program set; the mark stays on while it is due.
void not_responding_caption(const void *key, const char *caption) {
    std::lock_guard<std::mutex> hold(watch.lock);
    if (Watched *x = find(key)) x->caption = caption;
}

// Forgets a window before it is destroyed, so that nothing is sent to it after.
void not_responding_remove(const void *key) {
    std::lock_guard<std::mutex> hold(watch.lock);
    for (auto it = watch.windows.begin(); it != watch.windows.end(); ++it) {
        if (it->key != key) continue;
        watch.windows.erase(it);
        if (watch.windows.empty()) watch.marked = false;
        return;
    }
}

// Stops the watcher before the display closes.
void not_responding_stop(void) {
    std::thread *thread;
    {
        std::lock_guard<std::mutex> hold(watch.lock);
        thread = watch.thread;
        watch.stop = true;
        watch.thread = nullptr;
        watch.windows.clear();
        watch.display = nullptr;
        watch.marked = false;
    }
    watch.wake.notify_all();
    if (thread) {
        thread->join();
        delete thread;
    }
}

#else  // no X11: the desktop's own means (a compositor's "not responding" dialog) are all there is

void not_responding_add(const void *, SDL_Window *, const char *) {}
void not_responding_caption(const void *, const char *) {}
void not_responding_remove(const void *) {}
void not_responding_stop(void) {}

#endif
