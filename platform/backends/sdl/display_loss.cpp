// Watching the X display: a broken connection sets a flag and says so on
// standard error, instead of Xlib's default of ending the process at once
// (which loses what the program had still to write, such as a recording).
// Once the flag is set, Xlib calls on that display return at once with errors.
// Only on X11, and only where the layer was built with Xlib (KAPLO_HAVE_X11):
// elsewhere the watch does nothing and the flag stays clear.
#include "backends/sdl/display_loss.h"

#include <SDL_syswm.h>
#include <signal.h>

#include <cstdio>

#if defined(SDL_VIDEO_DRIVER_X11) && defined(KAPLO_HAVE_X11)
#define KAPLO_WATCH_X11 1
#include <X11/Xlib.h>
#endif

namespace {

volatile sig_atomic_t lost = 0;

#ifdef KAPLO_WATCH_X11
Display *watched = nullptr;

// Xlib's report of the broken connection: ours, once.
int on_io_error(Display *) {
    if (!lost) std::fprintf(stderr, "kaplo: the connection to the display was lost; ending the program\n");
    lost = 1;
    return 0;
}

// Called where Xlib would end the process: returning leaves the program running.
void on_io_error_exit(Display *, void *) { lost = 1; }
#endif

}  // namespace

// Takes over the broken-connection handling of the window's X display.
void display_loss_watch(SDL_Window *window) {
#ifdef KAPLO_WATCH_X11
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    Display *display = info.info.x11.display;
    if (!display || display == watched) return;
    watched = display;
    XSetIOErrorHandler(on_io_error);
    XSetIOErrorExitHandler(display, on_io_error_exit, nullptr);
#else
    (void)window;
#endif
}

// Whether the connection broke.
bool display_lost(void) { return lost != 0; }

// Ignores SIGPIPE unless the program chose its own handling of it (a system
// without SIGPIPE has no such signal to fear).
void display_loss_ignore_broken_pipes(void) {
#ifdef SIGPIPE
    struct sigaction current;
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);
#endif
}
