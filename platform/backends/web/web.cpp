// The web backend: each top-level window is a canvas in the page (its content
// is the menu bar and the client area, drawn by the layer), the page's mouse
// and keyboard become the layer's input, the clock is the page's, and a
// waiting GetMessageA sleeps (through Asyncify) until input or the next timer.
// The page's side is page.js.
#include <emscripten.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ansi_text.h"
#include "platform_tools.h"
#include "user/user.h"

namespace {

// Event kinds and the layout of an event as page.js hands it over.
enum { kMouse = 1, kKey = 2, kFocus = 3, kClose = 4, kText = 5 };
struct PageEvent {
    int kind, window, a, b, c, d;
};

// The page's side of a layer window.
struct WebWindow {
    int id = 0;
};

int next_id = 1;
std::vector<uint32_t> compose_buffer;

EM_JS(void, page_start, (), { Module.kaplo.start(); });
EM_JS(void, page_create, (int id, const char *title, int width, int height),
      { Module.kaplo.createWindow(id, UTF8ToString(title), width, height); });
EM_JS(void, page_destroy, (int id), { Module.kaplo.destroyWindow(id); });
EM_JS(void, page_show, (int id, int visible), { Module.kaplo.showWindow(id, visible != 0); });
EM_JS(void, page_resize, (int id, int width, int height), { Module.kaplo.resizeWindow(id, width, height); });
EM_JS(void, page_present, (int id, const void *pixels, int width, int height),
      { Module.kaplo.present(id, pixels, width, height); });
EM_JS(int, page_take_event, (PageEvent *out), { return Module.kaplo.takeEvent(out); });
EM_JS(void, page_check_script, (), { Module.kaplo.checkScript(); });
EM_JS(int, page_screen_width, (), { return window.screen ? window.screen.width : 1280; });
EM_JS(int, page_screen_height, (), { return window.screen ? window.screen.height : 1024; });
EM_ASYNC_JS(void, page_sleep, (double ms), { await Module.kaplo.sleep(ms); });

// The page's side of a layer window.
WebWindow *web_of(Window *w) { return static_cast<WebWindow *>(w->backend_data); }

// The layer window with a page id, null when it is gone.
Window *window_of(int id) {
    for (Window *w : user_windows()) {
        WebWindow *s = web_of(w);
        if (s && s->id == id) return w;
    }
    return nullptr;
}

// Milliseconds of the page's clock.
uint64_t now() { return static_cast<uint64_t>(emscripten_get_now()); }

// Makes the (hidden) canvas where the client area and menu bar belong; a
// page can always make one.
bool window_created(Window *w) {
    auto *s = new WebWindow;
    s->id = next_id++;
    w->backend_data = s;
    std::string title;  // UTF-8, any other byte read as Windows-1252 as GDI reads it
    ansi_text::to_utf8(w->title.c_str(), static_cast<int>(w->title.size()), &title);
    page_create(s->id, title.c_str(), w->store->surface.width, w->store->surface.height);
    return true;
}

// Removes the canvas.
void window_destroyed(Window *w) {
    WebWindow *s = web_of(w);
    if (!s) return;
    page_destroy(s->id);
    delete s;
    w->backend_data = nullptr;
}

// Shows or hides the canvas.
void window_shown(Window *w, bool visible) {
    WebWindow *s = web_of(w);
    if (!s) return;
    page_show(s->id, visible);
    if (visible) w->dirty = true;
}

// Follows a change of the surface size (a menu bar added or removed).
void window_resized(Window *w) {
    WebWindow *s = web_of(w);
    if (!s) return;
    page_resize(s->id, w->store->surface.width, w->store->surface.height);
    w->dirty = true;
}

// Drawing only marks the window; it is presented before the layer waits.
void window_drawn(Window *) {}

// Puts the window's surface and open pop-up on its canvas, as RGBA bytes.
void present(Window *w) {
    WebWindow *s = web_of(w);
    if (!s) return;
    int width = w->store->surface.width, height = w->store->surface.height;
    if (width <= 0 || height <= 0) return;
    compose_buffer.resize(static_cast<size_t>(width) * height);
    user_compose(w, compose_buffer.data());
    for (uint32_t &p : compose_buffer)  // 0x00RRGGBB -> bytes R, G, B, 255
        p = ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16) | 0xFF000000u;
    page_present(s->id, compose_buffer.data(), width, height);
}

// The message of a page mouse button (0 left, 1 right, 2 middle) going down or up.
UINT button_message(int button, bool down) {
    switch (button) {
    case 0: return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case 1: return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    default: return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    }
}

// Turns one page event into the layer's input.
void handle(const PageEvent &ev) {
    Window *w = ev.window ? window_of(ev.window) : nullptr;
    switch (ev.kind) {
    case kMouse: {
        if (!w) return;
        InputEvent e;
        e.hwnd = w->handle;
        e.message = ev.a == 2 ? WM_MOUSEMOVE : button_message(ev.b, ev.a == 1);
        e.x = ev.c;
        e.y = ev.d - user_menu_height(w);
        user_push_input(e);
        break;
    }
    case kFocus:
        if (w) SetFocus(w->handle);
        break;
    case kClose: {  // the close box in the window's caption
        if (!w) return;
        InputEvent e;
        e.kind = InputEvent::Close;
        e.hwnd = w->handle;
        user_push_input(e);
        break;
    }
    case kKey: {
        HWND target = w ? w->handle : GetFocus();
        if (!target) return;
        // Caps Lock as the page sees it, so that letters come out as typed.
        bool caps = ev.d != 0;
        if (ev.b != VK_CAPITAL && caps != ((GetKeyState(VK_CAPITAL) & 1) != 0)) {
            user_set_key_state(VK_CAPITAL, true);
            user_set_key_state(VK_CAPITAL, false);
        }
        InputEvent e;
        e.kind = InputEvent::Key;
        e.hwnd = target;
        e.message = ev.a ? WM_KEYDOWN : WM_KEYUP;
        e.vk = ev.b;
        e.repeat = ev.c != 0;
        e.layout = true;  // its characters follow as text
        user_push_input(e);
        break;
    }
    case kText: {  // one typed character's UTF-8 bytes, from the page's layout or input method
        char bytes[5] = {(char)ev.a, (char)ev.b, (char)ev.c, (char)ev.d, 0};
        user_push_text(w ? w->handle : GetFocus(), bytes);
        break;
    }
    default: break;
    }
}

// Takes in every page event waiting, without blocking.
void poll() {
    PageEvent ev;
    while (page_take_event(&ev)) handle(ev);
}

// Gives the page back until an event arrives or the deadline passes; the
// processor is idle meanwhile.
void wait(uint64_t deadline) {
    page_check_script();
    if (deadline == UINT64_MAX) {
        page_sleep(-1);
    } else {
        uint64_t t = now();
        if (deadline > t) page_sleep(static_cast<double>(deadline - t));
    }
    poll();
}

// Nothing to close: the canvases go with their windows.
void shutdown() {}

// The web backend's table, filled by field name.
Backend page_backend() {
    Backend b;
    b.name = "web";
    b.now = now;
    b.window_created = window_created;
    b.window_destroyed = window_destroyed;
    b.window_shown = window_shown;
    b.window_resized = window_resized;
    b.window_drawn = window_drawn;
    b.present = present;
    b.poll = poll;
    b.wait = wait;
    b.shutdown = shutdown;
    return b;
}

Backend page = page_backend();

}  // namespace

// Selects the web backend (the layer's main() calls it in a page).
int platform_use_desktop(void) {
    user_reset();
    page_start();
    page.screen_width = page_screen_width();
    page.screen_height = page_screen_height();
    user_set_backend(&page);
    return 1;
}
