// What USER and GDI share: a pixel surface and the window device context.
#pragma once

#include <windows.h>

#include <cstdint>

// 32-bit pixels 0x00RRGGBB, rows top to bottom.
struct Surface {
    uint32_t *pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;  // in pixels
};

// Pixel value <-> COLORREF (0x00BBGGRR).
inline uint32_t pixel_from_colorref(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF colorref_from_pixel(uint32_t p) {
    return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16);
}

// GDI side, called by USER: a device context that draws on part of a window's
// surface. (org_x, org_y) is where DC coordinate (0, 0) lies on the surface;
// clip is in surface coordinates. Released with ReleaseDC / EndPaint, which
// call gdi_release_window_dc.
HDC gdi_create_window_dc(HWND owner, Surface *surface, int org_x, int org_y, RECT clip);
void gdi_release_window_dc(HDC dc);
// The DC's window has a new surface: the DC draws there from now on. A DC of
// the whole client area gets `client` (surface coordinates) as its clip, its
// top-left as DC (0, 0); for nullptr the DC keeps its origin and clip.
void gdi_retarget_window_dc(HDC dc, Surface *surface, const RECT *client);
// The screen DC that GetDC(NULL) returns (never released for real).
HDC gdi_screen_dc(void);
// The window a DC belongs to, or nullptr for memory DCs.
HWND gdi_dc_window(HDC dc);

// Told after GDI changed pixels of a window's surface, so that the window is
// presented (SDL) or its frame recorded (headless). USER registers it when a
// backend is chosen; GDI on its own (its tests) tells no one.
typedef void (*GdiWindowDrawnHook)(HWND owner);
void gdi_set_window_drawn_hook(GdiWindowDrawnHook hook);
// Calls the hook, if one is registered, for a window whose pixels changed.
void gdi_window_drawn(HWND owner);
