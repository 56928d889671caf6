// Window classes and windows: creation and show sequences, destruction,
// rectangles, focus, and the layer's reset between tests.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <strings.h>

#include "platform_tools.h"
#include "user/user.h"

namespace {

std::vector<std::unique_ptr<WindowClass>> classes;
std::map<uintptr_t, std::unique_ptr<Window>> windows;  // ordered by handle = creation
uintptr_t next_handle = 0x10010;  // never reused, so a stale handle stays invalid
HWND focus_window = nullptr;
Backend *backend = nullptr;
int default_position = 0;

// The class registered under this name (names compare without case).
WindowClass *find_class(LPCSTR name) {
    if (!name) return nullptr;
    for (auto &c : classes)
        if (strcasecmp(c->name.c_str(), name) == 0) return c.get();
    return nullptr;
}

// Frame width for a style: none for a bare pop-up, one for a border, else kFrame.
int frame_of(DWORD style) {
    if (style & (WS_THICKFRAME | WS_CAPTION)) return kFrame;
    if (style & WS_BORDER) return 1;
    return 0;
}

// Caption height for a style.
int caption_of(DWORD style) { return (style & WS_CAPTION) == WS_CAPTION ? kCaption : 0; }

// Makes hwnd the focus window, telling the old and new focus.
void move_focus(HWND hwnd) {
    HWND old = focus_window;
    if (old == hwnd) return;
    focus_window = hwnd;
    if (old && user_window(old)) SendMessageA(old, WM_KILLFOCUS, (WPARAM)hwnd, 0);
    if (hwnd) SendMessageA(hwnd, WM_SETFOCUS, (WPARAM)old, 0);
}

// Sends the first WM_SIZE and WM_MOVE of a window.
void send_first_size(Window *w) {
    w->sized = true;
    SendMessageA(w->handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->client_w, w->client_h));
    POINT o = user_client_origin(w);
    SendMessageA(w->handle, WM_MOVE, 0, MAKELPARAM(o.x, o.y));
}

}  // namespace

// The backend windows are shown through.
Backend *user_backend() { return backend; }

// Switches to another backend after the layer was reset.
void user_set_backend(Backend *b) {
    backend = b;
    gdi_set_window_drawn_hook(user_window_drawn);
}

// The live window behind a handle, or nullptr.
Window *user_window(HWND hwnd) {
    auto it = windows.find(reinterpret_cast<uintptr_t>(hwnd));
    if (it == windows.end() || !it->second) return nullptr;
    return it->second.get();
}

// All live windows in creation order.
std::vector<Window *> user_windows() {
    std::vector<Window *> out;
    for (auto &kv : windows) out.push_back(kv.second.get());
    return out;
}

// The window whose backend data this is.
Window *user_window_from_backend(void *data) {
    for (auto &kv : windows)
        if (kv.second->backend_data == data) return kv.second.get();
    return nullptr;
}

// Height of the window's menu bar, 0 without one.
int user_menu_height(const Window *w) { return w->menu ? kMenuBar : 0; }

// Screen position of the client area's top-left corner.
POINT user_client_origin(const Window *w) {
    POINT p;
    p.x = w->outer.left + frame_of(w->style);
    p.y = w->outer.top + frame_of(w->style) + caption_of(w->style) + user_menu_height(w);
    return p;
}

// The desktop moved or resized the window's content (menu bar and client
// area): the outer rectangle follows, then the client area.
void user_content_changed(Window *w, int x, int y, int width, int height) {
    int f = frame_of(w->style);
    int top = f + caption_of(w->style);
    w->outer = RECT{x - f, y - top, x + width + f, y + height + f};
    user_resize_client(w, false);
}

// Recomputes the client size from the outer size and the menu, reallocating
// the surface; sends WM_SIZE when the window already had its first one.
void user_resize_client(Window *w, bool tell_backend) {
    int f = frame_of(w->style);
    int cw = std::max(0, (int)(w->outer.right - w->outer.left) - 2 * f);
    int ch = std::max(0, (int)(w->outer.bottom - w->outer.top) - 2 * f - caption_of(w->style) -
                             user_menu_height(w));
    int sh = ch + user_menu_height(w);
    bool changed = cw != w->client_w || ch != w->client_h;
    w->client_w = cw;
    w->client_h = ch;
    if (!w->store || w->store->surface.width != cw || w->store->surface.height != sh) {
        SurfaceStore *old = w->store;
        w->store = user_new_surface(cw, sh, 0xFFFFFF);
        if (old) user_move_window_dcs(w, old);
        user_release_surface(old);
        if (tell_backend && backend && w->backend_data && backend->window_resized) backend->window_resized(w);
        w->update = RECT{0, 0, cw, ch};
        w->erase = true;
        w->title_rects.clear();
        if (w->visible && w->menu) menu_draw_bar(w);
    }
    if (changed && w->sized) SendMessageA(w->handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cw, ch));
}

// Where a new window goes so that it lies on the screen.
RECT user_place_on_screen(RECT outer, bool sizable, int screen_width, int screen_height) {
    LONG width = outer.right - outer.left, height = outer.bottom - outer.top;
    if (sizable) {
        width = std::min<LONG>(width, screen_width);
        height = std::min<LONG>(height, screen_height);
    }
    LONG x = std::max<LONG>(0, std::min<LONG>(outer.left, screen_width - width));
    LONG y = std::max<LONG>(0, std::min<LONG>(outer.top, screen_height - height));
    return RECT{x, y, x + width, y + height};
}

// Drops every window, class, menu, message and timer without sending anything.
void user_reset() {
    for (auto &kv : windows) {
        Window *w = kv.second.get();
        menu_close(w);
        if (backend && w->backend_data && backend->window_destroyed) backend->window_destroyed(w);
        user_release_surface(w->store);
    }
    windows.clear();
    classes.clear();
    focus_window = nullptr;
    default_position = 0;
    user_reset_queue();
    user_reset_menus();
    if (backend && backend->shutdown) backend->shutdown();
    backend = nullptr;
}

// Registers a window class; fails for an existing name.
ATOM WINAPI RegisterClassA(const WNDCLASSA *wc) {
    static ATOM next_atom = 0xC000;
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || find_class(wc->lpszClassName)) return 0;
    auto c = std::make_unique<WindowClass>();
    c->name = wc->lpszClassName;
    c->wc = *wc;
    c->wc.lpszClassName = nullptr;  // the copy above owns the name
    c->wc.lpszMenuName = nullptr;
    classes.push_back(std::move(c));
    return next_atom++;
}

// The stock application icon: a token handle, as nothing draws icons here.
HICON WINAPI LoadIconA(HINSTANCE, LPCSTR) {
    static char icon;
    return reinterpret_cast<HICON>(&icon);
}

// The stock arrow cursor: the desktop's own pointer is the arrow.
HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR) {
    static char cursor;
    return reinterpret_cast<HCURSOR>(&cursor);
}

// Screen size and the frame metrics of this layer.
int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN: return backend ? backend->screen_width : 1280;
    case SM_CYSCREEN: return backend ? backend->screen_height : 1024;
    case 4: return kCaption;        // SM_CYCAPTION
    case 7: case 8: return kFrame;  // SM_CXFIXEDFRAME, SM_CYFIXEDFRAME
    case 15: return kMenuBar;       // SM_CYMENU
    case 32: case 33: return kFrame;  // SM_CXSIZEFRAME, SM_CYSIZEFRAME
    default: return 0;
    }
}

// Creates a top-level window: WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE,
// WM_CREATE, and with WS_VISIBLE the first show inside the call.
HWND WINAPI CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    WindowClass *cls = find_class(class_name);
    if (!cls || !backend) return nullptr;
    if (!(style & WS_POPUP)) style |= WS_CAPTION;  // overlapped windows always have a caption
    if (x == CW_USEDEFAULT) {
        x = y = 26 * (default_position++ % 8);
    }
    if (width == CW_USEDEFAULT) {
        width = 640;
        height = 480;
    }
    // Sizes beyond twice the screen are cut down (Windows, too, bounds a
    // window's size), so that a wild argument cannot ask for gigabytes of
    // surface; positions are kept where a rectangle cannot overflow.
    int limit = 2 * std::max(backend->screen_width, backend->screen_height);
    width = std::min(std::max(width, 0), limit);
    height = std::min(std::max(height, 0), limit);
    x = std::min(std::max(x, -1000000), 1000000);
    y = std::min(std::max(y, -1000000), 1000000);
    if (backend->keep_on_screen) {
        RECT r = user_place_on_screen(RECT{x, y, x + width, y + height}, (style & WS_THICKFRAME) != 0,
                                      backend->screen_width, backend->screen_height);
        x = r.left, y = r.top, width = r.right - r.left, height = r.bottom - r.top;
    }
    auto owned = std::make_unique<Window>();
    Window *w = owned.get();
    HWND hwnd = reinterpret_cast<HWND>(next_handle);
    next_handle += 4;
    w->handle = hwnd;
    w->cls = cls;
    w->proc = cls->wc.lpfnWndProc;
    w->title = title ? title : "";
    w->style = style & ~WS_VISIBLE;
    w->ex_style = ex_style;
    w->outer = RECT{x, y, x + width, y + height};
    if (menu && user_menu(menu) && !user_menu(menu)->popup) w->menu = menu;
    windows[reinterpret_cast<uintptr_t>(hwnd)] = std::move(owned);
    user_resize_client(w);
    w->update = RECT{0, 0, 0, 0};
    w->erase = false;
    if (backend->window_created && !backend->window_created(w)) {  // nowhere to show it: undo the record, send nothing
        user_release_surface(w->store);
        windows.erase(reinterpret_cast<uintptr_t>(hwnd));
        return nullptr;
    }

    CREATESTRUCTA cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cx = width;
    cs.cy = height;
    cs.x = x;
    cs.y = y;
    cs.style = (LONG)style;
    cs.lpszName = title;
    cs.lpszClass = class_name;
    cs.dwExStyle = ex_style;

    MINMAXINFO mmi{};
    mmi.ptMaxSize = POINT{backend->screen_width, backend->screen_height};
    mmi.ptMaxTrackSize = mmi.ptMaxSize;
    SendMessageA(hwnd, WM_GETMINMAXINFO, 0, (LPARAM)&mmi);
    if (!user_window(hwnd)) return nullptr;
    if (!SendMessageA(hwnd, WM_NCCREATE, 0, (LPARAM)&cs)) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!user_window(hwnd)) return nullptr;
    RECT calc = w->outer;
    SendMessageA(hwnd, WM_NCCALCSIZE, FALSE, (LPARAM)&calc);
    if (SendMessageA(hwnd, WM_CREATE, 0, (LPARAM)&cs) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!user_window(hwnd)) return nullptr;
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOWNORMAL);
    return user_window(hwnd) ? hwnd : nullptr;
}

// Shows or hides a window; the first show ends with WM_SIZE and WM_MOVE.
// Returns whether the window was visible before.
BOOL WINAPI ShowWindow(HWND hwnd, int show) {
    Window *w = user_window(hwnd);
    if (!w) return FALSE;
    bool was = w->visible;
    if (show == SW_HIDE) {
        if (!was) return FALSE;
        SendMessageA(hwnd, WM_SHOWWINDOW, FALSE, 0);
        if (!(w = user_window(hwnd))) return TRUE;
        menu_close(w);
        w->visible = false;
        if (backend->window_shown) backend->window_shown(w, false);
        if (focus_window == hwnd) move_focus(nullptr);
        return TRUE;
    }
    bool activate = show != SW_SHOWNA && show != SW_SHOWNOACTIVATE && show != SW_SHOWMINIMIZED &&
                    show != SW_MINIMIZE;
    if (!was) {
        SendMessageA(hwnd, WM_SHOWWINDOW, TRUE, 0);
        if (!(w = user_window(hwnd))) return FALSE;
        w->visible = true;
        w->update = RECT{0, 0, w->client_w, w->client_h};
        w->erase = true;
        if (w->menu) menu_draw_bar(w);
        if (backend->window_shown) backend->window_shown(w, true);
    }
    if (activate && focus_window != hwnd) {
        SendMessageA(hwnd, WM_ACTIVATE, 1 /* WA_ACTIVE */, 0);
        if (user_window(hwnd)) move_focus(hwnd);
    }
    if ((w = user_window(hwnd)) && !w->sized) send_first_size(w);
    return was ? TRUE : FALSE;
}

// Destroys a window: timers and queued messages go, WM_DESTROY and
// WM_NCDESTROY are sent, its menu is destroyed with it.
BOOL WINAPI DestroyWindow(HWND hwnd) {
    Window *w = user_window(hwnd);
    if (!w || w->destroying) return FALSE;
    w->destroying = true;
    menu_close(w);
    if (w->visible) {
        w->visible = false;
        if (backend->window_shown) backend->window_shown(w, false);
    }
    if (focus_window == hwnd) focus_window = nullptr;
    user_kill_window_timers(hwnd);
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    user_purge_window(hwnd);
    user_kill_window_timers(hwnd);
    if (w->menu) user_destroy_menu_tree(w->menu);
    if (backend && w->backend_data && backend->window_destroyed) backend->window_destroyed(w);
    user_release_surface(w->store);
    windows.erase(reinterpret_cast<uintptr_t>(hwnd));
    return TRUE;
}

// Whether the handle names a live window.
BOOL WINAPI IsWindow(HWND hwnd) { return user_window(hwnd) ? TRUE : FALSE; }

// Whether the window is shown.
BOOL WINAPI IsWindowVisible(HWND hwnd) {
    Window *w = user_window(hwnd);
    return w && w->visible ? TRUE : FALSE;
}

// The first window of the class and/or title (either may be NULL).
HWND WINAPI FindWindowA(LPCSTR class_name, LPCSTR title) {
    for (auto &kv : windows) {
        Window *w = kv.second.get();
        if (w->destroying) continue;
        if (class_name && strcasecmp(w->cls->name.c_str(), class_name) != 0) continue;
        if (title && w->title != title) continue;
        return w->handle;
    }
    return nullptr;
}

// Copies the title; returns the characters copied.
int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int size) {
    Window *w = user_window(hwnd);
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    if (!w) return 0;
    int n = std::min((int)w->title.size(), size - 1);
    memcpy(buffer, w->title.data(), n);
    buffer[n] = 0;
    return n;
}

// The outer rectangle in screen coordinates.
BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
    Window *w = user_window(hwnd);
    if (!w || !rect) return FALSE;
    *rect = w->outer;
    return TRUE;
}

// The client rectangle: (0, 0) to its size.
BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    Window *w = user_window(hwnd);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->client_w, w->client_h};
    return TRUE;
}

// The window with the keyboard focus.
HWND WINAPI GetFocus(void) { return focus_window; }

// Gives the keyboard focus to a window; returns the previous focus.
HWND WINAPI SetFocus(HWND hwnd) {
    HWND old = focus_window;
    if (hwnd && !user_window(hwnd)) return nullptr;
    move_focus(hwnd);
    return old;
}
