// The GDI handle table: creation, selection and deletion of pens, brushes,
// fonts and bitmaps; stock objects; DC records; live-object accounting.
#include "gdi/objects.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "gdi/batch.h"
#include "kernel/global_memory.h"
#include "platform_tools.h"

namespace {

// Handles look like 0x0047GGGGGGIIIIII: a tag, 24 bits of generation and the
// slot index + 1, so that a stale or foreign value never matches a live slot.
constexpr uintptr_t kTag = uintptr_t(0x47) << 48;
constexpr uintptr_t kIndexMask = 0xFFFFFF;

struct Table {
    std::vector<std::unique_ptr<GdiObject>> slots;  // objects stay put as the table grows
    std::vector<uint32_t> free_slots;
    int live[6] = {};             // non-stock objects per kind
    HGDIOBJ stock[18] = {};
    HGDIOBJ stock_bitmap = nullptr;
    HDC screen = nullptr;
};

Table g_table;

// The one table of the process.
inline Table &table() { return g_table; }

HGDIOBJ handle_of(uint32_t index, uint32_t generation) {
    return reinterpret_cast<HGDIOBJ>(kTag | (uintptr_t(generation & 0xFFFFFF) << 24) | (index + 1));
}

// The slot a handle names, live or not yet freed; nullptr for anything else.
GdiObject *slot_of(HGDIOBJ handle) {
    uintptr_t v = reinterpret_cast<uintptr_t>(handle);
    if ((v & ~(uintptr_t(0xFFFFFFFFFFFF))) != kTag) return nullptr;
    uintptr_t index = (v & kIndexMask);
    if (index == 0) return nullptr;
    Table &t = table();
    if (index - 1 >= t.slots.size()) return nullptr;
    GdiObject &o = *t.slots[index - 1];
    if (o.kind == GdiKind::Free || (o.generation & 0xFFFFFF) != ((v >> 24) & 0xFFFFFF)) return nullptr;
    return &o;
}

// Takes a free slot for a new object of a kind.
HGDIOBJ new_object(GdiKind kind, bool stock, GdiObject **out) {
    Table &t = table();
    uint32_t index;
    if (!t.free_slots.empty()) {
        index = t.free_slots.back();
        t.free_slots.pop_back();
    } else {
        if (t.slots.size() >= kIndexMask - 1) return nullptr;
        index = (uint32_t)t.slots.size();
        t.slots.emplace_back(new GdiObject());
    }
    GdiObject &o = *t.slots[index];
    o.index = index;
    o.kind = kind;
    o.stock = stock;
    o.delete_pending = false;
    o.selected = 0;
    o.null_style = false;
    o.width = 1;
    o.pixel = 0;
    o.color = 0;
    if (!stock) t.live[(int)kind]++;
    *out = &o;
    return handle_of(index, o.generation);
}

// Returns a slot to the free list; its handle goes stale.
void free_object(GdiObject *o) {
    Table &t = table();
    if (!o->stock) t.live[(int)o->kind]--;
    o->kind = GdiKind::Free;
    if (o->bitmap) batch_forget(&o->bitmap->surface);  // its pending shapes die with it
    o->bitmap.reset();
    o->dc.reset();  // a font request is kept for the slot's next font
    o->generation++;
    t.free_slots.push_back(o->index);
}

uint32_t pixel_of(COLORREF c) { return pixel_from_colorref(c & 0xFFFFFF); }

// A stock pen or brush.
HGDIOBJ make_stock_paint(GdiKind kind, bool null_style, COLORREF color) {
    GdiObject *o;
    HGDIOBJ h = new_object(kind, true, &o);
    o->null_style = null_style;
    o->color = color & 0xFFFFFF;
    o->pixel = pixel_of(color);
    return h;
}

// A stock font: a request the text module resolves by its stock index.
HGDIOBJ make_stock_font(int index, int height, const char *face, int pitch) {
    GdiObject *o;
    HGDIOBJ h = new_object(GdiKind::Font, true, &o);
    o->font.reset(new FontRequest());
    o->font->height = height;
    o->font->pitch_and_family = pitch;
    o->font->stock = index;
    strncpy(o->font->face, face, sizeof(o->font->face) - 1);
    return h;
}

// Creates the stock objects on first use.
void ensure_stock() {
    Table &t = table();
    if (t.stock[WHITE_BRUSH]) return;
    t.stock[WHITE_BRUSH] = make_stock_paint(GdiKind::Brush, false, RGB(255, 255, 255));
    t.stock[LTGRAY_BRUSH] = make_stock_paint(GdiKind::Brush, false, RGB(192, 192, 192));
    t.stock[GRAY_BRUSH] = make_stock_paint(GdiKind::Brush, false, RGB(128, 128, 128));
    t.stock[DKGRAY_BRUSH] = make_stock_paint(GdiKind::Brush, false, RGB(64, 64, 64));
    t.stock[BLACK_BRUSH] = make_stock_paint(GdiKind::Brush, false, RGB(0, 0, 0));
    t.stock[NULL_BRUSH] = make_stock_paint(GdiKind::Brush, true, 0);
    t.stock[WHITE_PEN] = make_stock_paint(GdiKind::Pen, false, RGB(255, 255, 255));
    t.stock[BLACK_PEN] = make_stock_paint(GdiKind::Pen, false, RGB(0, 0, 0));
    t.stock[NULL_PEN] = make_stock_paint(GdiKind::Pen, true, 0);
    t.stock[OEM_FIXED_FONT] = make_stock_font(OEM_FIXED_FONT, 12, "Terminal", FIXED_PITCH | FF_MODERN);
    t.stock[ANSI_FIXED_FONT] = make_stock_font(ANSI_FIXED_FONT, 13, "Courier", FIXED_PITCH | FF_MODERN);
    t.stock[ANSI_VAR_FONT] = make_stock_font(ANSI_VAR_FONT, 13, "MS Sans Serif", VARIABLE_PITCH);
    t.stock[SYSTEM_FONT] = make_stock_font(SYSTEM_FONT, 16, "System", VARIABLE_PITCH);
    t.stock[DEFAULT_GUI_FONT] = make_stock_font(DEFAULT_GUI_FONT, -11, "MS Shell Dlg", VARIABLE_PITCH);
    // The 1 x 1 bitmap every memory DC starts with.
    GdiObject *o;
    t.stock_bitmap = new_object(GdiKind::Bitmap, true, &o);
    o->bitmap.reset(new GdiBitmap());
    o->bitmap->storage.reset(new uint32_t[1]());
    o->bitmap->surface.pixels = o->bitmap->storage.get();
    o->bitmap->surface.width = o->bitmap->surface.height = o->bitmap->surface.stride = 1;
}

// Drops one DC's hold on an object; an object deleted while held goes now.
void release(HGDIOBJ handle) {
    GdiObject *o = slot_of(handle);
    if (!o) return;
    o->selected--;
    if (o->selected <= 0 && o->delete_pending) free_object(o);
}

// Takes a DC's hold on an object.
void hold(HGDIOBJ handle) {
    GdiObject *o = slot_of(handle);
    if (o) o->selected++;
}

}  // namespace

// ---- lookups -----------------------------------------------------------

// The live object behind a handle if it is of that kind.
GdiObject *gdi_lookup(HGDIOBJ handle, GdiKind kind) {
    GdiObject *o = slot_of(handle);
    if (!o || o->kind != kind || o->delete_pending) return nullptr;
    return o;
}

// The live object behind a handle, any kind.
GdiObject *gdi_lookup_any(HGDIOBJ handle) {
    GdiObject *o = slot_of(handle);
    if (!o || o->delete_pending) return nullptr;
    return o;
}

// An object a DC holds selected, deleted-while-selected ones included.
GdiObject *gdi_selected(HGDIOBJ handle) { return slot_of(handle); }

// The DC record behind an HDC.
GdiDc *gdi_dc(HDC dc) {
    GdiObject *o = slot_of(dc);
    if (!o || o->kind != GdiKind::Dc) return nullptr;
    return o->dc.get();
}

// A new DC with Windows' defaults: black 1-pixel pen, white brush, system font.
HDC gdi_new_dc(DcKind kind) {
    ensure_stock();
    Table &t = table();
    GdiObject *o;
    HGDIOBJ h = new_object(GdiKind::Dc, kind == DcKind::Screen, &o);
    if (!h) return nullptr;
    o->dc.reset(new GdiDc());
    GdiDc *dc = o->dc.get();
    dc->kind = kind;
    dc->pen = t.stock[BLACK_PEN];
    dc->brush = t.stock[WHITE_BRUSH];
    dc->font = t.stock[SYSTEM_FONT];
    hold(dc->pen);
    hold(dc->brush);
    hold(dc->font);
    if (kind == DcKind::Memory) {
        dc->bitmap = t.stock_bitmap;
        hold(dc->bitmap);
    }
    return reinterpret_cast<HDC>(h);
}

// Deselects everything a DC holds and frees its slot.
void gdi_free_dc(HDC handle) {
    GdiObject *o = slot_of(handle);
    if (!o || o->kind != GdiKind::Dc) return;
    GdiDc *dc = o->dc.get();
    HGDIOBJ held[4] = {dc->pen, dc->brush, dc->font, dc->bitmap};
    free_object(o);
    for (HGDIOBJ h : held)
        if (h) release(h);
}

// The screen DC that GetDC(NULL) returns.
HDC gdi_screen_dc(void) {
    Table &t = table();
    if (!t.screen) t.screen = gdi_new_dc(DcKind::Screen);
    return t.screen;
}

// ---- creation ----------------------------------------------------------

// A pen: PS_NULL draws nothing, any other style is solid; width 0 is one pixel.
HPEN WINAPI CreatePen(int style, int width, COLORREF color) {
    GdiObject *o;
    HGDIOBJ h = new_object(GdiKind::Pen, false, &o);
    if (!h) return nullptr;
    o->null_style = style == PS_NULL;
    int64_t w = width < 0 ? -(int64_t)width : width;
    o->width = w == 0 ? 1 : (int)std::min<int64_t>(w, INT_MAX);
    o->color = color & 0xFFFFFF;
    o->pixel = pixel_of(color);
    return reinterpret_cast<HPEN>(h);
}

// A brush of one colour.
HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    GdiObject *o;
    HGDIOBJ h = new_object(GdiKind::Brush, false, &o);
    if (!h) return nullptr;
    o->color = color & 0xFFFFFF;
    o->pixel = pixel_of(color);
    return reinterpret_cast<HBRUSH>(h);
}

// A logical font: the request is kept; the text module maps it to a face.
HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strike_out, DWORD charset, DWORD out_precision,
                         DWORD clip_precision, DWORD quality, DWORD pitch_and_family, LPCSTR face) {
    (void)escapement;
    (void)orientation;
    (void)out_precision;
    (void)clip_precision;
    (void)quality;
    GdiObject *o;
    HGDIOBJ h = new_object(GdiKind::Font, false, &o);
    if (!h) return nullptr;
    if (!o->font) o->font.reset(new FontRequest());
    *o->font = FontRequest();
    o->font->height = height;
    o->font->width = width;
    o->font->weight = weight;
    o->font->italic = italic != 0;
    o->font->underline = underline != 0;
    o->font->strike_out = strike_out != 0;
    o->font->charset = (int)charset;
    o->font->pitch_and_family = (int)pitch_and_family;
    if (face) strncpy(o->font->face, face, sizeof(o->font->face) - 1);
    return reinterpret_cast<HFONT>(h);
}

// A 32-bit bitmap, cleared to black; 0 x 0 gives the stock 1 x 1 bitmap.
HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (!gdi_dc(dc) || width < 0 || height < 0) return nullptr;
    ensure_stock();
    if (width == 0 || height == 0) return reinterpret_cast<HBITMAP>(table().stock_bitmap);
    const int64_t pixels = (int64_t)width * height;
    if (pixels > (int64_t(1) << 28)) return nullptr;  // over 1 GB: refused, as an allocation failure
    uint32_t *storage = new (std::nothrow) uint32_t[(size_t)pixels]();
    if (!storage) return nullptr;
    GdiObject *o;
    HGDIOBJ h = new_object(GdiKind::Bitmap, false, &o);
    if (!h) {
        delete[] storage;
        return nullptr;
    }
    o->bitmap.reset(new GdiBitmap());
    o->bitmap->storage.reset(storage);
    o->bitmap->surface.pixels = storage;
    o->bitmap->surface.width = width;
    o->bitmap->surface.height = height;
    o->bitmap->surface.stride = width;
    return reinterpret_cast<HBITMAP>(h);
}

// Stock objects by index; nullptr for an unknown index.
HGDIOBJ WINAPI GetStockObject(int index) {
    ensure_stock();
    if (index < 0 || index >= 18) return nullptr;
    return table().stock[index];
}

// ---- selection and deletion ------------------------------------------------

// Makes a pen, brush, font or bitmap current in a DC and returns the previous one.
HGDIOBJ WINAPI SelectObject(HDC dc_handle, HGDIOBJ object) {
    GdiDc *dc = gdi_dc(dc_handle);
    GdiObject *o = gdi_lookup_any(object);
    if (!dc || !o) return nullptr;
    HGDIOBJ *slot = nullptr;
    switch (o->kind) {
    case GdiKind::Pen: slot = &dc->pen; break;
    case GdiKind::Brush: slot = &dc->brush; break;
    case GdiKind::Font: slot = &dc->font; break;
    case GdiKind::Bitmap:
        if (dc->kind != DcKind::Memory) return nullptr;
        // A bitmap lives in one DC at a time (the stock one is shared).
        if (o->selected > 0 && !o->stock && dc->bitmap != object) return nullptr;
        slot = &dc->bitmap;
        break;
    default: return nullptr;
    }
    HGDIOBJ previous = *slot;
    if (previous == object) return previous;
    hold(object);
    *slot = object;
    release(previous);
    return previous;
}

// Deletes a pen, brush, font or bitmap; stock objects stay. An object still
// selected into a DC is freed when it is deselected.
BOOL WINAPI DeleteObject(HGDIOBJ object) {
    GdiObject *o = gdi_lookup_any(object);
    if (!o || o->kind == GdiKind::Dc) return FALSE;
    if (o->stock) return TRUE;
    if (o->selected > 0) {
        o->delete_pending = true;
        return TRUE;
    }
    free_object(o);
    return TRUE;
}

// ---- accounting --------------------------------------------------------

// Live pens, brushes, fonts, bitmaps, DCs and global blocks (stock objects not counted).
PlatformCounts platform_live_objects(void) {
    Table &t = table();
    PlatformCounts c;
    c.pens = t.live[(int)GdiKind::Pen];
    c.brushes = t.live[(int)GdiKind::Brush];
    c.fonts = t.live[(int)GdiKind::Font];
    c.bitmaps = t.live[(int)GdiKind::Bitmap];
    c.dcs = t.live[(int)GdiKind::Dc];
    c.global_blocks = kernel_live_global_blocks();
    return c;
}
