// Not yet built: each entry is removed here as its real version lands.
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include <windows.h>

ATOM WINAPI RegisterClassA(const WNDCLASSA *wc) { return {}; }
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) { return {}; }
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) { return {}; }
int WINAPI GetSystemMetrics(int index) { return {}; }
HWND WINAPI CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) { return {}; }
BOOL WINAPI ShowWindow(HWND hwnd, int show) { return {}; }
BOOL WINAPI DestroyWindow(HWND hwnd) { return {}; }
BOOL WINAPI IsWindow(HWND hwnd) { return {}; }
BOOL WINAPI IsWindowVisible(HWND hwnd) { return {}; }
HWND WINAPI FindWindowA(LPCSTR class_name, LPCSTR title) { return {}; }
int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int size) { return {}; }
BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) { return {}; }
BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) { return {}; }
HWND WINAPI GetFocus(void) { return {}; }
HWND WINAPI SetFocus(HWND hwnd) { return {}; }
BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT filter_min, UINT filter_max) { return {}; }
BOOL WINAPI TranslateMessage(const MSG *msg) { return {}; }
LRESULT WINAPI DispatchMessageA(const MSG *msg) { return {}; }
LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) { return {}; }
BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) { return {}; }
LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) { return {}; }
void WINAPI PostQuitMessage(int exit_code) { }
short WINAPI GetKeyState(int virtual_key) { return {}; }
DWORD WINAPI GetTickCount(void) { return {}; }
UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) { return {}; }
BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) { return {}; }
HMENU WINAPI CreateMenu(void) { return {}; }
HMENU WINAPI CreatePopupMenu(void) { return {}; }
BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) { return {}; }
BOOL WINAPI SetMenu(HWND hwnd, HMENU menu) { return {}; }
HMENU WINAPI GetMenu(HWND hwnd) { return {}; }
BOOL WINAPI DrawMenuBar(HWND hwnd) { return {}; }
DWORD WINAPI CheckMenuItem(HMENU menu, UINT item, UINT flags) { return {}; }
UINT WINAPI GetMenuState(HMENU menu, UINT item, UINT flags) { return {}; }
int WINAPI GetMenuItemCount(HMENU menu) { return {}; }
UINT WINAPI GetMenuItemID(HMENU menu, int position) { return {}; }
HMENU WINAPI GetSubMenu(HMENU menu, int position) { return {}; }
int WINAPI GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int size, UINT flags) { return {}; }
BOOL WINAPI DestroyMenu(HMENU menu) { return {}; }
BOOL WINAPI InvalidateRect(HWND hwnd, const RECT *rect, BOOL erase) { return {}; }
BOOL WINAPI ValidateRect(HWND hwnd, const RECT *rect) { return {}; }
BOOL WINAPI UpdateWindow(HWND hwnd) { return {}; }
HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) { return {}; }
BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT *paint) { return {}; }
HDC WINAPI GetDC(HWND hwnd) { return {}; }
int WINAPI ReleaseDC(HWND hwnd, HDC dc) { return {}; }

#include "gdi/surface.h"
void user_window_drawn(HWND) {}
