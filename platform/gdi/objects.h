// GDI's object model: one handle table holding pens, brushes, fonts, bitmaps
// and device contexts. A handle is a slot index plus a generation, so a handle
// to a deleted object (or any other stray value) is recognised and refused
// instead of being dereferenced.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "gdi/surface.h"
#include "gdi/text.h"

enum class GdiKind : uint8_t { Free, Pen, Brush, Font, Bitmap, Dc };

struct GdiBitmap {
    Surface surface;
    std::unique_ptr<uint32_t[]> storage;
};

enum class DcKind : uint8_t { Memory, Window, Screen };

struct GdiDc {
    DcKind kind = DcKind::Memory;
    HWND owner = nullptr;          // window DCs: the window drawn on
    Surface *surface = nullptr;    // window DCs: the window's surface
    int org_x = 0, org_y = 0;      // where DC (0, 0) lies on the surface
    RECT clip = {0, 0, 0, 0};      // window DCs: clip in surface coordinates
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ font = nullptr;
    HGDIOBJ bitmap = nullptr;      // memory DCs only
    COLORREF text_color = RGB(0, 0, 0);
    COLORREF bk_color = RGB(255, 255, 255);
    int bk_mode = OPAQUE;
    int64_t pos_x = 0, pos_y = 0;  // current position (MoveToEx / LineTo)
};

struct GdiObject {
    GdiKind kind = GdiKind::Free;
    bool stock = false;
    bool delete_pending = false;  // DeleteObject while selected: freed when deselected
    uint32_t generation = 0;
    uint32_t index = 0;            // its slot in the table
    int selected = 0;              // how many DCs hold it selected
    // pens and brushes
    bool null_style = false;
    int width = 1;
    uint32_t pixel = 0;            // colour as a 0x00RRGGBB pixel
    COLORREF color = 0;
    // fonts, bitmaps, DCs
    std::unique_ptr<FontRequest> font;
    std::unique_ptr<GdiBitmap> bitmap;
    std::unique_ptr<GdiDc> dc;
};

// The object behind a handle when it is live and of that kind, else nullptr.
GdiObject *gdi_lookup(HGDIOBJ handle, GdiKind kind);
// The object behind a handle of any live kind, else nullptr.
GdiObject *gdi_lookup_any(HGDIOBJ handle);
// An object a DC holds selected: still usable when deleted while selected.
GdiObject *gdi_selected(HGDIOBJ handle);
// The DC record behind an HDC, else nullptr.
GdiDc *gdi_dc(HDC dc);
// A new DC of the given kind with the default objects selected.
HDC gdi_new_dc(DcKind kind);
// Deselects everything a DC holds and frees it.
void gdi_free_dc(HDC dc);
