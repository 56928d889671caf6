// The headless backend: no display, a virtual clock that jumps to the next
// timer, injected input, and the newest frames of each window kept for tests.
#include <cstdio>
#include <cstdlib>
#include <map>

#include "capture/output_file.h"
#include "platform_tools.h"
#include "user/user.h"

namespace {

// One presented picture of a window's surface (menu bar and client area).
struct Frame {
    std::vector<uint32_t> pixels;
    int width = 0;
    int height = 0;
    int menu_height = 0;
};

// The newest frames of one window, newest first, and how many there were.
struct FrameRing {
    long count = 0;
    std::deque<Frame> frames;
};

uint64_t clock_ms = 0;
HeadlessIdleHook idle_hook = nullptr;
void *idle_context = nullptr;
HeadlessIdleHook ask_hook = nullptr;
void *ask_context = nullptr;
int history = 4;
std::map<HWND, FrameRing> rings;
HeadlessFrameHook frame_hook = nullptr;
void *frame_context = nullptr;
std::vector<uint32_t> hook_buffer;  // the composed frame when none is kept

// Virtual milliseconds.
uint64_t now() { return clock_ms; }

// Set by headless_fail_windows: windows cannot be opened.
bool fail_windows = false;

// A window without a display opens at once, unless a test made opening fail.
bool window_created(Window *) { return !fail_windows; }


// Keeps a frame of what the window now shows, reusing the oldest buffer.
void window_drawn(Window *w) {
    FrameRing &ring = rings[w->handle];
    ring.count++;
    w->dirty = false;
    if (history <= 0) {
        if (!frame_hook) return;
        int width = w->store->surface.width, height = w->store->surface.height;
        hook_buffer.resize((size_t)width * height);
        user_compose(w, hook_buffer.data());
        frame_hook(w->handle, hook_buffer.data(), width, height, frame_context);
        return;
    }
    Frame f;
    if ((int)ring.frames.size() >= history) {
        f = std::move(ring.frames.back());
        ring.frames.pop_back();
    }
    f.width = w->store->surface.width;
    f.height = w->store->surface.height;
    f.menu_height = user_menu_height(w);
    f.pixels.resize((size_t)f.width * f.height);
    user_compose(w, f.pixels.data());
    ring.frames.push_front(std::move(f));
    const Frame &kept = ring.frames.front();
    if (frame_hook) frame_hook(w->handle, kept.pixels.data(), kept.width, kept.height, frame_context);
}

// Nothing is pending: ask the idle hook, then jump the clock to the next
// timer; with nothing that could ever arrive, fail at once.
void wait(uint64_t) {
    if (user_have_pending()) return;
    if (idle_hook) {
        idle_hook(idle_context);
        if (user_have_pending()) return;
    }
    uint64_t due = user_next_timer_due();
    if (due == UINT64_MAX) {
        fprintf(stderr,
                "headless backend: GetMessageA would wait forever (no timer, no input, no "
                "posted message)\n");
        abort();
    }
    if (clock_ms < due) clock_ms = due;
}

// GetMessageA looks for a message.
void poll() {
    if (ask_hook) ask_hook(ask_context);
}

// The backend's table, filled by field name; without a display there is
// nothing to show, present, poll or close.
Backend headless_backend() {
    Backend b;
    b.name = "headless";
    b.now = now;
    b.window_created = window_created;
    b.window_drawn = window_drawn;
    b.wait = wait;
    b.poll = poll;
    return b;
}

// Queues one mouse event at a client point.
void push_mouse(HWND hwnd, UINT message, int x, int y) {
    InputEvent e;
    e.kind = InputEvent::Mouse;
    e.hwnd = hwnd;
    e.message = message;
    e.x = x;
    e.y = y;
    user_push_input(e);
}

// Queues one key event; a layout's key (layout) brings its own characters.
void push_key(HWND hwnd, UINT message, int vk, bool layout = false) {
    InputEvent e;
    e.kind = InputEvent::Key;
    e.hwnd = hwnd;
    e.message = message;
    e.vk = vk;
    e.layout = layout;
    user_push_input(e);
}

// Feeds a click straight to the menu, as the queue would.
void menu_click(Window *w, int surface_x, int surface_y) {
    InputEvent e;
    e.kind = InputEvent::Mouse;
    e.hwnd = w->handle;
    e.message = WM_LBUTTONDOWN;
    e.x = surface_x;
    e.y = surface_y - user_menu_height(w);
    menu_take_input(w, e);
    e.message = WM_LBUTTONUP;
    menu_take_input(w, e);
}

}  // namespace

// Selects the headless backend, resetting the whole layer.
void platform_use_headless(void) {
    user_reset();
    clock_ms = 0;
    idle_hook = nullptr;
    idle_context = nullptr;
    ask_hook = nullptr;
    ask_context = nullptr;
    frame_hook = nullptr;
    frame_context = nullptr;
    history = 4;
    rings.clear();
    fail_windows = false;
    static Backend headless = headless_backend();
    user_set_backend(&headless);
}

// Makes every window creation fail from now on (on != 0), or work again.
void headless_fail_windows(int on) { fail_windows = on != 0; }

// Virtual milliseconds since the backend was selected.
DWORD headless_now(void) { return (DWORD)clock_ms; }

// Moves the virtual clock forward.
void headless_advance(DWORD ms) { clock_ms += ms; }

// Left button down and up at a client point.
void headless_click(HWND hwnd, int client_x, int client_y) {
    push_mouse(hwnd, WM_LBUTTONDOWN, client_x, client_y);
    push_mouse(hwnd, WM_LBUTTONUP, client_x, client_y);
}

// Left button down only.
void headless_mouse_down(HWND hwnd, int client_x, int client_y) {
    push_mouse(hwnd, WM_LBUTTONDOWN, client_x, client_y);
}

// A key press.
void headless_key_down(HWND hwnd, int virtual_key) { push_key(hwnd, WM_KEYDOWN, virtual_key); }

// A key release.
void headless_key_up(HWND hwnd, int virtual_key) { push_key(hwnd, WM_KEYUP, virtual_key); }

// Key presses that TranslateMessage turns into exactly these characters;
// characters no key makes are skipped.
void headless_type(HWND hwnd, const char *text) {
    if (!text) return;
    for (const char *p = text; *p; ++p) {
        int vk;
        bool shift, ctrl;
        if (!user_char_key((unsigned char)*p, &vk, &shift, &ctrl)) continue;
        bool letter = vk >= 'A' && vk <= 'Z' && !ctrl;
        if (letter && (GetKeyState(VK_CAPITAL) & 1)) shift = !shift;
        if (shift) push_key(hwnd, WM_KEYDOWN, VK_SHIFT);
        if (ctrl) push_key(hwnd, WM_KEYDOWN, VK_CONTROL);
        push_key(hwnd, WM_KEYDOWN, vk);
        push_key(hwnd, WM_KEYUP, vk);
        if (ctrl) push_key(hwnd, WM_KEYUP, VK_CONTROL);
        if (shift) push_key(hwnd, WM_KEYUP, VK_SHIFT);
    }
}

// The desktop gives the window's content (menu bar and client area) a new
// size the program did not ask for, as a window manager may.
int headless_resize_window(HWND hwnd, int width, int height) {
    Window *w = user_window(hwnd);
    if (!w || width < 0 || height < 0) return 0;
    POINT o = user_client_origin(w);
    user_content_changed(w, o.x, o.y - user_menu_height(w), width, height);
    return 1;
}

// A layout's key pressed and released, with the characters it types.
void headless_layout_key(HWND hwnd, int virtual_key, const char *text) {
    push_key(hwnd, WM_KEYDOWN, virtual_key, true);
    user_push_text(hwnd, text);
    push_key(hwnd, WM_KEYUP, virtual_key, true);
}

// An input method's committed text.
void headless_input_text(HWND hwnd, const char *text) { user_push_text(hwnd, text); }

// A click on the close box.
void headless_close_box(HWND hwnd) {
    InputEvent e;
    e.kind = InputEvent::Close;
    e.hwnd = hwnd;
    user_push_input(e);
}

// Clicks the title whose pop-up holds the command, then the item; when that
// chose nothing (a grayed item), Escape closes the pop-up again.
int headless_choose_menu(HWND hwnd, UINT command_id) {
    Window *w = user_window(hwnd);
    if (!w || !w->menu) return 0;
    int position;
    int title = menu_title_of_command(w, command_id, &position);
    if (title < 0) return 0;
    if (w->title_rects.empty()) menu_layout_bar(w);
    if (title >= (int)w->title_rects.size()) return 0;
    unsigned long before = user_posted_count();
    if (w->popup.title != title) {
        const RECT &t = w->title_rects[title];
        menu_click(w, (t.left + t.right) / 2, (t.top + t.bottom) / 2);
    }
    RECT r;
    if (menu_item_rect(w, position, &r)) menu_click(w, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    if (w->popup.title >= 0) menu_close(w);
    return user_posted_count() != before ? 1 : 0;
}

// Sets the hook called when GetMessageA finds nothing to return.
void headless_set_idle_hook(HeadlessIdleHook hook, void *context) {
    idle_hook = hook;
    idle_context = context;
}

// Sets the hook called each time GetMessageA looks for a message.
void headless_set_ask_hook(HeadlessIdleHook hook, void *context) {
    ask_hook = hook;
    ask_context = context;
}

// How many frames each window keeps.
void headless_set_frame_history(int frames) {
    history = frames < 0 ? 0 : frames;
    for (auto &kv : rings)
        while ((int)kv.second.frames.size() > history) kv.second.frames.pop_back();
}

// Frames presented to a window so far.
long headless_frame_count(HWND hwnd) {
    auto it = rings.find(hwnd);
    return it == rings.end() ? 0 : it->second.count;
}

// A pixel of a kept frame at a client point (negative y: the menu bar).
int headless_frame_pixel(HWND hwnd, int age, int x, int y, DWORD *pixel) {
    auto it = rings.find(hwnd);
    if (it == rings.end() || age < 0 || age >= (int)it->second.frames.size()) return 0;
    const Frame &f = it->second.frames[age];
    int sy = y + f.menu_height;
    if (x < 0 || x >= f.width || sy < 0 || sy >= f.height) return 0;
    if (pixel) *pixel = f.pixels[(size_t)sy * f.width + x] & 0xFFFFFF;
    return 1;
}

// Writes the window's surface with its open pop-up as an RGB PNG, whole or
// not at all.
int headless_save_png(HWND hwnd, const char *path) {
    Window *w = user_window(hwnd);
    if (!w || !path || !w->store) return 0;
    int width = w->store->surface.width, height = w->store->surface.height;
    if (width <= 0 || height <= 0) return 0;
    std::vector<uint32_t> pixels((size_t)width * height);
    user_compose(w, pixels.data());
    std::string error;
    return capture_write_png(path, pixels.data(), width, height, &error) ? 1 : 0;
}

// Sets the hook that sees every presented frame.
void headless_set_frame_hook(HeadlessFrameHook hook, void *context) {
    frame_hook = hook;
    frame_context = context;
}

// Where a bar title (item -1) or an item of its open pop-up lies, in client
// coordinates.
int headless_menu_rect(HWND hwnd, int title, int item, RECT *rect) {
    Window *w = user_window(hwnd);
    if (!w || !w->menu || !rect) return 0;
    if (w->title_rects.empty()) menu_layout_bar(w);
    if (title < 0 || title >= (int)w->title_rects.size()) return 0;
    RECT r;
    if (item < 0) {
        r = w->title_rects[title];
    } else {
        if (w->popup.title != title || !menu_item_rect(w, item, &r)) return 0;
    }
    int mh = user_menu_height(w);
    *rect = RECT{r.left, r.top - mh, r.right, r.bottom - mh};
    return 1;
}
