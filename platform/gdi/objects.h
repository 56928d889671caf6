// GDI's object model: one handle table holding pens, brushes, fonts, bitmaps
// and device contexts. A handle is a slot index plus a generation, so a handle
// to a deleted object (or any other stray value) is recognised and refused
// instead of being dereferenced.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "gdi/surface.h"
#include "gdi/text.h"

enum class GdiKind : uint8_t { Free, Pen, Brush, Font, Bitmap, Dc };

struct GdiBitmap {
    Surface surface;
    std::unique_ptr<uint32_t[]> storage;
};

enum class DcKind : uint8_t { Memory, Window, Screen };

struct GdiObject;

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
    // The objects behind the four handles above (nullptr where the handle is).
    // An object stays in its slot while selected, so these are always valid.
    GdiObject *pen_object = nullptr;
    GdiObject *brush_object = nullptr;
    GdiObject *font_object = nullptr;
    GdiObject *bitmap_object = nullptr;
    COLORREF text_color = RGB(0, 0, 0);
    COLORREF bk_color = RGB(255, 255, 255);
    int bk_mode = OPAQUE;
    int64_t pos_x = 0, pos_y = 0;  // current position (MoveToEx / LineTo)
};

struct GdiObject {
    uintptr_t handle = 0;          // the handle naming the object while it lives; 0 in a free slot
    GdiKind kind = GdiKind::Free;
    bool stock = false;
    bool delete_pending = false;  // DeleteObject while selected: freed when deselected
    bool null_style = false;       // pens and brushes: PS_NULL / the null brush
    int selected = 0;              // how many DCs hold it selected
    // pens and brushes
    int width = 1;
    uint32_t pixel = 0;            // colour as a 0x00RRGGBB pixel
    COLORREF color = 0;
    uint32_t generation = 0;
    uint32_t index = 0;            // its slot in the table
    uint32_t next_free = 0;        // free slots: the next free slot + 1, 0 at the end
    // fonts, bitmaps, DCs
    std::unique_ptr<FontRequest> font;
    std::unique_ptr<GdiBitmap> bitmap;
    std::unique_ptr<GdiDc> dc;
};

// The slots lie in one range of address space reserved at first use and made
// usable kGdiPageSize slots at a time: slots never move, so a pointer to a live
// object stays valid, and a handle's index finds its slot directly.
constexpr uint32_t kGdiPageSize = 1024;
// A handle is a tag, a generation and the slot index + 1: 24 + 24 bits with
// 64-bit pointers; with 32-bit ones (WebAssembly) 8 bits of generation and 16
// of index, since there the range is memory taken at once.
#if UINTPTR_MAX > 0xFFFFFFFFu
constexpr unsigned kGdiIndexBits = 24, kGdiGenerationBits = 24;
#else
constexpr unsigned kGdiIndexBits = 16, kGdiGenerationBits = 8;
#endif
constexpr uintptr_t kGdiIndexMask = (uintptr_t(1) << kGdiIndexBits) - 1;
constexpr uint32_t kGdiMaxSlots = uint32_t(kGdiIndexMask) - 1;  // index + 1 fills the index bits

struct GdiTable {
    GdiObject *slots = nullptr;  // the reserved range; the first `used` slots are usable
    uint32_t used = 0;           // slots made usable so far, live or free
    uint32_t capacity = 0;       // slots the range holds: kGdiMaxSlots, or fewer under a memory bound
    uint32_t free_head = 0;      // the most recently freed slot + 1, 0 when none is free
    int live[6] = {};            // non-stock objects per kind
    HGDIOBJ stock[18] = {};
    HGDIOBJ stock_bitmap = nullptr;
    HDC screen = nullptr;
    // The DC looked up last: drawing calls name the same DC again and again.
    // Cleared when that DC is freed; last_dc is nullptr whenever last_dc_handle is 0.
    uintptr_t last_dc_handle = 0;
    GdiDc *last_dc = nullptr;
};

// The one table of the process.
extern GdiTable gdi_table;

// The live object a handle names, deleted-while-selected ones included; nullptr
// for a stale handle or any other value. The slot remembers its own handle, so
// one comparison checks tag, generation and index together.
inline GdiObject *gdi_slot(HGDIOBJ handle) {
    uintptr_t v = reinterpret_cast<uintptr_t>(handle);
    uint32_t index = (uint32_t)(v & kGdiIndexMask) - 1;
    if (index >= gdi_table.used) return nullptr;
    GdiObject *o = gdi_table.slots + index;
    return o->handle == v ? o : nullptr;
}

// The object behind a handle when it is live and of that kind, else nullptr.
inline GdiObject *gdi_lookup(HGDIOBJ handle, GdiKind kind) {
    GdiObject *o = gdi_slot(handle);
    return o && o->kind == kind && !o->delete_pending ? o : nullptr;
}

// The object behind a handle of any live kind, else nullptr.
inline GdiObject *gdi_lookup_any(HGDIOBJ handle) {
    GdiObject *o = gdi_slot(handle);
    return o && !o->delete_pending ? o : nullptr;
}

// An object a DC holds selected: still usable when deleted while selected.
inline GdiObject *gdi_selected(HGDIOBJ handle) { return gdi_slot(handle); }

// The DC record behind an HDC through the table, remembered as the last DC.
GdiDc *gdi_dc_lookup(HDC dc);

// The DC record behind an HDC, else nullptr.
inline GdiDc *gdi_dc(HDC dc) {
    if (reinterpret_cast<uintptr_t>(dc) == gdi_table.last_dc_handle) return gdi_table.last_dc;
    return gdi_dc_lookup(dc);
}

// A new DC of the given kind with the default objects selected.
HDC gdi_new_dc(DcKind kind);
// Deselects everything a DC holds and frees it.
void gdi_free_dc(HDC dc);
