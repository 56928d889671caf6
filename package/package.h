// The package's internal state and the operations its parts share.
#pragma once

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "kaplo.h"

#define DRAW_WIDTH 601
#define DRAW_HEIGHT 540
#define PERIODIC_TIMER_ID 2
#define TICK_MS 50
#define LOG_RING_SIZE 25
#define LOG_LINE_SIZE 1024
#define MAX_PTSIZE 127
#define TEXTF_BUFFER_SIZE 1024
#define SCRIPT_FILE_NAME "KAPLO.SCR"

#define EVENT_NONE (-1)

// Control command ids of the "&Run" menu.
#define CMD_ANIMATE 1
#define CMD_HALT 2
#define CMD_STEP 3
#define CMD_LOGGING 4
#define CMD_RECORD 5
#define CMD_PLAYBACK 6
#define CMD_PLAY_ONE 7
#define CMD_QUIT 8
#define CMD_INFO 9

// Draw command kinds.
#define DRAW_TRIANGLE 0
#define DRAW_RECTANGLE 1
#define DRAW_OVAL 2
#define DRAW_LINE 3
#define DRAW_PIXEL 4
#define DRAW_TEXT 5

typedef unsigned char byte_flag;

struct PackageState {
    HWND drawing_window = nullptr;
    HWND text_window = nullptr;
    HINSTANCE instance = nullptr;
    HDC window_dc = nullptr;
    HBITMAP back_buffer = nullptr;
    HDC back_buffer_dc = nullptr;
    int back_buffer_dirty = 1;
    HMENU run_menu = nullptr;
    int origin_x = 0;
    int origin_y = 0;
    int event_kind = 0;
    int event_x = 0;
    int event_y = 0;
    char event_key = 0;
    byte_flag running = 0;
    byte_flag single_step = 0;
    byte_flag quit_requested = 0;
    int tick_pending = 0;
    int ctrl_down = 0;
    byte_flag logging = 1;
    byte_flag recording = 0;
    byte_flag playing_back = 0;
    byte_flag play_one = 0;
    FILE *script_file = nullptr;
    int periodic_count = 0;
    HGLOBAL log_lines[LOG_RING_SIZE] = {};
    int log_oldest = -1;
    int log_next = 0;
    // Script stream bookkeeping (script.cpp): periodic events of the script
    // line being played still to deliver, and whether script_file was opened
    // for writing (1) or for reading (0).
    int playback_count = 0;
    byte_flag script_writing = 0;
#ifdef _WIN32
    // Windows only (events.cpp): a typed character's UTF-8 bytes still to
    // hand out, with the message they came in, and a double-byte code page's
    // lead byte waiting for its trail byte.
    MSG typed_message = {};
    unsigned char typed_utf8[4] = {};
    int typed_count = 0;
    int typed_next = 0;
    unsigned char typed_lead = 0;
#endif
};

extern PackageState package_state;

struct EventRecord {
    int x;
    int y;
    char key;
};

// One primitive handed from a drawing operation to the executor. y2 carries a
// memory-block handle for text, so it is as wide as a pointer.
struct DrawCommand {
    int kind;
    int color;
    int width;
    int x1;
    int y1;
    int x2;
    intptr_t y2;
    int x3;
    int y3;
};

// Start-up and events
int wait_for_event(EventRecord *event);
void pump_message(void);
LRESULT CALLBACK draw_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// Control menu and keyboard commands: handles the creation, key and command
// messages of the drawing window; returns 1 when it handled the message.
int control_message(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// Script recording and playback
void script_write_event(int kind, int x, int y, char key);
int script_read_event(void);
void script_stop_playback(void);
void script_close(void);
void script_write_pending_run(void);

// Log window
LRESULT CALLBACK text_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void paint_log_window(HWND hwnd);
int show_text_window(int show);

// Formats printf-style into buffer (size bytes), always terminated; output
// that does not fit is cut off. Returns the number of characters stored.
int format_bounded(char *buffer, int size, const char *format, va_list args);

// Palette
int check_color(int color);
COLORREF color_value(int color);
const char *color_name(int color);

// Drawing: the public operations forward to these, unchanged.
int draw_circle(int color, int x, int y, int radius);
int draw_triangle(int color, int x1, int y1, int x2, int y2, int x3, int y3, int width);
int draw_rectangle(int color, int x1, int y1, int x2, int y2, int width);
int draw_oval(int color, int x1, int y1, int x2, int y2, int width);
int draw_line(int color, int x1, int y1, int x2, int y2, int width);
int draw_text(int color, int x, int y, int ptsize, const char *text);
int draw_wipe(void);
// A 64-bit result brought into the int range (coordinates near the limits).
inline int clamp_to_int(long long value) {
    if (value == (int)value) return (int)value;
    return value > 0 ? INT_MAX : INT_MIN;
}

// Draw command executor
void execute_command(const DrawCommand *command);
void wipe_back_buffer(void);
// A run of UTF-8 text (any other byte Windows-1252) drawn and measured as
// written: TextOutA and GetTextExtentPointA, or on Windows, whose "A" calls
// follow the system's code page, the same text as UTF-16 through the "W" calls.
BOOL package_text_out(HDC dc, int x, int y, const char *text, int length);
BOOL package_text_extent(HDC dc, const char *text, int length, SIZE *size);
