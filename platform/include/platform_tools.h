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

/* Selects the SDL2 backend; returns 0 with a message on stderr when no display
 * can be opened. The layer's main() calls it. */
int platform_use_desktop(void);

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

/* How shapes on memory bitmaps are drawn: mode 0 draws each at once; mode 1
 * batches them until their pixels are needed, then draws the batch, leaving
 * out what wide solid rectangles later paint over; mode 2 (the default where
 * the process may use two processors) does the same on two threads, which
 * take bands of band_rows rows (0 keeps the current height). Pending shapes
 * are drawn first. For tests and benchmarks. */
void platform_set_batching(int mode, int band_rows);
/* The mode the layer starts with on this machine (1 or 2), to go back to. */
int platform_default_batching(void);

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

/* Called whenever GetMessageA finds nothing to return, before the virtual
 * clock is moved to the next timer. A test can inject input from it. */
typedef void (*HeadlessIdleHook)(void *context);
void headless_set_idle_hook(HeadlessIdleHook hook, void *context);

/* Frames: what was presented to a window's client area. The newest frames are
 * kept (up to headless_set_frame_history, default 4); frame_count counts all. */
void headless_set_frame_history(int frames);
long headless_frame_count(HWND hwnd);
/* Pixel 0x00RRGGBB of the newest frame (age 0) or an older one; returns 0 and
 * leaves *pixel alone when there is no such frame or point. */
int headless_frame_pixel(HWND hwnd, int age, int x, int y, DWORD *pixel);
/* Writes the window's whole surface (menu bar and client area) as a PNG. */
int headless_save_png(HWND hwnd, const char *path);

#ifdef __cplusplus
}
#endif

#endif
