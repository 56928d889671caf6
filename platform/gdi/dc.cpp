// Device contexts: memory DCs, window DCs made for USER, the screen DC, and
// the attributes a DC carries (colours, background mode, current position).
#include <windows.h>

#include "gdi/batch.h"
#include "gdi/objects.h"
#include "gdi/surface.h"
#include "kernel/failure.h"

// A memory DC with the default objects and a 1 x 1 bitmap; dc may be NULL (the screen).
HDC WINAPI CreateCompatibleDC(HDC dc) {
    if (kernel_creation_fails()) return nullptr;
    if (dc && !gdi_dc(dc)) return nullptr;
    return gdi_new_dc(DcKind::Memory);
}

// Deletes a memory DC; the objects selected into it are deselected, not deleted.
BOOL WINAPI DeleteDC(HDC dc) {
    GdiDc *d = gdi_dc(dc);
    if (!d || d->kind != DcKind::Memory) return FALSE;
    gdi_free_dc(dc);
    return TRUE;
}

namespace {

GdiWindowDrawnHook window_drawn_hook = nullptr;

}  // namespace

// Registers what GDI tells when it changed a window's pixels (USER's presentation).
void gdi_set_window_drawn_hook(GdiWindowDrawnHook hook) { window_drawn_hook = hook; }

// Tells the registered hook that a window's pixels changed.
void gdi_window_drawn(HWND owner) {
    if (window_drawn_hook) window_drawn_hook(owner);
}

// A DC drawing on part of a window's surface (USER's GetDC / BeginPaint).
HDC gdi_create_window_dc(HWND owner, Surface *surface, int org_x, int org_y, RECT clip) {
    HDC handle = gdi_new_dc(DcKind::Window);
    GdiDc *dc = gdi_dc(handle);
    if (!dc) return nullptr;
    dc->owner = owner;
    dc->surface = surface;
    dc->org_x = org_x;
    dc->org_y = org_y;
    dc->clip = clip;
    return handle;
}

// Releases a window DC (ReleaseDC / EndPaint). A bitmap shown on its surface
// takes its pixels back, as nothing says the surface outlives its DCs.
void gdi_release_window_dc(HDC handle) {
    GdiDc *dc = gdi_dc(handle);
    if (!dc || dc->kind != DcKind::Window) return;
    if (dc->surface && dc->surface->pixels) batch_window_changing(dc->surface->pixels);
    gdi_free_dc(handle);
}

// Moves a window DC to its window's new surface; a bitmap shown on the old
// one takes its pixels back first.
void gdi_retarget_window_dc(HDC handle, Surface *surface, const RECT *client) {
    GdiDc *dc = gdi_dc(handle);
    if (!dc || dc->kind != DcKind::Window) return;
    if (dc->surface && dc->surface->pixels) batch_window_changing(dc->surface->pixels);
    dc->surface = surface;
    if (!client) return;
    dc->clip = *client;
    dc->org_x = client->left;
    dc->org_y = client->top;
}

// The window a DC draws on, nullptr for memory and screen DCs.
HWND gdi_dc_window(HDC handle) {
    GdiDc *dc = gdi_dc(handle);
    return dc ? dc->owner : nullptr;
}

namespace {

// Sets one of a DC's colours; returns the previous one, CLR_INVALID for a bad DC.
COLORREF set_color(HDC handle, COLORREF GdiDc::*field, COLORREF color) {
    GdiDc *dc = gdi_dc(handle);
    if (!dc) return CLR_INVALID;
    COLORREF previous = dc->*field;
    dc->*field = color & 0xFFFFFF;
    return previous;
}

}  // namespace

// Sets the text colour; returns the previous one.
COLORREF WINAPI SetTextColor(HDC handle, COLORREF color) { return set_color(handle, &GdiDc::text_color, color); }

// The text colour.
COLORREF WINAPI GetTextColor(HDC handle) {
    GdiDc *dc = gdi_dc(handle);
    return dc ? dc->text_color : CLR_INVALID;
}

// The background mode, 0 for a bad DC.
int WINAPI GetBkMode(HDC handle) {
    GdiDc *dc = gdi_dc(handle);
    return dc ? dc->bk_mode : 0;
}

// Sets OPAQUE or TRANSPARENT; returns the previous mode, 0 on failure.
int WINAPI SetBkMode(HDC handle, int mode) {
    GdiDc *dc = gdi_dc(handle);
    if (!dc || (mode != OPAQUE && mode != TRANSPARENT)) return 0;
    int previous = dc->bk_mode;
    dc->bk_mode = mode;
    return previous;
}

// The background colour.
COLORREF WINAPI GetBkColor(HDC handle) {
    GdiDc *dc = gdi_dc(handle);
    return dc ? dc->bk_color : CLR_INVALID;
}

// Sets the background colour; returns the previous one.
COLORREF WINAPI SetBkColor(HDC handle, COLORREF color) { return set_color(handle, &GdiDc::bk_color, color); }

// Moves the current position; the old one goes to *previous.
BOOL WINAPI MoveToEx(HDC handle, int x, int y, LPPOINT previous) {
    GdiDc *dc = gdi_dc(handle);
    if (!dc) return FALSE;
    if (previous) {
        previous->x = (LONG)dc->pos_x;
        previous->y = (LONG)dc->pos_y;
    }
    dc->pos_x = x;
    dc->pos_y = y;
    return TRUE;
}
