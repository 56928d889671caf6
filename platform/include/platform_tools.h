/* Calls of the platform layer that Windows does not have: backend selection,
 * object accounting, and the headless backend's input injection, virtual
 * clock and captured frames. For tests, benchmarks and tools only; the
 * package and the game never use them. */
#ifndef KAPLO_PLATFORM_TOOLS_H
#define KAPLO_PLATFORM_TOOLS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- backends ----------------------------------------------------------- */

/* Selects the headless backend. Call before the first window is created;
 * calling it again later resets the whole layer (windows, queue, timers,
 * clock, frames) so that each test starts from a clean state. */
void platform_use_headless(void);

/* Selects the SDL2 backend (in a web page: the web backend); returns 0 with a
 * message on stderr when no display can be opened. The layer's main() calls it. */
int platform_use_desktop(void);

/* The layer's own main(): takes the options that begin with --kaplo- (see
 * --kaplo-help), chooses the backend, runs the program's WinMain with the
 * rest of the command line and returns its exit status. */
typedef int (WINAPI *PlatformWinMain)(HINSTANCE, HINSTANCE, LPSTR, int);
int platform_run_program(int argc, char **argv, PlatformWinMain win_main);

/* The whole-number scale the desktop backend shows windows at: 0 (the
 * default) takes it from the desktop's DPI, 1 to 8 forces it. Call before
 * platform_use_desktop. Programs keep their logical sizes and coordinates. */
void platform_set_desktop_scale(int scale);
/* The scale in use since platform_use_desktop (1 before). */
int platform_desktop_scale(void);

/* Where text given to OutputDebugStringA goes: nowhere by default, as on
 * Windows with no debugger watching. */
typedef void (*PlatformDebugSink)(const char *text, void *context);
void platform_set_debug_sink(PlatformDebugSink sink, void *context);
/* A second receiver of the same text, beside the sink (the layer's
 * --kaplo-echo); nullptr for none. */
void platform_set_debug_echo(PlatformDebugSink echo);

/* The calendar time the C library's time() reports in programs started by
 * the layer's main: fixed at start_seconds at virtual time 0 and moving with
 * the headless clock; with fixed 0, the real time again. */
void platform_set_calendar_clock(int fixed, long long start_seconds);
/* Whether a clock is fixed, and the calendar time it shows now. */
int platform_calendar_time(long long *seconds);

/* ---- object accounting -------------------------------------------------- */

typedef struct PlatformCounts {
    int pens;
    int brushes;
    int fonts;
    int bitmaps;
    int dcs;           /* memory DCs and window DCs not yet released */
    int global_blocks; /* GlobalAlloc blocks not yet freed */
} PlatformCounts;

PlatformCounts platform_live_objects(void);

/* Failure injection: from now on the creations of pens, brushes, fonts,
 * bitmaps, DCs (CreateCompatibleDC, GetDC) and global blocks are counted, and
 * the n-th of them fails, returning NULL as the real services do when they run
 * out (n = 0: none fails). platform_creation_count tells how many there were,
 * so that a test can first count the creations of a piece of work and then
 * make each of them fail in turn. */
void platform_fail_creation(long n);
long platform_creation_count(void);

/* Whether shapes on memory bitmaps are batched (on, the default: kept until
 * their pixels are needed, then drawn together, leaving out what wide solid
 * rectangles later paint over) or each drawn at once (0). Pending shapes are
 * drawn first. For tests and benchmarks. */
void platform_set_batching(int on);

/* ---- headless backend --------------------------------------------------- */

/* Virtual milliseconds since the backend was selected. */
DWORD headless_now(void);

/* Moves the virtual clock forward (timers that fall due produce WM_TIMER at
 * the next GetMessageA, one per timer). */
void headless_advance(DWORD ms);

/* Input, queued as the real input system would queue it. Points are client
 * coordinates of the window. */
void headless_click(HWND hwnd, int client_x, int client_y);      /* down + up */
void headless_mouse_down(HWND hwnd, int client_x, int client_y); /* WM_LBUTTONDOWN only */
void headless_key_down(HWND hwnd, int virtual_key);
void headless_key_up(HWND hwnd, int virtual_key);
/* Key presses (with Shift where needed) that TranslateMessage turns into
 * exactly these characters. */
void headless_type(HWND hwnd, const char *text);
/* The desktop resizes the window's menu bar and client area together to
 * width x height without the program asking (a window manager may): WM_SIZE
 * follows, and the window's DCs draw on its new pixels. Returns 0 for a bad
 * window or size. */
int headless_resize_window(HWND hwnd, int width, int height);
/* A key of a keyboard layout pressed and released: its virtual key (a letter
 * key's is the letter printed on it) and the characters, UTF-8, that the
 * layout types with it now ("" for a dead key), as the desktop reports them. */
void headless_layout_key(HWND hwnd, int virtual_key, const char *text);
/* Text an input method commits (UTF-8), which comes with no key of its own. */
void headless_input_text(HWND hwnd, const char *text);
/* A click on the window's close box: WM_SYSCOMMAND(SC_CLOSE), then WM_CLOSE. */
void headless_close_box(HWND hwnd);
/* Opens the menu bar's pop-up with this title index and clicks the item with
 * this command id, as a user would; grayed items and separators do nothing.
 * Returns 1 when a WM_COMMAND was posted. */
int headless_choose_menu(HWND hwnd, UINT command_id);

/* Where a part of the window's menu lies, in client coordinates (the bar has
 * negative y): item -1 is the bar title with this index; item n >= 0 is the
 * n-th entry of that title's pop-up, known while the pop-up is open. Returns 0
 * when there is no such part. */
int headless_menu_rect(HWND hwnd, int title, int item, RECT *rect);

/* Makes every window creation fail (on != 0), as a backend that cannot open
 * a window does: CreateWindowExA returns NULL and sends no message; 0 makes
 * creation work again (as does platform_use_headless). */
void headless_fail_windows(int on);

/* Called whenever GetMessageA finds nothing to return, before the virtual
 * clock is moved to the next timer. A test can inject input from it. */
typedef void (*HeadlessIdleHook)(void *context);
void headless_set_idle_hook(HeadlessIdleHook hook, void *context);
/* Called each time GetMessageA looks for a message, whether one waits or not:
 * a run's watcher tells a program that asks for messages from one that does
 * not by it. */
void headless_set_ask_hook(HeadlessIdleHook hook, void *context);

/* Frames: what was presented to a window's client area. The newest frames are
 * kept (up to headless_set_frame_history, default 4); frame_count counts all. */
void headless_set_frame_history(int frames);
long headless_frame_count(HWND hwnd);
/* Pixel 0x00RRGGBB of the newest frame (age 0) or an older one; returns 0 and
 * leaves *pixel alone when there is no such frame or point. */
int headless_frame_pixel(HWND hwnd, int age, int x, int y, DWORD *pixel);
/* Called with every frame presented to a window: its whole surface (menu bar,
 * client area, open pop-up) as rows of 0x00RRGGBB pixels, at headless_now(). */
typedef void (*HeadlessFrameHook)(HWND hwnd, const DWORD *pixels, int width, int height,
                                  void *context);
void headless_set_frame_hook(HeadlessFrameHook hook, void *context);

/* Writes the window's whole surface (menu bar and client area) as a PNG. */
int headless_save_png(HWND hwnd, const char *path);

#ifdef __cplusplus
}
#endif

#endif
