// The program's entry point on the portable layer: the layer's own options
// (--kaplo-help lists them) choose the backend and what a run records, and
// the rest of the command line goes to WinMain as Windows would pass it.
#include <windows.h>

#include "platform_tools.h"

int main(int argc, char **argv) { return platform_run_program(argc, argv, WinMain); }
