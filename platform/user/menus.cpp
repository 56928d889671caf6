// Menu objects: bars and pop-ups, their items, check marks and queries.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "user/user.h"

namespace {

std::map<uintptr_t, std::unique_ptr<Menu>> menus;
uintptr_t next_menu = 0x20010;  // never reused

// Creates an empty menu.
HMENU new_menu(bool popup) {
    auto m = std::make_unique<Menu>();
    m->popup = popup;
    HMENU h = reinterpret_cast<HMENU>(next_menu);
    next_menu += 4;
    menus[reinterpret_cast<uintptr_t>(h)] = std::move(m);
    return h;
}

// The item named by command id (searching pop-ups too) or by position.
MenuItem *find_item(HMENU handle, UINT item, UINT flags, Menu **owner = nullptr) {
    Menu *m = user_menu(handle);
    if (!m) return nullptr;
    if (flags & MF_BYPOSITION) {
        if (item >= m->items.size()) return nullptr;
        if (owner) *owner = m;
        return &m->items[item];
    }
    for (MenuItem &it : m->items) {
        if (it.submenu) {
            if (MenuItem *found = find_item(it.submenu, item, flags, owner)) return found;
        } else if (!(it.flags & MF_SEPARATOR) && it.id == item) {
            if (owner) *owner = m;
            return &it;
        }
    }
    return nullptr;
}

}  // namespace

// The menu behind a handle, or nullptr.
Menu *user_menu(HMENU handle) {
    auto it = menus.find(reinterpret_cast<uintptr_t>(handle));
    return it == menus.end() ? nullptr : it->second.get();
}

// Forgets every menu.
void user_reset_menus() { menus.clear(); }

// Destroys a menu and its pop-ups.
void user_destroy_menu_tree(HMENU handle) {
    Menu *m = user_menu(handle);
    if (!m) return;
    std::vector<HMENU> subs;
    for (MenuItem &it : m->items)
        if (it.submenu) subs.push_back(it.submenu);
    menus.erase(reinterpret_cast<uintptr_t>(handle));
    for (HMENU s : subs) user_destroy_menu_tree(s);
}

// A new, empty menu bar.
HMENU WINAPI CreateMenu(void) { return new_menu(false); }

// A new, empty pop-up menu.
HMENU WINAPI CreatePopupMenu(void) { return new_menu(true); }

// Appends a string item, a separator, or a pop-up (id is its handle).
BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
    Menu *m = user_menu(menu);
    if (!m) return FALSE;
    MenuItem item;
    item.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR);
    if (flags & MF_POPUP) {
        HMENU sub = reinterpret_cast<HMENU>(id);
        if (!user_menu(sub) || sub == menu) return FALSE;
        item.submenu = sub;
        item.id = (UINT_PTR)-1;
    } else {
        item.id = id;
    }
    if (!(flags & MF_SEPARATOR) && text) item.text = text;
    m->items.push_back(item);
    return TRUE;
}

// Attaches a menu bar (or none) to a window; the client area shrinks or grows.
BOOL WINAPI SetMenu(HWND hwnd, HMENU menu) {
    Window *w = user_window(hwnd);
    if (!w || (w->style & WS_POPUP)) return FALSE;
    if (menu && (!user_menu(menu) || user_menu(menu)->popup)) return FALSE;
    menu_close(w);
    w->menu = menu;
    user_resize_client(w);
    w->title_rects.clear();
    if (w->visible) menu_draw_bar(w);
    return TRUE;
}

// The window's menu bar.
HMENU WINAPI GetMenu(HWND hwnd) {
    Window *w = user_window(hwnd);
    return w ? w->menu : nullptr;
}

// Draws the window's menu bar again.
BOOL WINAPI DrawMenuBar(HWND hwnd) {
    Window *w = user_window(hwnd);
    if (!w) return FALSE;
    if (w->visible && w->menu) menu_draw_bar(w);
    return TRUE;
}

// Sets or clears a check mark; returns the previous state or -1.
DWORD WINAPI CheckMenuItem(HMENU menu, UINT item, UINT flags) {
    MenuItem *it = find_item(menu, item, flags);
    if (!it) return (DWORD)-1;
    DWORD old = it->flags & MF_CHECKED;
    it->flags = (it->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
    return old;
}

// The item's flags (for a pop-up, its item count in the high byte), or -1.
UINT WINAPI GetMenuState(HMENU menu, UINT item, UINT flags) {
    MenuItem *it = find_item(menu, item, flags);
    if (!it) return (UINT)-1;
    UINT state = it->flags;
    if (it->submenu) state |= (UINT)(user_menu(it->submenu)->items.size() & 0xFF) << 8;
    return state;
}

// Number of items, or -1.
int WINAPI GetMenuItemCount(HMENU menu) {
    Menu *m = user_menu(menu);
    return m ? (int)m->items.size() : -1;
}

// The command id at a position; -1 for a pop-up or no item, 0 for a separator.
UINT WINAPI GetMenuItemID(HMENU menu, int position) {
    Menu *m = user_menu(menu);
    if (!m || position < 0 || position >= (int)m->items.size()) return (UINT)-1;
    const MenuItem &it = m->items[position];
    if (it.submenu) return (UINT)-1;
    if (it.flags & MF_SEPARATOR) return 0;
    return (UINT)it.id;
}

// The pop-up at a position, or NULL.
HMENU WINAPI GetSubMenu(HMENU menu, int position) {
    Menu *m = user_menu(menu);
    if (!m || position < 0 || position >= (int)m->items.size()) return nullptr;
    return m->items[position].submenu;
}

// Copies an item's text (with its & and tab); returns its length copied.
int WINAPI GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int size, UINT flags) {
    MenuItem *it = find_item(menu, item, flags);
    if (!it) {
        if (buffer && size > 0) buffer[0] = 0;
        return 0;
    }
    if (!buffer || size <= 0) return (int)it->text.size();
    int n = std::min((int)it->text.size(), size - 1);
    memcpy(buffer, it->text.data(), n);
    buffer[n] = 0;
    return n;
}

// Destroys a menu and its pop-ups, taking it off any window.
BOOL WINAPI DestroyMenu(HMENU menu) {
    if (!user_menu(menu)) return FALSE;
    for (Window *w : user_windows()) {
        if (w->popup.menu == menu) menu_close(w);
        if (w->menu == menu) {
            menu_close(w);
            w->menu = nullptr;
            user_resize_client(w);
        }
    }
    user_destroy_menu_tree(menu);
    return TRUE;
}
