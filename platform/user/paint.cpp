// Painting: window surfaces, update regions, BeginPaint/EndPaint, window DCs
// (GDI draws the pixels) and presentation of what was drawn.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "kernel/failure.h"
#include "user/user.h"

namespace {

// A window DC handed out and not released: the surface it draws on, and
// whether it covers the whole client area (GetDC) rather than a fixed part.
struct OpenDc {
    SurfaceStore *store = nullptr;
    bool client = false;
};
std::map<HDC, OpenDc> open_dcs;
bool present_suspended = false;

// Whether a rectangle is empty.
bool empty(const RECT &r) { return r.right <= r.left || r.bottom <= r.top; }

// The smallest rectangle holding both (an empty one holds nothing).
RECT unite(const RECT &a, const RECT &b) {
    if (empty(a)) return b;
    if (empty(b)) return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

// The part both rectangles share.
RECT intersect(const RECT &a, const RECT &b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (empty(r)) r = RECT{0, 0, 0, 0};
    return r;
}

// Frees a store once neither its window nor any DC needs it.
void maybe_free(SurfaceStore *store) {
    if (store && !store->window_alive && store->open_dcs <= 0) delete store;
}

}  // namespace

// A surface of the given size filled with one pixel value.
SurfaceStore *user_new_surface(int width, int height, uint32_t fill) {
    auto *s = new SurfaceStore;
    s->pixels.assign((size_t)std::max(width, 0) * std::max(height, 0), fill);
    s->surface.pixels = s->pixels.empty() ? nullptr : s->pixels.data();
    s->surface.width = width;
    s->surface.height = height;
    s->surface.stride = width;
    return s;
}

// The window lets go of its surface; DCs still open keep it alive.
void user_release_surface(SurfaceStore *store) {
    if (!store) return;
    store->window_alive = false;
    maybe_free(store);
}

// A DC drawing on a surface of the window; nullptr until GDI provides them.
HDC user_surface_dc(Window *w, SurfaceStore *store, int org_x, int org_y, RECT clip) {
    HDC dc = gdi_create_window_dc(w->handle, &store->surface, org_x, org_y, clip);
    if (!dc) return nullptr;
    open_dcs[dc] = OpenDc{store, false};
    store->open_dcs++;
    return dc;
}

// The window's surface was replaced (a resize): its DCs move from the old
// surface to the new one, as a window DC belongs to the window, not to its
// pixels. A DC of the whole client area covers the new client area.
void user_move_window_dcs(Window *w, SurfaceStore *old) {
    int mh = user_menu_height(w);
    RECT client{0, mh, w->client_w, mh + w->client_h};
    for (auto &kv : open_dcs) {
        OpenDc &open = kv.second;
        if (open.store != old) continue;
        gdi_retarget_window_dc(kv.first, &w->store->surface, open.client ? &client : nullptr);
        old->open_dcs--;
        w->store->open_dcs++;
        open.store = w->store;
    }
}

// Releases a DC made by user_surface_dc.
void user_release_surface_dc(HDC dc) {
    auto it = open_dcs.find(dc);
    if (it == open_dcs.end()) return;
    SurfaceStore *store = it->second.store;
    open_dcs.erase(it);
    gdi_release_window_dc(dc);
    store->open_dcs--;
    maybe_free(store);
}

// While suspended, drawing marks windows dirty without presenting each step.
void user_suspend_present(bool suspend) { present_suspended = suspend; }

// GDI changed pixels of a window's surface.
void user_window_drawn(HWND owner) {
    Window *w = user_window(owner);
    if (!w) return;
    w->dirty = true;
    if (!present_suspended && user_backend() && user_backend()->window_drawn)
        user_backend()->window_drawn(w);
}

// Presents every shown window drawn since it was last presented.
void user_present_dirty() {
    for (Window *w : user_windows()) {
        if (!w->dirty) continue;
        w->dirty = false;
        if (w->visible && user_backend()->present) user_backend()->present(w);
    }
}

// The window's pixels as presented: its surface with the open pop-up on top.
void user_compose(const Window *w, uint32_t *out) {
    const Surface &s = w->store->surface;
    for (int y = 0; y < s.height; ++y)
        memcpy(out + (size_t)y * s.width, s.pixels + (size_t)y * s.stride,
               sizeof(uint32_t) * s.width);
    const PopupState &p = w->popup;
    if (p.title < 0 || !p.overlay) return;
    const Surface &o = p.overlay->surface;
    for (int y = 0; y < o.height; ++y) {
        int sy = p.rect.top + y;
        if (sy < 0 || sy >= s.height) continue;
        for (int x = 0; x < o.width; ++x) {
            int sx = p.rect.left + x;
            if (sx < 0 || sx >= s.width) continue;
            out[(size_t)sy * s.width + sx] = o.pixels[(size_t)y * o.stride + x];
        }
    }
}

// Adds a rectangle (NULL: the whole client area) to the update region; a
// NULL window invalidates every window.
BOOL WINAPI InvalidateRect(HWND hwnd, const RECT *rect, BOOL erase) {
    if (!hwnd) {
        for (Window *w : user_windows()) InvalidateRect(w->handle, rect, erase);
        return TRUE;
    }
    Window *w = user_window(hwnd);
    if (!w) return FALSE;
    RECT client{0, 0, w->client_w, w->client_h};
    RECT r = rect ? intersect(*rect, client) : client;
    if (empty(r)) return TRUE;
    w->update = unite(w->update, r);
    if (erase) w->erase = true;
    return TRUE;
}

// Takes a rectangle (NULL: all) out of the update region. The region is kept
// as one rectangle, so only a cut across its full width or height shrinks it.
BOOL WINAPI ValidateRect(HWND hwnd, const RECT *rect) {
    Window *w = user_window(hwnd);
    if (!w) return FALSE;
    RECT &u = w->update;
    if (!rect || (rect->left <= u.left && rect->top <= u.top && rect->right >= u.right &&
                  rect->bottom >= u.bottom)) {
        u = RECT{0, 0, 0, 0};
        w->erase = false;
        return TRUE;
    }
    if (rect->left <= u.left && rect->right >= u.right) {
        if (rect->top <= u.top && rect->bottom > u.top) u.top = rect->bottom;
        else if (rect->bottom >= u.bottom && rect->top < u.bottom) u.bottom = rect->top;
    } else if (rect->top <= u.top && rect->bottom >= u.bottom) {
        if (rect->left <= u.left && rect->right > u.left) u.left = rect->right;
        else if (rect->right >= u.right && rect->left < u.right) u.right = rect->left;
    }
    if (empty(u)) u = RECT{0, 0, 0, 0};
    return TRUE;
}

// Sends WM_PAINT at once when the window has something to paint.
BOOL WINAPI UpdateWindow(HWND hwnd) {
    Window *w = user_window(hwnd);
    if (!w) return FALSE;
    if (w->visible && !empty(w->update)) SendMessageA(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

// Starts painting: a DC clipped to the update region, erased first when asked
// (WM_ERASEBKGND); the region is then valid.
HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    Window *w = user_window(hwnd);
    if (!w || !paint) return nullptr;
    memset(paint, 0, sizeof *paint);
    RECT u = w->update;
    bool erase = w->erase;
    w->update = RECT{0, 0, 0, 0};
    w->erase = false;
    int mh = user_menu_height(w);
    RECT clip = empty(u) ? RECT{0, mh, 0, mh} : RECT{u.left, u.top + mh, u.right, u.bottom + mh};
    HDC dc = user_surface_dc(w, w->store, 0, mh, clip);
    paint->hdc = dc;
    paint->rcPaint = u;
    paint->fErase = FALSE;
    if (erase && !empty(u)) paint->fErase = SendMessageA(hwnd, WM_ERASEBKGND, (WPARAM)dc, 0) ? FALSE : TRUE;
    return dc;
}

// Ends painting: releases the paint DC.
BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT *paint) {
    (void)hwnd;
    if (paint && paint->hdc) user_release_surface_dc(paint->hdc);
    return TRUE;
}

// A DC for the window's client area (NULL: the screen DC).
HDC WINAPI GetDC(HWND hwnd) {
    if (kernel_creation_fails()) return nullptr;
    if (!hwnd) return gdi_screen_dc();
    Window *w = user_window(hwnd);
    if (!w) return nullptr;
    int mh = user_menu_height(w);
    HDC dc = user_surface_dc(w, w->store, 0, mh, RECT{0, mh, w->client_w, mh + w->client_h});
    if (dc) open_dcs[dc].client = true;
    return dc;
}

// Releases a DC from GetDC; returns 1 when it was one.
int WINAPI ReleaseDC(HWND hwnd, HDC dc) {
    (void)hwnd;
    if (!dc) return 0;
    if (open_dcs.count(dc)) {
        user_release_surface_dc(dc);
        return 1;
    }
    return dc == gdi_screen_dc() ? 1 : 0;
}
