// The log window: a ring of the last 25 lines, shown in the text window.
#include <cstring>

#include "package.h"

// Formats into a bounded buffer; long output is cut to size - 1 characters.
int format_bounded(char *buffer, int size, const char *format, va_list args) {
    if (size <= 0) return 0;
    buffer[0] = '\0';
    if (format == nullptr) return 0;
    int count = vsnprintf(buffer, (size_t)size, format, args);
    buffer[size - 1] = '\0';
    if (count < 0) return (int)strlen(buffer);  // a C library that reports cutting as an error
    return count < size ? count : size - 1;
}

// Stores a copy of text in a new moveable block; returns nullptr when that fails.
static HGLOBAL copy_to_block(const char *text, size_t length) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length + 1);
    if (block == nullptr) return nullptr;
    char *copy = (char *)GlobalLock(block);
    if (copy == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    memcpy(copy, text, length + 1);
    GlobalUnlock(block);
    return block;
}

// Formats one line into the log ring and asks for the text window to be repainted.
int KAPLO_log(const char *format, ...) {
    PackageState &state = package_state;
    char line[LOG_LINE_SIZE];
    va_list args;
    va_start(args, format);
    int count = format_bounded(line, LOG_LINE_SIZE, format, args);
    va_end(args);

    // The block is made first, so that a failed allocation leaves the ring as it was.
    HGLOBAL block = copy_to_block(line, strlen(line));
    if (block == nullptr) return count;
    if (state.log_oldest == state.log_next) {
        GlobalFree(state.log_lines[state.log_oldest]);
        state.log_oldest = (state.log_oldest + 1) % LOG_RING_SIZE;
    }
    state.log_lines[state.log_next] = block;
    if (state.log_oldest == -1) state.log_oldest = state.log_next;
    state.log_next = (state.log_next + 1) % LOG_RING_SIZE;
    // The line also goes to a watching debugger (on the portable layer: a
    // run's log transcript).
    OutputDebugStringA(line);

    // Before KAPLO_begin there is no window to repaint (a null window would mean all of them).
    if (state.text_window != nullptr) InvalidateRect(state.text_window, nullptr, TRUE);
    return count;
}

// Switches the describing of drawing calls on or off; showing the log when on.
int KAPLO_set_logging(int on) {
    PackageState &state = package_state;
    if (state.drawing_window == nullptr) return 0;
    state.logging = on != 0;
    CheckMenuItem(state.run_menu, CMD_LOGGING, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    if (state.logging) show_text_window(1);
    return 1;
}

// Shows or hides the text window.
int show_text_window(int show) {
    return ShowWindow(package_state.text_window, show ? SW_SHOW : SW_HIDE);
}

// The text window's procedure: paints the log and passes keys to the drawing window.
LRESULT CALLBACK text_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    PackageState &state = package_state;
    switch (message) {
    case WM_PAINT:
        paint_log_window(hwnd);
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
        PostMessageA(state.drawing_window, message, wparam, lparam);
        return 0;
    case WM_DESTROY:
        // A closed text window must not be used through a stale handle.
        if (hwnd == state.text_window) state.text_window = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

// Paints the stored lines off-screen, newest at the bottom, and copies them in one transfer.
void paint_log_window(HWND hwnd) {
    const PackageState &state = package_state;
    PAINTSTRUCT paint;
    RECT client;
    BeginPaint(hwnd, &paint);
    GetClientRect(hwnd, &client);
    HDC window_dc = GetDC(hwnd);
    int width = client.right - client.left;
    int height = client.bottom - client.top;

    HDC image_dc = CreateCompatibleDC(window_dc);
    HBITMAP image = CreateCompatibleBitmap(window_dc, width, height);
    HGDIOBJ previous_bitmap = SelectObject(image_dc, image);
    HBRUSH background = CreateSolidBrush(GetBkColor(image_dc));
    FillRect(image_dc, &client, background);

    HGDIOBJ previous_font = SelectObject(image_dc, GetStockObject(ANSI_FIXED_FONT));
    TEXTMETRICA metrics = {};
    GetTextMetricsA(image_dc, &metrics);
    int row_height = metrics.tmHeight + metrics.tmExternalLeading;
    RECT bottom_strip = {client.left, client.bottom - row_height, client.right, client.bottom + 1};

    if (state.log_oldest != -1) {
        int slot = state.log_oldest;
        do {
            char *text = (char *)GlobalLock(state.log_lines[slot]);
            ScrollDC(image_dc, 0, -row_height, &client, &client, nullptr, nullptr);
            FillRect(image_dc, &bottom_strip, background);
            if (text != nullptr) {
                int length = (int)strlen(text);
                if (length > 0 && text[length - 1] == '\n') text[--length] = '\0';
                package_text_out(image_dc, client.left + 5, client.bottom - row_height, text, length);
                GlobalUnlock(state.log_lines[slot]);
            }
            slot = (slot + 1) % LOG_RING_SIZE;
        } while (slot != state.log_next);
    }

    BitBlt(window_dc, 0, 0, width, height, image_dc, 0, 0, SRCCOPY);
    EndPaint(hwnd, &paint);

    SelectObject(image_dc, previous_font);
    SelectObject(image_dc, previous_bitmap);
    DeleteObject(background);
    DeleteObject(image);
    DeleteDC(image_dc);
    ReleaseDC(hwnd, window_dc);
}
