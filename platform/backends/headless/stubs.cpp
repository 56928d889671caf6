// Not yet built: each entry is removed here as its real version lands.
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include "platform_tools.h"

void platform_use_headless(void) { }
int platform_use_desktop(void) { return {}; }
PlatformCounts platform_live_objects(void) { return {}; }
DWORD headless_now(void) { return {}; }
void headless_advance(DWORD ms) { }
void headless_click(HWND hwnd, int client_x, int client_y) { }
void headless_mouse_down(HWND hwnd, int client_x, int client_y) { }
void headless_key_down(HWND hwnd, int virtual_key) { }
void headless_key_up(HWND hwnd, int virtual_key) { }
void headless_type(HWND hwnd, const char *text) { }
void headless_close_box(HWND hwnd) { }
int headless_choose_menu(HWND hwnd, UINT command_id) { return {}; }
void headless_set_idle_hook(HeadlessIdleHook hook, void *context) { }
void headless_set_frame_history(int frames) { }
long headless_frame_count(HWND hwnd) { return {}; }
int headless_frame_pixel(HWND hwnd, int age, int x, int y, DWORD *pixel) { return {}; }
int headless_save_png(HWND hwnd, const char *path) { return {}; }
