// The program's entry point on the portable layer: open the desktop backend and
// hand over to WinMain as Windows would.
#include <windows.h>

#include <string>

#include "platform_tools.h"

static char instance_token;  // any unique address serves as the instance handle

int main(int argc, char **argv) {
    if (!platform_use_desktop()) return 1;
    // WinMain gets the command line without the program name.
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return WinMain(reinterpret_cast<HINSTANCE>(&instance_token), nullptr, line.data(), SW_SHOWNORMAL);
}
