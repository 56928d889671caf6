// The one message queue: posted messages, the quit flag, input, paint and
// timer messages in the order GetMessageA takes them, and default handling.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "user/user.h"

namespace {

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC proc;
    uint64_t due;
};

std::deque<MSG> posted;
std::deque<InputEvent> input;
std::vector<Timer> timers;
bool quit_pending = false;
int quit_code = 0;
unsigned char key_state[256];  // 0x80 down, 0x01 toggled
UINT_PTR next_thread_timer = 0x7FFF;
bool mouse_swallow_up = false;  // the button went down on the menu
unsigned long posted_total = 0;  // messages ever posted
bool menu_posted = false;       // a menu choice was posted while taking input
int altgr_vk = 0;               // the key down that typed under AltGr

// The filter of the GetMessageA call now waiting (none outside one): what is
// pending, and when the next timer falls due, is what that call could take.
struct Filter {
    HWND hwnd = nullptr;
    UINT lo = 0, hi = 0;
};
Filter waiting;

// Windows' shortest timer period.
constexpr UINT kTimerMinimum = 10;

// Whether a message passes GetMessageA's window and range filter.
bool passes(HWND filter, UINT lo, UINT hi, HWND hwnd, UINT message) {
    if (filter && filter != hwnd) return false;
    if ((lo || hi) && (message < lo || message > hi)) return false;
    return true;
}

// Fills msg with a message made now.
void make(MSG *msg, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, DWORD time) {
    msg->hwnd = hwnd;
    msg->message = message;
    msg->wParam = wparam;
    msg->lParam = lparam;
    msg->time = time;
    msg->pt = POINT{0, 0};
}

// The MK_ flags of the current button and modifier state.
WPARAM mouse_flags() {
    WPARAM f = 0;
    if (key_state[0x01] & 0x80) f |= MK_LBUTTON;
    if (key_state[0x02] & 0x80) f |= MK_RBUTTON;
    if (key_state[0x04] & 0x80) f |= 0x0010;  // MK_MBUTTON
    if (key_state[VK_SHIFT] & 0x80) f |= MK_SHIFT;
    if (key_state[VK_CONTROL] & 0x80) f |= MK_CONTROL;
    return f;
}

// Updates the button state for a mouse message.
void track_buttons(UINT message) {
    switch (message) {
    case WM_LBUTTONDOWN: user_set_key_state(0x01, true); break;
    case WM_LBUTTONUP: user_set_key_state(0x01, false); break;
    case WM_RBUTTONDOWN: user_set_key_state(0x02, true); break;
    case WM_RBUTTONUP: user_set_key_state(0x02, false); break;
    case WM_MBUTTONDOWN: user_set_key_state(0x04, true); break;
    case WM_MBUTTONUP: user_set_key_state(0x04, false); break;
    default: break;
    }
}

// A layout key that types with Alt held is under AltGr: a plain key, down
// and up (its release is known by the key that went down under it).
bool under_altgr(const InputEvent &e) {
    return e.layout && (e.message == WM_KEYDOWN ? !e.text.empty() : e.vk == altgr_vk);
}

// The message an input event becomes, worked out before anything changes:
// a key is a system key with Alt held (not Ctrl+Alt) and for Alt and F10
// themselves; a mouse event over the menu bar is the non-client message
// (WM_NCMOUSEMOVE ... lie 0x160 below their client twins).
UINT message_of(const InputEvent &e) {
    if (e.kind == InputEvent::Close) return WM_SYSCOMMAND;
    if (e.kind == InputEvent::Text) return WM_CHAR;
    bool down = e.message == WM_KEYDOWN;
    if (e.kind == InputEvent::Key) {
        int vk = e.vk & 0xFF;
        bool alt = vk == VK_MENU ? down : (key_state[VK_MENU] & 0x80) != 0;
        bool ctrl = vk == VK_CONTROL ? down : (key_state[VK_CONTROL] & 0x80) != 0;
        if ((alt && !ctrl && !under_altgr(e)) || vk == VK_MENU || vk == 0x79 /* F10 */)
            return down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
        return e.message;
    }
    return e.y < 0 ? e.message - 0x160 : e.message;
}

// Whether GetMessageA's filter lets an input event be taken: the message it
// would become passes (also when the menu is to consume it).
bool input_passes(const InputEvent &e, HWND filter, UINT lo, UINT hi) {
    return passes(filter, lo, hi, e.hwnd, message_of(e));
}

// Takes the first input event that passes the filter and becomes a message;
// events the filter refuses stay queued in order, events the menu consumes
// and mouse events outside the client area make none. Key and button states
// change only for the events taken.
bool take_input(MSG *msg, HWND filter, UINT lo, UINT hi) {
    for (size_t i = 0; i < input.size();) {
        InputEvent e = input[i];
        Window *w = user_window(e.hwnd);
        if (!w) {
            input.erase(input.begin() + (long)i);
            continue;
        }
        UINT m = message_of(e);
        if (!passes(filter, lo, hi, e.hwnd, m)) {
            ++i;
            continue;
        }
        input.erase(input.begin() + (long)i);
        if (e.kind == InputEvent::Close) {
            menu_close(w);
            make(msg, e.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0, e.time);
            return true;
        }
        if (e.kind == InputEvent::Text) {
            // One byte per message; the rest stays first in line.
            if (e.text.empty()) continue;
            if (e.text.size() > 1) {
                InputEvent rest = e;
                rest.text.erase(0, 1);
                input.insert(input.begin() + (long)i, rest);
            }
            make(msg, e.hwnd, WM_CHAR, (WPARAM)(unsigned char)e.text[0], 1, e.time);
            return true;
        }
        if (e.kind == InputEvent::Key) {
            bool down = e.message == WM_KEYDOWN;
            bool under_altgr_now = under_altgr(e);
            if (down) user_key_taken(e);
            bool was_down = (key_state[e.vk & 0xFF] & 0x80) != 0;
            user_set_key_state(e.vk, down);
            if (menu_take_input(w, e)) {
                if (!posted.empty()) {
                    menu_posted = true;
                    return false;
                }
                continue;
            }
            if (down || under_altgr_now) altgr_vk = under_altgr_now && down ? e.vk : 0;
            LPARAM l = 1;
            if (down && was_down) l |= 1L << 30;
            if (!down) l |= (LPARAM)3 << 30;
            make(msg, e.hwnd, m, (WPARAM)e.vk, (LPARAM)(DWORD)l, e.time);
            return true;
        }
        bool down = e.message == WM_LBUTTONDOWN || e.message == WM_RBUTTONDOWN ||
                    e.message == WM_MBUTTONDOWN;
        bool up = e.message == WM_LBUTTONUP || e.message == WM_RBUTTONUP ||
                  e.message == WM_MBUTTONUP;
        track_buttons(e.message);
        if (menu_take_input(w, e)) {
            if (down) mouse_swallow_up = true;
            if (!posted.empty()) {
                menu_posted = true;
                return false;
            }
            continue;
        }
        if (up && mouse_swallow_up) {
            mouse_swallow_up = false;
            continue;
        }
        if (down) mouse_swallow_up = false;
        if (e.y < 0) continue;  // non-client: the menu bar's empty part
        make(msg, e.hwnd, m, mouse_flags(), MAKELPARAM(e.x, e.y), e.time);
        POINT o = user_client_origin(w);
        msg->pt = POINT{o.x + e.x, o.y + e.y};
        return true;
    }
    return false;
}

// A WM_PAINT for the first shown window with an update region.
bool take_paint(MSG *msg, HWND filter, UINT lo, UINT hi) {
    for (Window *w : user_windows()) {
        if (!w->visible || w->update.right <= w->update.left || w->update.bottom <= w->update.top)
            continue;
        if (!passes(filter, lo, hi, w->handle, WM_PAINT)) continue;
        make(msg, w->handle, WM_PAINT, 0, 0, user_now());
        return true;
    }
    return false;
}

// A WM_TIMER for the timer most overdue; it restarts now.
bool take_timer(MSG *msg, HWND filter, UINT lo, UINT hi) {
    uint64_t now = user_backend()->now();
    Timer *best = nullptr;
    for (Timer &t : timers) {
        if (t.due > now || !passes(filter, lo, hi, t.hwnd, WM_TIMER)) continue;
        if (!best || t.due < best->due) best = &t;
    }
    if (!best) return false;
    best->due = now + best->elapse;
    make(msg, best->hwnd, WM_TIMER, best->id, (LPARAM)best->proc, (DWORD)now);
    return true;
}

}  // namespace

// Milliseconds on the backend's clock.
DWORD user_now() { return user_backend() ? (DWORD)user_backend()->now() : 0; }

// Queues raw input from a backend; mouse moves coalesce as on Windows.
void user_push_input(const InputEvent &event) {
    InputEvent e = event;
    e.time = user_now();
    if (e.kind == InputEvent::Mouse && e.message == WM_MOUSEMOVE && !input.empty() &&
        input.back().kind == InputEvent::Mouse && input.back().message == WM_MOUSEMOVE &&
        input.back().hwnd == e.hwnd) {
        input.back() = e;
        return;
    }
    input.push_back(e);
}

// Characters a layout made: they belong to the key press still waiting for
// them (keyboards send a key and then its text), else they come on their own.
void user_push_text(HWND hwnd, const char *utf8) {
    if (!hwnd || !utf8 || !*utf8) return;
    if (!input.empty()) {
        InputEvent &last = input.back();
        if (last.kind == InputEvent::Key && last.message == WM_KEYDOWN && last.layout &&
            last.hwnd == hwnd && last.text.empty() && !user_control_key(last.vk) &&
            last.vk != VK_SHIFT && last.vk != VK_CONTROL && last.vk != VK_MENU && last.vk != VK_CAPITAL) {
            last.text = utf8;
            return;
        }
    }
    InputEvent e;
    e.kind = InputEvent::Text;
    e.hwnd = hwnd;
    e.text = utf8;
    user_push_input(e);
}

// How many messages were ever posted (to tell whether a step posted one).
unsigned long user_posted_count() { return posted_total; }

// Records a key or button going down or up.
void user_set_key_state(int vk, bool down) {
    unsigned char &s = key_state[vk & 0xFF];
    if (down) {
        if (!(s & 0x80)) s ^= 0x01;
        s |= 0x80;
    } else {
        s &= 0x7F;
    }
}

// Whether the waiting GetMessageA (any, outside one) has something to return
// or to consume without waiting.
bool user_have_pending() {
    const Filter &f = waiting;
    if (quit_pending) return true;
    for (const MSG &m : posted)
        if (passes(f.hwnd, f.lo, f.hi, m.hwnd, m.message)) return true;
    for (const InputEvent &e : input)
        if (!user_window(e.hwnd) || input_passes(e, f.hwnd, f.lo, f.hi)) return true;
    for (Window *w : user_windows())
        if (w->visible && w->update.right > w->update.left && w->update.bottom > w->update.top &&
            passes(f.hwnd, f.lo, f.hi, w->handle, WM_PAINT))
            return true;
    return user_next_timer_due() <= user_backend()->now();
}

// Drops queued messages and input for a window being destroyed.
void user_purge_window(HWND hwnd) {
    posted.erase(std::remove_if(posted.begin(), posted.end(),
                                [hwnd](const MSG &m) { return m.hwnd == hwnd; }),
                 posted.end());
    input.erase(std::remove_if(input.begin(), input.end(),
                               [hwnd](const InputEvent &e) { return e.hwnd == hwnd; }),
                input.end());
}

// Empties the queue and forgets timers, the quit flag and key states.
void user_reset_queue() {
    posted.clear();
    input.clear();
    timers.clear();
    quit_pending = false;
    quit_code = 0;
    mouse_swallow_up = false;
    waiting = Filter{};
    altgr_vk = 0;
    user_key_taken(InputEvent{});
    for (unsigned char &s : key_state) s = 0;
}

// Stops every timer of a window.
void user_kill_window_timers(HWND hwnd) {
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [hwnd](const Timer &t) { return t.hwnd == hwnd; }),
                 timers.end());
}

// When the next timer the waiting GetMessageA could take falls due,
// UINT64_MAX without one.
uint64_t user_next_timer_due() {
    uint64_t due = UINT64_MAX;
    for (const Timer &t : timers)
        if (passes(waiting.hwnd, waiting.lo, waiting.hi, t.hwnd, WM_TIMER)) due = std::min(due, t.due);
    return due;
}

// Waits for the next message: posted, then quit, then input, then paint, then
// timer. Returns 0 for WM_QUIT, -1 for a bad argument.
BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT filter_min, UINT filter_max) {
    // For the "not responding" watcher: asking from here until the return.
    struct Asking {
        Asking() { user_begin_asking(); }
        ~Asking() { user_end_asking(!input.empty()); }
    } asking;
    Backend *b = user_backend();
    if (!msg || !b) return -1;
    if (hwnd && !user_window(hwnd)) return -1;
    // Restores the filter of an outer call (a procedure may call GetMessageA).
    struct Waiting {
        Filter outer = waiting;
        ~Waiting() { waiting = outer; }
    } restore;
    waiting = Filter{hwnd, filter_min, filter_max};
    for (;;) {
        if (b->poll) b->poll();
        for (auto it = posted.begin(); it != posted.end(); ++it) {
            if (!passes(hwnd, filter_min, filter_max, it->hwnd, it->message)) continue;
            *msg = *it;
            posted.erase(it);
            return msg->message == WM_QUIT ? FALSE : TRUE;
        }
        // The quit message comes once no posted message the call takes is left.
        if (quit_pending) {
            quit_pending = false;
            make(msg, nullptr, WM_QUIT, (WPARAM)quit_code, 0, user_now());
            return FALSE;
        }
        menu_posted = false;
        if (take_input(msg, hwnd, filter_min, filter_max)) return TRUE;
        if (menu_posted) continue;  // the choice goes before later input
        if (take_paint(msg, hwnd, filter_min, filter_max)) return TRUE;
        if (take_timer(msg, hwnd, filter_min, filter_max)) return TRUE;
        user_present_dirty();
        if (b->wait) b->wait(user_next_timer_due());
    }
}

// Posts a message to a window's queue (or the thread's, for NULL).
BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (hwnd && !user_window(hwnd)) return FALSE;
    MSG m;
    make(&m, hwnd, message, wparam, lparam, user_now());
    posted.push_back(m);
    ++posted_total;
    return TRUE;
}

// Calls the window procedure at once.
LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    Window *w = user_window(hwnd);
    if (!w || !w->proc) return 0;
    return w->proc(hwnd, message, wparam, lparam);
}

// Posts the quit message, returned once no posted message is left.
void WINAPI PostQuitMessage(int exit_code) {
    quit_pending = true;
    quit_code = exit_code;
}

// Runs the procedure a message is for (or the timer's callback).
LRESULT WINAPI DispatchMessageA(const MSG *msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, user_now());
        return 0;
    }
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

// Default handling: closing, painting and erasing as Windows does them.
LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    (void)lparam;
    Window *w = user_window(hwnd);
    if (!w) return 0;
    switch (message) {
    case WM_NCCREATE: return TRUE;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_CLOSE) SendMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH brush = w->cls->wc.hbrBackground;
        if (!brush) return 0;
        // Small values name a system colour: the window colour is white here.
        if (reinterpret_cast<uintptr_t>(brush) <= 31) brush = (HBRUSH)GetStockObject(WHITE_BRUSH);
        RECT r{0, 0, w->client_w, w->client_h};
        FillRect((HDC)wparam, &r, brush);
        return 1;
    }
    default: return 0;
    }
}

// Key state at the time of the last message taken: bit 15 down, bit 0 toggled.
short WINAPI GetKeyState(int virtual_key) {
    unsigned char s = key_state[virtual_key & 0xFF];
    return (short)(((s & 0x80) ? 0xFF80 : 0) | (s & 0x01));
}

// Milliseconds on the backend's clock (virtual on the headless backend).
DWORD WINAPI GetTickCount(void) { return user_now(); }

// Starts or restarts a timer; one WM_TIMER at most is pending per timer.
UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
    if (hwnd && !user_window(hwnd)) return 0;
    if (!user_backend()) return 0;
    if (elapse_ms < kTimerMinimum) elapse_ms = kTimerMinimum;
    if (!hwnd) id = next_thread_timer++;
    uint64_t due = user_backend()->now() + elapse_ms;
    for (Timer &t : timers) {
        if (t.hwnd == hwnd && t.id == id) {
            t.elapse = elapse_ms;
            t.proc = proc;
            t.due = due;
            return id ? id : 1;
        }
    }
    timers.push_back(Timer{hwnd, id, elapse_ms, proc, due});
    return id ? id : 1;
}

// Stops a timer.
BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        if (it->hwnd == hwnd && it->id == id) {
            timers.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}
