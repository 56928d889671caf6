// The layer's main in a web page: the page's words (after "?" in its address)
// are the command line, the program runs on the web backend, and its end is
// told to the page. main returns long after the page first called it, since
// the program sleeps in GetMessageA, so the page's runtime never sees it
// return by itself. The desktop's options (headless runs, captures) have no
// meaning in a page: every word goes to the program.
#include <emscripten.h>

#include <cstdio>
#include <string>

#include "platform_tools.h"

EM_JS(void, page_ended, (int code), { Module.kaplo.ended(code); });

// Runs WinMain with the page's words on the web backend.
int platform_run_program(int argc, char **argv, PlatformWinMain win_main) {
    static char instance_token;  // any unique address serves as the instance handle
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    int code = 1;
    if (platform_use_desktop())
        code = win_main(reinterpret_cast<HINSTANCE>(&instance_token), nullptr, line.data(), SW_SHOWNORMAL);
    fflush(nullptr);
    page_ended(code);
    return code;
}
