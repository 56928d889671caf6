// The program's entry point on the portable layer: the layer's own options
// (--kaplo-help lists them) choose the backend and what a run records, and
// the rest of the command line goes to WinMain as Windows would pass it.
#include <windows.h>

#include "platform_tools.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define KAPLO_LEAK_CHECK 1
#endif

#ifndef __EMSCRIPTEN__
// A program's own main takes the place of this one (main_check.cpp then ends
// it when it has no WinMain), and a missing WinMain does not stop the link.
#pragma weak WinMain
#define KAPLO_LAYER_MAIN __attribute__((weak))
#else
#define KAPLO_LAYER_MAIN
#endif

// Runs the program; in an AddressSanitizer build, looks for leaks while the
// layer's tables still hold what a program leaves to process exit (its
// window's DC, say), which static destruction would otherwise report.
KAPLO_LAYER_MAIN int main(int argc, char **argv) {
    int status = platform_run_program(argc, argv, WinMain);
#ifdef KAPLO_LEAK_CHECK
    __lsan_do_leak_check();
#endif
    return status;
}
