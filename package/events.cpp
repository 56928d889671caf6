// Event retrieval: the message loop and the drawing window's input messages.
#include "package.h"

// Copies the whole back buffer to the drawing window's client area.
static void copy_back_buffer(void) {
    PackageState &state = package_state;
    BitBlt(state.window_dc, 0, 0, DRAW_WIDTH, DRAW_HEIGHT, state.back_buffer_dc, 0, 0, SRCCOPY);
}

#ifdef _WIN32
// The ANSI code page of the active keyboard layout, which typed characters
// come in.
static UINT keyboard_code_page(void) {
    LCID locale = MAKELCID(LOWORD((DWORD_PTR)GetKeyboardLayout(0)), SORT_DEFAULT);
    DWORD page = 0;
    if (GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER, (LPSTR)&page,
                       sizeof page / sizeof(char)) == 0 || page == 0)
        return CP_ACP;
    return page;
}

// Windows only: GetMessageA, with typed characters turned into UTF-8 as on
// every other build. WM_CHAR to an "A" window carries a character in the
// keyboard layout's code page (é is 0xE9 on a French keyboard); a character
// outside ASCII becomes its UTF-8 bytes, one WM_CHAR each, in order, and a
// double-byte code page's lead byte waits for its trail byte. A WM_CHAR that
// no key made (repeat count 0: posted by a program) keeps its byte.
static BOOL get_message(MSG *message) {
    PackageState &state = package_state;
    if (state.typed_next < state.typed_count) {
        *message = state.typed_message;
        message->wParam = state.typed_utf8[state.typed_next++];
        return TRUE;
    }
    BOOL result = GetMessageA(message, nullptr, 0, 0);
    if (result == 0 || message->message != WM_CHAR || (message->lParam & 0xFFFF) == 0) return result;
    char bytes[2];
    int count = 0;
    unsigned char byte = (unsigned char)(message->wParam & 0xFF);
    UINT page = keyboard_code_page();
    if (state.typed_lead != 0) {
        bytes[count++] = (char)state.typed_lead;
        state.typed_lead = 0;
    } else if (byte < 0x80) {
        return result;
    } else if (IsDBCSLeadByteEx(page, byte)) {
        state.typed_lead = byte;
        message->message = WM_NULL;
        return result;
    }
    bytes[count++] = (char)byte;
    WCHAR wide[2];
    int wide_count = MultiByteToWideChar(page, 0, bytes, count, wide, 2);
    int utf8_count = WideCharToMultiByte(CP_UTF8, 0, wide, wide_count, (char *)state.typed_utf8,
                                         sizeof state.typed_utf8, nullptr, nullptr);
    if (wide_count <= 0 || utf8_count <= 0) return result;
    state.typed_message = *message;
    state.typed_count = utf8_count;
    state.typed_next = 1;
    message->wParam = state.typed_utf8[0];
    return result;
}
#else
static BOOL get_message(MSG *message) { return GetMessageA(message, nullptr, 0, 0); }
#endif

// Takes one message and handles it completely; a quit message arms KAPLO_QUIT.
void pump_message(void) {
    PackageState &state = package_state;
    MSG message = {};
    if (get_message(&message) == 0) {
        state.event_kind = KAPLO_QUIT;
        return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
    if (state.back_buffer_dirty != 0) {
        copy_back_buffer();
        state.back_buffer_dirty = 0;
    }
}

// The drawing window's procedure: input messages here, control messages in commands.cpp.
LRESULT CALLBACK draw_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    PackageState &state = package_state;
    switch (message) {
    case WM_CREATE:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_COMMAND:
        if (control_message(hwnd, message, wparam, lparam)) return 0;
        break;
    case WM_SIZE: {
        RECT client;
        GetClientRect(hwnd, &client);
        state.origin_x = client.left + (client.right - client.left) / 2;
        state.origin_y = client.top + (client.bottom - client.top) / 2;
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        copy_back_buffer();
        EndPaint(hwnd, &paint);
        state.back_buffer_dirty = 0;
        return 0;
    }
    case WM_CHAR:
        if (state.ctrl_down) return 0;
        state.event_kind = KAPLO_KBD;
        state.event_key = (char)(wparam & 0xFF);
        return 0;
    case WM_TIMER:
        state.tick_pending = 1;
        return 0;
    case WM_LBUTTONDOWN: {
        int client_x = LOWORD(lparam);
        int client_y = HIWORD(lparam);
        state.event_kind = KAPLO_MOUSE;
        state.event_x = client_x - state.origin_x;
        state.event_y = state.origin_y - client_y;
        return 0;
    }
    case WM_DESTROY:
    case WM_QUIT:
        KillTimer(hwnd, PERIODIC_TIMER_ID);
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

// Whether the event assembled so far can be handed out.
static int event_deliverable(void) {
    const PackageState &state = package_state;
    if (state.event_kind == EVENT_NONE) return 0;
    return state.event_kind != KAPLO_PERIODIC || state.tick_pending != 0;
}

// Pumps messages until an event is deliverable, records it, and returns its kind.
int wait_for_event(EventRecord *event) {
    PackageState &state = package_state;
    state.event_kind = EVENT_NONE;
    state.event_key = 0;
    state.event_y = 0;
    state.event_x = 0;

    while (!event_deliverable()) {
        pump_message();
        // Only the quit message leaves KAPLO_QUIT here: anything earlier was deliverable.
        if (state.event_kind != KAPLO_QUIT && (state.play_one || state.playing_back)) {
            state.play_one = 0;
            if (script_read_event() == 1) break;
            script_stop_playback();
        }
        if (!state.single_step && !state.running) continue;
        if (state.event_kind == EVENT_NONE) {
            state.event_kind = KAPLO_PERIODIC;
            state.tick_pending = 0;
            state.single_step = 0;
            state.play_one = 0;
        }
    }

    if (state.recording) {
        if (state.event_kind == KAPLO_PERIODIC) {
            state.periodic_count += 1;
        } else {
            if (state.periodic_count > 0) {
                script_write_event(KAPLO_PERIODIC, 0, 0, 0);
                state.periodic_count = 0;
            }
            script_write_event(state.event_kind, state.event_x, state.event_y, state.event_key);
        }
    }

    event->x = state.event_x;
    event->y = state.event_y;
    event->key = state.event_key;
    return state.quit_requested ? KAPLO_QUIT : state.event_kind;
}

// Waits for the next event and hands out its kind, position and character.
// Without a drawing window (none opened, or it could not be) no event can
// ever come, so the program is told to quit instead of waiting forever.
int KAPLO_next_event(int *x, int *y, char *key) {
    EventRecord event = {0, 0, 0};
    int kind = package_state.drawing_window == nullptr ? KAPLO_QUIT : wait_for_event(&event);
    if (x != nullptr) *x = event.x;
    if (y != nullptr) *y = event.y;
    if (key != nullptr) *key = event.key;
    return kind;
}
