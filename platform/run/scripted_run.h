// A headless run of a program: a script played from the start through the
// program's own Playback Script, bounds that end it, and its outputs.
#pragma once

#include <string>

#include "platform_tools.h"
#include "run/run_beacon.h"
#include "run/run_options.h"

// Exit statuses of a run that the program's own status does not give.
enum RunStatus {
    RUN_BAD_INPUT = 2,     // bad option, unreadable script, unwritable output
    RUN_BOUND_HIT = 3,     // --kaplo-max-ms or --kaplo-max-frames ended it
    RUN_WRITE_FAILED = 4,  // an output could not be written during the run
    RUN_STUCK = 5,         // no end after the window was closed, or out of real time
    RUN_OUTPUT_BOUND = 6,  // the transcript, frames or GIF reached --kaplo-max-output
};

// Runs the program headless with the options, in the supervised child that
// shares the beacon with its watcher; returns the exit status. An end the
// run chooses leaves its words in the beacon.
int run_headless(const RunOptions &options, HINSTANCE instance, char *command_line,
                 PlatformWinMain win_main, RunBeacon *beacon);

// Runs the program headless in a child process watched from this one, which
// places the script, enforces --kaplo-timeout, cleans up after any end and
// says how the run ended; returns the exit status (or dies of the child's
// signal).
int run_headless_watched(const RunOptions &options, HINSTANCE instance, char *command_line,
                         PlatformWinMain win_main);

// The name a failed run keeps a partial output under: "run.log" gives
// "run.incomplete.log", "out" gives "out.incomplete".
std::string incomplete_name(const std::string &path);
