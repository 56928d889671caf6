// The SDL2 backend: a real desktop window per top-level window (its content is
// the menu bar and the client area; the window manager draws caption and
// frame), SDL input turned into the layer's input, and presentation.
#include <SDL.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ansi_text.h"

#include "backends/sdl/video_drivers.h"
#include "backends/sdl/desktop_scale.h"
#include "backends/sdl/sdl_capture.h"
#include "backends/sdl/display_loss.h"
#include "backends/sdl/not_responding.h"
#include "platform_tools.h"
#include "user/user.h"

namespace {

// A caption as SDL takes it: UTF-8, any other byte read as Windows-1252 as
// GDI reads it.
std::string utf8_caption(const char *caption) {
    std::string out;
    ansi_text::to_utf8(caption, static_cast<int>(strlen(caption)), &out);
    return out;
}


struct SdlWindow {
    SDL_Window *window = nullptr;
    Uint32 id = 0;
};

std::vector<uint32_t> compose_buffer;
std::vector<uint32_t> scaled_buffer;
int wanted_scale = 0;  // 0: the desktop's own
int scale = 1;         // desktop pixels per logical pixel

// The SDL side of a layer window.
SdlWindow *sdl_of(Window *w) { return static_cast<SdlWindow *>(w->backend_data); }

// The layer window an SDL window id belongs to.
Window *window_of(Uint32 id) {
    for (Window *w : user_windows()) {
        SdlWindow *s = sdl_of(w);
        if (s && s->id == id) return w;
    }
    return nullptr;
}

// Milliseconds since SDL started.
uint64_t now() { return SDL_GetTicks64(); }

// Opens a hidden desktop window where the client area and menu bar belong;
// false (with the reason on stderr) when SDL cannot.
bool window_created(Window *w) {
    POINT o = user_client_origin(w);
    int width = w->store->surface.width, height = w->store->surface.height;
    SDL_Window *win = SDL_CreateWindow(utf8_caption(w->title.c_str()).c_str(), o.x * scale,
                                       (o.y - user_menu_height(w)) * scale,
                                       (width > 0 ? width : 1) * scale, (height > 0 ? height : 1) * scale,
                                       SDL_WINDOW_HIDDEN |
                                           ((w->style & WS_THICKFRAME) ? SDL_WINDOW_RESIZABLE : 0));
    if (!win) {
        fprintf(stderr, "SDL backend: cannot create a window: %s\n", SDL_GetError());
        return false;
    }
    auto *s = new SdlWindow;
    s->window = win;
    s->id = SDL_GetWindowID(win);
    w->backend_data = s;
    display_loss_watch(win);
    not_responding_add(w, win, utf8_caption(w->title.c_str()).c_str());
    return true;
}

// Closes the desktop window.
void window_destroyed(Window *w) {
    SdlWindow *s = sdl_of(w);
    if (!s) return;
    sdl_capture_window_gone(w);
    not_responding_remove(w);
    if (!display_lost()) SDL_DestroyWindow(s->window);
    delete s;
    w->backend_data = nullptr;
}

// Shows (and raises) or hides the desktop window.
void window_shown(Window *w, bool visible) {
    SdlWindow *s = sdl_of(w);
    if (!s || display_lost()) return;
    if (visible) {
        SDL_ShowWindow(s->window);
        SDL_RaiseWindow(s->window);
        w->dirty = true;
    } else {
        SDL_HideWindow(s->window);
    }
}

// Follows a change of the surface size (a menu bar added or removed).
void window_resized(Window *w) {
    SdlWindow *s = sdl_of(w);
    if (!s || display_lost()) return;
    POINT o = user_client_origin(w);
    SDL_SetWindowSize(s->window, w->store->surface.width * scale, w->store->surface.height * scale);
    SDL_SetWindowPosition(s->window, o.x * scale, (o.y - user_menu_height(w)) * scale);
    w->dirty = true;
}

// Drawing only marks the window; it is presented before the layer waits.
void window_drawn(Window *) {}

// Enlarges a picture by the whole-number scale, each pixel a square of pixels.
void scale_picture(const uint32_t *pixels, int width, int height) {
    size_t row = (size_t)width * scale;
    scaled_buffer.resize(row * height * scale);
    for (int y = 0; y < height; ++y) {
        uint32_t *out = &scaled_buffer[(size_t)y * scale * row];
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < scale; ++k) out[x * scale + k] = pixels[(size_t)y * width + x];
        for (int k = 1; k < scale; ++k) memcpy(out + k * row, out, row * 4);
    }
}

// Copies the window's surface and open pop-up to the screen.
void present(Window *w) {
    SdlWindow *s = sdl_of(w);
    if (!s || display_lost()) return;
    SDL_Surface *dst = SDL_GetWindowSurface(s->window);
    if (!dst) return;
    int width = w->store->surface.width, height = w->store->surface.height;
    if (width <= 0 || height <= 0) return;
    compose_buffer.resize((size_t)width * height);
    user_compose(w, compose_buffer.data());
    sdl_capture_presented(w, compose_buffer.data(), width, height);
    const uint32_t *shown = compose_buffer.data();
    if (scale > 1) {
        scale_picture(compose_buffer.data(), width, height);
        shown = scaled_buffer.data();
    }
    SDL_Surface *src = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t *>(shown), width * scale, height * scale, 32, width * scale * 4,
        SDL_PIXELFORMAT_RGB888);
    if (!src) return;
    SDL_BlitSurface(src, nullptr, dst, nullptr);
    SDL_FreeSurface(src);
    SDL_UpdateWindowSurface(s->window);
}

// The virtual key of an SDL key, 0 for keys the layer does not know. As on
// Windows, a letter key is the letter the active layout prints on it (the
// key at the US Q position is 'A' on a French keyboard); a letter position
// that carries punctuation takes that punctuation's key, and one whose
// letter is not Latin (Cyrillic, Greek) keeps its US letter. Other keys go
// by position.
int vk_of(const SDL_Keysym &key) {
    SDL_Scancode sc = key.scancode;
    SDL_Keycode sym = key.sym;
    Uint16 mod = key.mod;
    if (sym >= 'a' && sym <= 'z') return 'A' + (sym - 'a');
    if (sym == SDLK_MODE) return 0;  // AltGr: its characters come as text
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) {
        int vk;
        bool shift, ctrl;
        if (sym > ' ' && sym < 0x80 && user_char_key((unsigned char)sym, &vk, &shift, &ctrl) && !ctrl &&
            !(vk >= 'A' && vk <= 'Z'))
            return vk;
        return 'A' + (sc - SDL_SCANCODE_A);
    }
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + (sc - SDL_SCANCODE_F1);
    bool num = (mod & KMOD_NUM) != 0;
    if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9 && num)
        return VK_NUMPAD0 + 1 + (sc - SDL_SCANCODE_KP_1);
    switch (sc) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_RETURN: case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
    case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
    case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
    case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
    case SDL_SCANCODE_BACKSLASH: return VK_OEM_5;
    case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
    case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
    case SDL_SCANCODE_GRAVE: return VK_OEM_3;
    case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
    case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH: return VK_OEM_2;
    case SDL_SCANCODE_NONUSBACKSLASH: return VK_OEM_102;
    case SDL_SCANCODE_CAPSLOCK: return VK_CAPITAL;
    case SDL_SCANCODE_LSHIFT: case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LCTRL: case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LALT: case SDL_SCANCODE_RALT: return VK_MENU;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    case SDL_SCANCODE_KP_0: return num ? VK_NUMPAD0 : VK_INSERT;
    case SDL_SCANCODE_KP_PERIOD: return num ? VK_DECIMAL : VK_DELETE;
    case SDL_SCANCODE_KP_1: return VK_END;
    case SDL_SCANCODE_KP_2: return VK_DOWN;
    case SDL_SCANCODE_KP_3: return VK_NEXT;
    case SDL_SCANCODE_KP_4: return VK_LEFT;
    case SDL_SCANCODE_KP_6: return VK_RIGHT;
    case SDL_SCANCODE_KP_7: return VK_HOME;
    case SDL_SCANCODE_KP_8: return VK_UP;
    case SDL_SCANCODE_KP_9: return VK_PRIOR;
    default: return 0;
    }
}

// The message of an SDL mouse button going down or up, 0 for other buttons.
UINT button_message(Uint8 button, bool down) {
    switch (button) {
    case SDL_BUTTON_LEFT: return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case SDL_BUTTON_RIGHT: return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    case SDL_BUTTON_MIDDLE: return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    default: return 0;
    }
}

// Turns one SDL event into the layer's input.
void handle(const SDL_Event &ev) {
    switch (ev.type) {
    case SDL_WINDOWEVENT: {
        Window *w = window_of(ev.window.windowID);
        if (!w) return;
        switch (ev.window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
            InvalidateRect(w->handle, nullptr, FALSE);
            w->dirty = true;
            break;
        case SDL_WINDOWEVENT_CLOSE: {
            InputEvent e;
            e.kind = InputEvent::Close;
            e.hwnd = w->handle;
            user_push_input(e);
            break;
        }
        case SDL_WINDOWEVENT_FOCUS_GAINED: SetFocus(w->handle); break;
        case SDL_WINDOWEVENT_MOVED:
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
            // The user moved or resized it (a sizing border lets them).
            SdlWindow *sw = sdl_of(w);
            int x, y, width, height;
            SDL_GetWindowPosition(sw->window, &x, &y);
            SDL_GetWindowSize(sw->window, &width, &height);
            x /= scale, y /= scale, width /= scale, height /= scale;
            if (ev.window.event == SDL_WINDOWEVENT_SIZE_CHANGED && !(w->style & WS_THICKFRAME))
                break;
            user_content_changed(w, x, y, width, height);
            w->dirty = true;
            break;
        }
        default: break;
        }
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        Window *w = window_of(ev.button.windowID);
        UINT m = button_message(ev.button.button, ev.type == SDL_MOUSEBUTTONDOWN);
        if (!w || !m) return;
        InputEvent e;
        e.hwnd = w->handle;
        e.message = m;
        e.x = ev.button.x / scale;
        e.y = ev.button.y / scale - user_menu_height(w);
        user_push_input(e);
        break;
    }
    case SDL_MOUSEMOTION: {
        Window *w = window_of(ev.motion.windowID);
        if (!w) return;
        InputEvent e;
        e.hwnd = w->handle;
        e.message = WM_MOUSEMOVE;
        e.x = ev.motion.x / scale;
        e.y = ev.motion.y / scale - user_menu_height(w);
        user_push_input(e);
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        Window *w = window_of(ev.key.windowID);
        if (ev.key.keysym.scancode == SDL_SCANCODE_F12) {  // the layer's capture key
            if (ev.type == SDL_KEYDOWN && !ev.key.repeat)
                sdl_capture_key(w ? w : user_window(GetFocus()), (ev.key.keysym.mod & KMOD_SHIFT) != 0);
            return;
        }
        HWND target = w ? w->handle : GetFocus();
        int vk = vk_of(ev.key.keysym);
        if (!target || !vk) return;
        InputEvent e;
        e.kind = InputEvent::Key;
        e.hwnd = target;
        e.message = ev.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP;
        e.vk = vk;
        e.repeat = ev.key.repeat != 0;
        e.layout = true;  // its characters follow as SDL_TEXTINPUT
        user_push_input(e);
        break;
    }
    case SDL_TEXTINPUT: {  // the layout's characters: a key's, a dead key's, an input method's
        Window *w = window_of(ev.text.windowID);
        user_push_text(w ? w->handle : GetFocus(), ev.text.text);
        break;
    }
    default: sdl_capture_event(ev); break;
    }
}

// Once the display is lost: closes every window, as its close box would, so
// that the program ends through its own quit; a program still running a
// second later is stopped, its open files flushed. Returns whether it was lost.
bool end_after_loss() {
    static uint64_t lost_at = 0;
    if (!display_lost()) return false;
    if (lost_at == 0) {
        lost_at = now() + 1;
        for (Window *w : user_windows()) {
            InputEvent e;
            e.kind = InputEvent::Close;
            e.hwnd = w->handle;
            user_push_input(e);
        }
    } else if (now() > lost_at + 1000) {
        fprintf(stderr, "kaplo: the program did not end within a second of losing its display; stopping it\n");
        fflush(nullptr);
        _Exit(1);
    }
    return true;
}

// Takes in every SDL event waiting, without blocking.
void poll() {
    if (end_after_loss()) return;
    SDL_Event ev;
    while (SDL_PollEvent(&ev)) handle(ev);
    end_after_loss();
}

// Blocks in SDL until an event arrives or the deadline passes; without a
// display, sleeps a little instead (the program is on its way out).
void wait(uint64_t deadline) {
    if (end_after_loss()) {
        uint64_t t = now();
        SDL_Delay(deadline > t + 10 ? 10 : (Uint32)(deadline > t ? deadline - t : 0));
        return;
    }
    SDL_Event ev;
    if (deadline == UINT64_MAX) {
        if (SDL_WaitEvent(&ev)) handle(ev);
    } else {
        uint64_t t = now();
        if (deadline <= t) return;
        uint64_t timeout = deadline - t;
        if (timeout > INT_MAX) timeout = INT_MAX;
        if (SDL_WaitEventTimeout(&ev, (int)timeout)) handle(ev);
    }
    poll();
}

// Closes the video subsystem (the windows are gone by now).
void shutdown() {
    not_responding_stop();
    if (!display_lost()) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// The backend's table, filled by field name; the screen size becomes the
// desktop's once the display is open.
Backend desktop_backend() {
    Backend b;
    b.name = "sdl";
    b.now = now;
    b.poll = poll;
    b.wait = wait;
    b.window_created = window_created;
    b.window_destroyed = window_destroyed;
    b.window_shown = window_shown;
    b.window_resized = window_resized;
    b.present = present;
    b.window_drawn = window_drawn;
    b.shutdown = shutdown;
    b.keep_on_screen = true;  // a window off the screen's edge could not be reached
    return b;
}

Backend desktop = desktop_backend();

}  // namespace

// Sets the scale the next platform_use_desktop takes (0: the desktop's own).
void platform_set_desktop_scale(int new_scale) { wanted_scale = new_scale < 0 ? 0 : new_scale; }

// The scale windows are shown at.
int platform_desktop_scale(void) { return scale; }

// Sets the caption of a window's desktop window.
void sdl_set_caption(Window *w, const char *caption) {
    SdlWindow *s = sdl_of(w);
    if (!s) return;
    std::string shown = utf8_caption(caption);
    not_responding_caption(w, shown.c_str());
    SDL_SetWindowTitle(s->window, shown.c_str());
}

// Selects the SDL2 backend; 0 with a message on stderr without a display.
int platform_use_desktop(void) {
    user_reset();
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    display_loss_ignore_broken_pipes();
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // The plain X11/Wayland framebuffer: a GL one would recreate each window
    // on its first presentation and costs more for a small software surface.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    sdl_choose_video_drivers();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "kaplo: cannot open a display: %s\n", SDL_GetError());
        return 0;
    }
    // SDL falls back to an off-screen driver when there is no display; that
    // shows nothing, so it counts as no display unless asked for by name.
    const char *driver = SDL_GetCurrentVideoDriver();
    const char *wanted = getenv("SDL_VIDEODRIVER");
    if (driver && (!strcmp(driver, "offscreen") || !strcmp(driver, "dummy")) &&
        !(wanted && !strcmp(wanted, driver))) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        fprintf(stderr, "kaplo: cannot open a display (no X11 or Wayland display found)\n");
        return 0;
    }
    SDL_DisplayMode mode;
    bool have_mode = SDL_GetDesktopDisplayMode(0, &mode) == 0;
    scale = wanted_scale ? wanted_scale : sdl_desktop_scale(have_mode ? &mode : nullptr);
    if (have_mode) {
        desktop.screen_width = mode.w / scale;
        desktop.screen_height = mode.h / scale;
    }
    // Characters come from the desktop's layout and input method as text.
    SDL_StartTextInput();
    user_set_backend(&desktop);
    if (SDL_GetModState() & KMOD_CAPS) {  // Caps Lock already on
        user_set_key_state(VK_CAPITAL, true);
        user_set_key_state(VK_CAPITAL, false);
    }
    return 1;
}
