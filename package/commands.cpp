// The "&Run" menu and the Ctrl-key commands (not yet built).
#include "package.h"

int control_message(HWND, UINT, WPARAM, LPARAM) { return 0; }
