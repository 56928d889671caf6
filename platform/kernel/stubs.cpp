// Not yet built: each entry is removed here as its real version lands.
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include <windows.h>

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) { return {}; }
LPVOID WINAPI GlobalLock(HGLOBAL block) { return {}; }
BOOL WINAPI GlobalUnlock(HGLOBAL block) { return {}; }
HGLOBAL WINAPI GlobalFree(HGLOBAL block) { return {}; }
SIZE_T WINAPI GlobalSize(HGLOBAL block) { return {}; }
