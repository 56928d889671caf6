// F12 and Shift+F12 on the desktop: a PNG of the drawing window now, or an
// animated GIF from one press to the next at the real pace of presentation.
// The file's name goes to standard error and, for a few seconds, into the
// window's caption.
#include "backends/sdl/sdl_capture.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "capture/gif_writer.h"
#include "capture/output_file.h"

namespace {

constexpr Uint32 kNoteMs = 3000;  // how long the caption shows the file's name

GifWriter gif;
std::string gif_path;
int gif_width = 0, gif_height = 0;
HWND recording = nullptr;  // the window being recorded
Uint32 note_event = (Uint32)-1;
HWND noted = nullptr;     // the window whose caption shows a note
unsigned note_serial = 0;  // only the newest note's timer restores the caption

// A free name in the current folder: kaplo-YYYYMMDD-HHMMSS[-N].ext.
std::string free_name(const char *ext) {
    time_t now = time(nullptr);
    struct tm t;
    localtime_r(&now, &t);
    char stamp[32];
    strftime(stamp, sizeof stamp, "kaplo-%Y%m%d-%H%M%S", &t);
    struct stat st;
    std::string name = std::string(stamp) + ext;
    for (int n = 2; stat(name.c_str(), &st) == 0; ++n)
        name = std::string(stamp) + "-" + std::to_string(n) + ext;
    return name;
}

// Posts the end of a caption note from SDL's timer thread.
Uint32 note_over(Uint32, void *param) {
    SDL_Event ev{};
    ev.type = note_event;
    ev.user.code = (Sint32)(uintptr_t)param;
    SDL_PushEvent(&ev);
    return 0;
}

// Prints the message and shows it in the window's caption for a while.
void tell(Window *w, const std::string &message) {
    fprintf(stderr, "kaplo: %s\n", message.c_str());
    if (note_event == (Uint32)-1) note_event = SDL_RegisterEvents(1);
    if (!SDL_WasInit(SDL_INIT_TIMER)) SDL_InitSubSystem(SDL_INIT_TIMER);
    sdl_set_caption(w, (w->title + " - " + message).c_str());
    noted = w->handle;
    SDL_AddTimer(kNoteMs, note_over, (void *)(uintptr_t)++note_serial);
}

// The window a capture key means.
Window *capture_target(Window *pressed_in) {
    if (pressed_in && pressed_in->menu) return pressed_in;
    for (Window *w : user_windows())
        if (w->visible && w->menu) return w;
    return pressed_in;
}

// Finishes the GIF being recorded and says so.
void stop_recording(Window *w) {
    std::string error;
    recording = nullptr;
    if (gif.finish(SDL_GetTicks64(), &error))
        tell(w, "saved " + gif_path + " (" + std::to_string(gif.frames_written()) + " frames)");
    else
        tell(w, "GIF not saved: " + error);
}

// The picture the window shows now.
std::vector<uint32_t> picture(Window *w, int *width, int *height) {
    *width = w->store->surface.width;
    *height = w->store->surface.height;
    std::vector<uint32_t> pixels((size_t)*width * *height);
    user_compose(w, pixels.data());
    return pixels;
}

}  // namespace

// F12: a PNG now; Shift+F12: start or stop the GIF.
void sdl_capture_key(Window *pressed_in, bool shift) {
    Window *w = capture_target(pressed_in);
    if (!w || !w->store) return;
    std::string error;
    int width, height;
    if (!shift) {
        std::vector<uint32_t> pixels = picture(w, &width, &height);
        std::string name = free_name(".png");
        if (capture_write_png(name, pixels.data(), width, height, &error))
            tell(w, "saved " + name);
        else
            tell(w, "PNG not saved: " + error);
        return;
    }
    if (recording) {
        Window *r = user_window(recording);
        stop_recording(r ? r : w);
        return;
    }
    gif_path = free_name(".gif");
    std::vector<uint32_t> pixels = picture(w, &width, &height);
    gif_width = width;
    gif_height = height;
    if (!gif.open(gif_path, width, height, &error) ||
        !gif.add_frame(pixels.data(), SDL_GetTicks64(), &error)) {
        tell(w, "cannot record: " + error);
        return;
    }
    recording = w->handle;
    tell(w, "recording " + gif_path + " (Shift+F12 stops)");
}

// Adds a presented picture to the GIF when it is of the recorded window.
void sdl_capture_presented(Window *w, const uint32_t *pixels, int width, int height) {
    if (!recording || w->handle != recording) return;
    std::string error;
    if (width != gif_width || height != gif_height) return;
    if (!gif.add_frame(pixels, SDL_GetTicks64(), &error)) {
        recording = nullptr;
        tell(w, "GIF not saved: " + error);
    }
}

// Finishes the GIF of a window that is being destroyed.
void sdl_capture_window_gone(Window *w) {
    if (recording && w->handle == recording) stop_recording(w);
    if (noted == w->handle) noted = nullptr;
}

// Puts the caption back when the newest note runs out.
bool sdl_capture_event(const SDL_Event &ev) {
    if (note_event == (Uint32)-1 || ev.type != note_event) return false;
    Window *w = noted ? user_window(noted) : nullptr;
    if (w && (unsigned)ev.user.code == note_serial) {
        sdl_set_caption(w, w->title.c_str());
        noted = nullptr;
    }
    return true;
}
