// USER's internal records: window classes, windows, menus, the input queue,
// and the backend a window is shown through. Shared by user/ and backends/.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "gdi/surface.h"
#include "user/responding.h"

// Frame and bar metrics, the same for every window: a 601 x 540 window with a
// caption and a menu bar has a 595 x 476 client area.
constexpr int kFrame = 3;
constexpr int kCaption = 39;
constexpr int kMenuBar = 19;

// Pixels a window's DCs draw on. Outlives its window while DCs still point at
// it, so that drawing through a stale DC lands nowhere harmful.
struct SurfaceStore {
    Surface surface;
    std::vector<uint32_t> pixels;
    int open_dcs = 0;
    bool window_alive = true;
};

struct WindowClass {
    std::string name;
    WNDCLASSA wc{};
};

// An open pop-up menu: its pixels are an overlay composed over the window
// only for presentation, so the client area underneath keeps its pixels.
struct PopupState {
    int title = -1;       // index of the bar title it hangs from, -1 when closed
    HMENU menu = nullptr;
    RECT rect{};          // surface coordinates
    int hot = -1;         // item under the mouse, -1 for none
    std::vector<RECT> item_rects;  // surface coordinates
    SurfaceStore *overlay = nullptr;
};

struct Window {
    HWND handle = nullptr;
    WindowClass *cls = nullptr;
    WNDPROC proc = nullptr;
    std::string title;
    DWORD style = 0;
    DWORD ex_style = 0;
    RECT outer{};   // screen coordinates
    int client_w = 0;
    int client_h = 0;
    HMENU menu = nullptr;
    bool visible = false;
    bool sized = false;       // first WM_SIZE sent
    bool destroying = false;
    RECT update{};            // client coordinates; empty when valid
    bool erase = false;
    SurfaceStore *store = nullptr;
    bool dirty = false;       // drawn since last presented
    std::vector<RECT> title_rects;  // menu bar layout, surface coordinates
    PopupState popup;
    void *backend_data = nullptr;
};

// Raw input waiting to become messages, in arrival order.
struct InputEvent {
    // Text: characters with no key of their own (an input method's committed
    // text), one WM_CHAR per byte.
    enum Kind { Mouse, Key, Close, Text } kind = Mouse;
    HWND hwnd = nullptr;
    UINT message = 0;  // WM_LBUTTONDOWN ... WM_MOUSEMOVE, WM_KEYDOWN / WM_KEYUP
    int x = 0;         // client coordinates (negative y: the menu bar)
    int y = 0;
    int vk = 0;
    bool repeat = false;
    // A key from a desktop or page layout: its characters are `text` (UTF-8,
    // empty for a dead key), not the US table's.
    bool layout = false;
    std::string text;
    DWORD time = 0;
};

// What a backend offers the layer. A backend fills its table by field name;
// an entry it leaves null has nothing to do (window_created: the window
// opens at once), except now, which every backend has.
struct Backend {
    const char *name = "";
    uint64_t (*now)() = nullptr;             // milliseconds
    bool (*window_created)(Window *w) = nullptr;   // false: the window cannot be shown
    void (*window_destroyed)(Window *w) = nullptr;
    void (*window_shown)(Window *w, bool visible) = nullptr;
    void (*window_resized)(Window *w) = nullptr;   // surface size changed
    void (*window_drawn)(Window *w) = nullptr;     // pixels changed (frames, dirty marks)
    void (*present)(Window *w) = nullptr;          // show the surface and its overlay
    void (*poll)() = nullptr;                      // take in input without waiting
    // Waits until input arrives or the clock reaches deadline (UINT64_MAX:
    // no deadline). Returns when something may be ready.
    void (*wait)(uint64_t deadline) = nullptr;
    void (*shutdown)() = nullptr;
    int screen_width = 1280;
    int screen_height = 1024;
    bool keep_on_screen = false;  // new windows are placed wholly on the screen
};

// ---- layer (windows.cpp) ----
Backend *user_backend();
void user_set_backend(Backend *backend);
void user_reset();                 // drop every window, class, menu, message, timer
Window *user_window(HWND hwnd);    // nullptr unless a live window
std::vector<Window *> user_windows();  // live windows in creation order
int user_menu_height(const Window *w);
void user_resize_client(Window *w, bool tell_backend = true);  // after a menu change
void user_content_changed(Window *w, int x, int y, int width, int height);
POINT user_client_origin(const Window *w);  // screen position of client (0, 0)
Window *user_window_from_backend(void *backend_data);
// Where a new window with this outer rectangle goes so that it lies on a
// screen_width x screen_height screen: a sizable window larger than the
// screen shrinks to it, then the window moves up and left as far as needed.
RECT user_place_on_screen(RECT outer, bool sizable, int screen_width, int screen_height);

// ---- queue (queue.cpp) ----
void user_push_input(const InputEvent &event);
// Characters a layout made (UTF-8): they join the key press just queued for
// the window, or come as WM_CHAR of their own (an input method's text).
void user_push_text(HWND hwnd, const char *utf8);
bool user_have_pending();          // anything GetMessageA could return now
void user_purge_window(HWND hwnd);
void user_reset_queue();
void user_kill_window_timers(HWND hwnd);
uint64_t user_next_timer_due();    // UINT64_MAX when there is no timer
void user_set_key_state(int vk, bool down);
unsigned long user_posted_count();
DWORD user_now();

// ---- keyboard (keyboard.cpp) ----
// The character a key makes with the given modifiers, or -1 for none.
int user_key_char(int vk, bool shift, bool ctrl, bool caps);
// The key and modifiers that make a character; false when no key does.
bool user_char_key(unsigned char ch, int *vk, bool *shift, bool *ctrl);
// A key press taken from the input queue: TranslateMessage gives a layout's
// key the characters the layout made for it.
void user_key_taken(const InputEvent &event);
// Keys whose character is a control code on every layout (Enter, Backspace,
// Tab, Escape).
bool user_control_key(int vk);

// ---- menus (menus.cpp, menu_bar.cpp) ----
struct MenuItem {
    UINT flags = 0;
    UINT_PTR id = 0;
    std::string text;
    HMENU submenu = nullptr;
};
struct Menu {
    bool popup = false;
    std::vector<MenuItem> items;
};
Menu *user_menu(HMENU menu);
void user_reset_menus();
void user_destroy_menu_tree(HMENU menu);
void menu_draw_bar(Window *w);
void menu_layout_bar(Window *w);
void menu_open(Window *w, int title);
void menu_close(Window *w);
// Input seen by the menu first: returns true when the menu consumed it.
bool menu_take_input(Window *w, const InputEvent &event);
// Where an item of an open pop-up lies, surface coordinates.
bool menu_item_rect(Window *w, int position, RECT *rect);
int menu_title_of_command(Window *w, UINT id, int *position);

// ---- painting (paint.cpp) ----
SurfaceStore *user_new_surface(int width, int height, uint32_t fill);
void user_release_surface(SurfaceStore *store);
// The window's pixels as presented: surface with the open pop-up on top.
void user_compose(const Window *w, uint32_t *out);
HDC user_surface_dc(Window *w, SurfaceStore *store, int org_x, int org_y, RECT clip);
// The window's surface replaced `old`: its open DCs follow it.
void user_move_window_dcs(Window *w, SurfaceStore *old);
void user_release_surface_dc(HDC dc);
void user_suspend_present(bool suspend);
void user_present_dirty();
// GDI changed pixels of a window's surface (the hook USER registers with GDI).
void user_window_drawn(HWND owner);
