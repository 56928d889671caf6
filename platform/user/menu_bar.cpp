// The menu bar and its pop-up as the layer draws them (through GDI, on a
// window DC), their layout, and the mouse and key handling that opens them
// and chooses items.
#include <windows.h>

#include <algorithm>
#include <string>

#include "kernel/failure.h"
#include "user/user.h"

namespace {

constexpr int kTitlePad = 7;      // space either side of a bar title
constexpr int kBorder = 3;        // pop-up frame
constexpr int kCheckColumn = 22;  // left column holding check marks
constexpr int kTabGap = 24;       // between an item's text and its key text
constexpr int kRightMargin = 20;
constexpr int kItemHeight = 19;
constexpr int kSeparatorHeight = 9;

const COLORREF kMenuBack = RGB(240, 240, 240);
const COLORREF kMenuText = RGB(0, 0, 0);
const COLORREF kGrayText = RGB(109, 109, 109);
const COLORREF kHotBack = RGB(0, 120, 215);
const COLORREF kHotText = RGB(255, 255, 255);
const COLORREF kOpenTitle = RGB(204, 232, 255);
const COLORREF kFrameLine = RGB(151, 151, 151);
const COLORREF kSeparatorLine = RGB(189, 189, 189);

// An item text split at the tab, with its & marks resolved.
struct Label {
    std::string left;    // shown text, & removed
    int mnemonic = -1;   // index in left of the underlined letter
    std::string right;   // after the tab, right-aligned
};

// Splits "&Text\tKey" into shown text, mnemonic and key text.
Label parse_label(const std::string &text) {
    Label l;
    size_t tab = text.find('\t');
    std::string head = text.substr(0, tab);
    if (tab != std::string::npos) l.right = text.substr(tab + 1);
    for (size_t i = 0; i < head.size(); ++i) {
        if (head[i] == '&' && i + 1 < head.size()) {
            ++i;
            if (head[i] != '&' && l.mnemonic < 0) l.mnemonic = (int)l.left.size();
        }
        l.left += head[i];
    }
    return l;
}

// Text size with the menu font, estimated while GDI cannot measure.
SIZE measure(HDC dc, const std::string &s) {
    SIZE size{0, 0};
    if (!dc || !GetTextExtentPointA(dc, s.c_str(), (int)s.size(), &size)) {
        size.cx = 7 * (LONG)s.size();
        size.cy = 14;
    }
    if (size.cy <= 0) size.cy = 14;
    return size;
}

// Font ascent of the DC's font, estimated while GDI cannot tell.
int ascent_of(HDC dc, int height) {
    TEXTMETRICA tm{};
    if (dc && GetTextMetricsA(dc, &tm) && tm.tmAscent > 0) return tm.tmAscent;
    return height * 4 / 5;
}

// A DC for measuring with the menu font; restore with end_measure.
HDC begin_measure(HGDIOBJ *old_font) {
    HDC dc = gdi_screen_dc();
    *old_font = dc ? SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT)) : nullptr;
    return dc;
}

// Puts back the screen DC's font.
void end_measure(HDC dc, HGDIOBJ old_font) {
    if (dc && old_font) SelectObject(dc, old_font);
}

// Fills a rectangle with a colour.
void fill(HDC dc, const RECT &r, COLORREF c) {
    KernelOwnCreations own;
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
}

// Draws a one-pixel line (end point excluded) in a colour.
void line(HDC dc, int x0, int y0, int x1, int y1, COLORREF c) {
    KernelOwnCreations own;
    HPEN pen = CreatePen(PS_SOLID, 1, c);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
    SelectObject(dc, old);
    DeleteObject(pen);
}

// Draws a label's text at (x, y) with its mnemonic underlined.
void draw_label(HDC dc, const Label &l, int x, int y, COLORREF color) {
    SetTextColor(dc, color);
    TextOutA(dc, x, y, l.left.c_str(), (int)l.left.size());
    if (l.mnemonic < 0) return;
    SIZE whole = measure(dc, l.left);
    int ux = x + measure(dc, l.left.substr(0, l.mnemonic)).cx;
    int uw = measure(dc, l.left.substr(l.mnemonic, 1)).cx;
    int uy = y + ascent_of(dc, whole.cy) + 1;
    line(dc, ux, uy, ux + uw, uy, color);
}

// Draws a check mark centred on (cx, cy).
void draw_check(HDC dc, int cx, int cy, COLORREF color) {
    for (int d = 0; d < 2; ++d) {
        line(dc, cx - 4, cy - 1 + d, cx - 1, cy + 2 + d, color);
        line(dc, cx - 1, cy + 2 + d, cx + 5, cy - 4 + d, color);
    }
}

// Whether an item can be chosen.
bool choosable(const MenuItem &it) {
    return !(it.flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR)) && !it.submenu;
}

// The bar title under a surface point, or -1.
int title_at(const Window *w, int x, int y) {
    for (size_t i = 0; i < w->title_rects.size(); ++i) {
        const RECT &r = w->title_rects[i];
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return (int)i;
    }
    return -1;
}

// The pop-up item under a surface point, or -1.
int item_at(const Window *w, int x, int y) {
    const PopupState &p = w->popup;
    for (size_t i = 0; i < p.item_rects.size(); ++i) {
        const RECT &r = p.item_rects[i];
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return (int)i;
    }
    return -1;
}

// Whether a surface point lies in a rectangle.
bool inside(const RECT &r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// Draws the open pop-up into its overlay.
void draw_popup(Window *w) {
    PopupState &p = w->popup;
    Menu *m = user_menu(p.menu);
    if (!m || !p.overlay) return;
    int width = p.rect.right - p.rect.left;
    int height = p.rect.bottom - p.rect.top;
    user_suspend_present(true);
    HDC dc = user_surface_dc(w, p.overlay, 0, 0, RECT{0, 0, width, height});
    if (dc) {
        HGDIOBJ old_font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        int old_mode = SetBkMode(dc, TRANSPARENT);
        fill(dc, RECT{0, 0, width, height}, kMenuBack);
        line(dc, 0, 0, width - 1, 0, kFrameLine);
        line(dc, width - 1, 0, width - 1, height - 1, kFrameLine);
        line(dc, width - 1, height - 1, 0, height - 1, kFrameLine);
        line(dc, 0, height - 1, 0, 0, kFrameLine);
        for (size_t i = 0; i < m->items.size(); ++i) {
            const MenuItem &it = m->items[i];
            RECT r = p.item_rects[i];
            r.left -= p.rect.left;
            r.right -= p.rect.left;
            r.top -= p.rect.top;
            r.bottom -= p.rect.top;
            if (it.flags & MF_SEPARATOR) {
                int y = (r.top + r.bottom) / 2;
                line(dc, r.left + 2, y, r.right - 2, y, kSeparatorLine);
                continue;
            }
            bool hot = (int)i == p.hot && choosable(it);
            if (hot) fill(dc, r, kHotBack);
            COLORREF color = hot ? kHotText : (it.flags & (MF_GRAYED | MF_DISABLED)) ? kGrayText
                                                                                     : kMenuText;
            Label l = parse_label(it.text);
            SIZE s = measure(dc, l.left);
            int ty = r.top + (r.bottom - r.top - s.cy) / 2;
            if (it.flags & MF_CHECKED) draw_check(dc, r.left + kCheckColumn / 2, (r.top + r.bottom) / 2, color);
            draw_label(dc, l, r.left + kCheckColumn, ty, color);
            if (!l.right.empty()) {
                SIZE rs = measure(dc, l.right);
                SetTextColor(dc, color);
                TextOutA(dc, r.right - kRightMargin - rs.cx, ty, l.right.c_str(), (int)l.right.size());
            }
        }
        SetBkMode(dc, old_mode);
        SelectObject(dc, old_font);
        user_release_surface_dc(dc);
    }
    user_suspend_present(false);
    user_window_drawn(w->handle);
}

// Lays out the pop-up hanging from a bar title, in surface coordinates.
void layout_popup(Window *w, Menu *m, const RECT &title) {
    HGDIOBJ old_font;
    HDC dc = begin_measure(&old_font);
    int left_w = 0, right_w = 0, text_h = 14;
    for (const MenuItem &it : m->items) {
        if (it.flags & MF_SEPARATOR) continue;
        Label l = parse_label(it.text);
        SIZE s = measure(dc, l.left);
        left_w = std::max(left_w, (int)s.cx);
        text_h = std::max(text_h, (int)s.cy);
        if (!l.right.empty()) right_w = std::max(right_w, (int)measure(dc, l.right).cx);
    }
    end_measure(dc, old_font);
    int width = 2 * kBorder + kCheckColumn + left_w + (right_w ? kTabGap + right_w : 0) + kRightMargin;
    int item_h = std::max(kItemHeight, text_h + 4);
    PopupState &p = w->popup;
    p.item_rects.clear();
    int x = title.left;
    int surface_w = w->store->surface.width;
    if (x + width > surface_w) x = std::max(0, surface_w - width);
    int y = title.bottom + kBorder;
    for (const MenuItem &it : m->items) {
        int h = (it.flags & MF_SEPARATOR) ? kSeparatorHeight : item_h;
        p.item_rects.push_back(RECT{x + kBorder, y, x + width - kBorder, y + h});
        y += h;
    }
    p.rect = RECT{x, title.bottom, x + width, y + kBorder};
}

}  // namespace

// Lays out the bar titles of the window's menu, in surface coordinates.
void menu_layout_bar(Window *w) {
    w->title_rects.clear();
    Menu *m = user_menu(w->menu);
    if (!m) return;
    HGDIOBJ old_font;
    HDC dc = begin_measure(&old_font);
    int x = 0;
    for (const MenuItem &it : m->items) {
        int width = measure(dc, parse_label(it.text).left).cx + 2 * kTitlePad;
        w->title_rects.push_back(RECT{x, 0, x + width, kMenuBar});
        x += width;
    }
    end_measure(dc, old_font);
}

// Draws the menu bar across the top of the window's surface.
void menu_draw_bar(Window *w) {
    Menu *m = user_menu(w->menu);
    if (!m || !w->store) return;
    menu_layout_bar(w);
    user_suspend_present(true);
    int width = w->store->surface.width;
    HDC dc = user_surface_dc(w, w->store, 0, 0, RECT{0, 0, width, kMenuBar});
    if (dc) {
        HGDIOBJ old_font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        int old_mode = SetBkMode(dc, TRANSPARENT);
        fill(dc, RECT{0, 0, width, kMenuBar}, kMenuBack);
        for (size_t i = 0; i < m->items.size(); ++i) {
            const MenuItem &it = m->items[i];
            const RECT &r = w->title_rects[i];
            if ((int)i == w->popup.title) fill(dc, r, kOpenTitle);
            Label l = parse_label(it.text);
            SIZE s = measure(dc, l.left);
            COLORREF color = (it.flags & (MF_GRAYED | MF_DISABLED)) ? kGrayText : kMenuText;
            draw_label(dc, l, r.left + kTitlePad, (kMenuBar - s.cy) / 2, color);
        }
        SetBkMode(dc, old_mode);
        SelectObject(dc, old_font);
        user_release_surface_dc(dc);
    }
    user_suspend_present(false);
    user_window_drawn(w->handle);
}

// Opens the pop-up of a bar title (a plain item on the bar is chosen at once).
void menu_open(Window *w, int title) {
    menu_close(w);
    Menu *bar = user_menu(w->menu);
    if (!bar || title < 0 || title >= (int)bar->items.size()) return;
    if (w->title_rects.size() != bar->items.size()) menu_layout_bar(w);
    const MenuItem &it = bar->items[title];
    if (!it.submenu) {
        if (choosable(it)) PostMessageA(w->handle, WM_COMMAND, it.id, 0);
        return;
    }
    if (it.flags & (MF_GRAYED | MF_DISABLED)) return;
    Menu *m = user_menu(it.submenu);
    if (!m) return;
    PopupState &p = w->popup;
    p.title = title;
    p.menu = it.submenu;
    p.hot = -1;
    layout_popup(w, m, w->title_rects[title]);
    p.overlay = user_new_surface(p.rect.right - p.rect.left, p.rect.bottom - p.rect.top,
                                 pixel_from_colorref(kMenuBack));
    menu_draw_bar(w);
    draw_popup(w);
}

// Closes the open pop-up, uncovering what lies beneath.
void menu_close(Window *w) {
    PopupState &p = w->popup;
    if (p.title < 0) return;
    user_release_surface(p.overlay);
    p = PopupState{};
    if (w->visible && user_menu(w->menu)) menu_draw_bar(w);
    else user_window_drawn(w->handle);
}

// Mouse and key input seen by the menu first; true when consumed. A click on
// a title opens its pop-up; a click on an enabled item posts WM_COMMAND; a
// grayed item or separator does nothing; Escape or a click elsewhere closes.
bool menu_take_input(Window *w, const InputEvent &e) {
    bool open = w->popup.title >= 0;
    if (e.kind == InputEvent::Key) {
        if (!open || e.message != WM_KEYDOWN) return false;
        if (e.vk == VK_ESCAPE) menu_close(w);
        return true;  // the open menu has the keyboard
    }
    if (e.kind != InputEvent::Mouse) return false;
    int mh = user_menu_height(w);
    int sx = e.x, sy = e.y + mh;
    bool in_bar = mh > 0 && sy >= 0 && sy < mh;
    bool down = e.message == WM_LBUTTONDOWN || e.message == WM_RBUTTONDOWN ||
                e.message == WM_MBUTTONDOWN;
    if (!open) {
        if (!in_bar) return false;
        if (e.message == WM_LBUTTONDOWN) {
            if (w->title_rects.empty()) menu_layout_bar(w);
            int t = title_at(w, sx, sy);
            if (t >= 0) menu_open(w, t);
        }
        return true;
    }
    PopupState &p = w->popup;
    if (e.message == WM_MOUSEMOVE) {
        if (!inside(p.rect, sx, sy)) return in_bar;
        int hot = item_at(w, sx, sy);
        if (hot != p.hot) {
            p.hot = hot;
            draw_popup(w);
        }
        return true;
    }
    if (!down) return true;
    if (inside(p.rect, sx, sy)) {
        int i = item_at(w, sx, sy);
        Menu *m = user_menu(p.menu);
        if (e.message != WM_LBUTTONDOWN || !m || i < 0 || !choosable(m->items[i])) return true;
        UINT_PTR id = m->items[i].id;
        menu_close(w);
        PostMessageA(w->handle, WM_COMMAND, id, 0);
        return true;
    }
    if (in_bar) {
        int t = title_at(w, sx, sy);
        if (t >= 0 && t != p.title && e.message == WM_LBUTTONDOWN) menu_open(w, t);
        else menu_close(w);
        return true;
    }
    menu_close(w);
    return true;
}

// Where an item of the open pop-up lies, in surface coordinates.
bool menu_item_rect(Window *w, int position, RECT *rect) {
    const PopupState &p = w->popup;
    if (p.title < 0 || position < 0 || position >= (int)p.item_rects.size()) return false;
    *rect = p.item_rects[position];
    return true;
}

// The bar title whose pop-up holds a command id, and the item's position.
int menu_title_of_command(Window *w, UINT id, int *position) {
    Menu *bar = user_menu(w->menu);
    if (!bar) return -1;
    for (size_t t = 0; t < bar->items.size(); ++t) {
        Menu *m = user_menu(bar->items[t].submenu);
        if (!m) continue;
        for (size_t i = 0; i < m->items.size(); ++i) {
            const MenuItem &it = m->items[i];
            if (!(it.flags & MF_SEPARATOR) && !it.submenu && it.id == id) {
                *position = (int)i;
                return (int)t;
            }
        }
    }
    return -1;
}
