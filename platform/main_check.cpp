// A program built with the layer's main that defines main instead of WinMain:
// its own main runs, the layer's never does, and nothing would open. This
// object goes with the layer's main into every such program (in the tree as an
// object; from the installed archive because the package's descriptions ask
// the linker for kaplo_entry_check), and before any main runs it looks for
// WinMain: a program without one is told so in the one command's words and
// ends with status 1, as the one command does.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

// Looked for, not required: a program without WinMain still links.
#pragma weak WinMain

// The program's own name, as the learner typed it to start it.
static const char *program_name() {
#ifdef __GLIBC__
    return program_invocation_short_name;
#else
    return "this program";
#endif
}

// Ends a program that has no WinMain, before its main runs.
extern "C" __attribute__((constructor)) void kaplo_entry_check(void) {
    if (WinMain) return;
    std::fprintf(stderr,
                 "kaplo: %s has no WinMain: a KAPLO program starts in WinMain, not in main, written as\n"
                 "    int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)\n"
                 "and begins with KAPLO_begin(instance, previous, command_line, show); see examples/.\n",
                 program_name());
    std::exit(1);
}
