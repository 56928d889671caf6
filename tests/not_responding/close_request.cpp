// Asks a window to close as a window manager does when its close box is
// clicked: the WM_DELETE_WINDOW message of the WM_PROTOCOLS protocol.
//   close_request WINDOW_ID   (the display from DISPLAY)
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: close_request WINDOW_ID\n");
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "close_request: cannot open the display\n");
        return 1;
    }
    XEvent ev;
    std::memset(&ev, 0, sizeof ev);
    ev.xclient.type = ClientMessage;
    ev.xclient.window = (Window)std::strtoul(argv[1], nullptr, 0);
    ev.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    ev.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, ev.xclient.window, False, NoEventMask, &ev);
    XSync(display, False);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}
