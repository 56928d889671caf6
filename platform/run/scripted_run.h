// A headless run of a program: a script played from the start through the
// program's own Playback Script, bounds that end it, and its outputs.
#pragma once

#include "platform_tools.h"
#include "run/run_options.h"

// Exit statuses of a run that the program's own status does not give.
enum RunStatus {
    RUN_BAD_INPUT = 2,     // bad option, unreadable script, unwritable output
    RUN_BOUND_HIT = 3,     // --kaplo-max-ms or --kaplo-max-frames ended it
    RUN_WRITE_FAILED = 4,  // an output could not be written during the run
    RUN_STUCK = 5,         // no end after the window was closed, or out of real time
};

// Runs the program headless with the options; returns the exit status.
int run_headless(const RunOptions &options, HINSTANCE instance, char *command_line,
                 PlatformWinMain win_main);
