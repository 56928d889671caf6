// The options of the layer's own main: they come first on the command line,
// all begin with --kaplo-, and never reach the program.
#pragma once

#include <string>

struct RunOptions {
    bool help = false;
    bool headless = false;       // set by --kaplo-headless or any headless-only option
    std::string script;          // played from the start through Playback Script
    std::string frames_dir;      // numbered PNG frames of the drawing window
    long every = 1;              // every n-th frame into frames_dir
    std::string last_frame;      // PNG of the last frame
    std::string gif;             // animated GIF of the whole run
    std::string log;             // transcript of the log window; "-" for stdout
    long long max_ms = 3600000;  // virtual duration bound (one hour)
    long long max_frames = 0;    // frame bound, 0 for none
    long long max_output_mb = 64;  // size bound of the transcript, the frames and the GIF, each
    bool clock_set = false;      // calendar clock fixed at start
    long long clock = 0;         // seconds since 1970, UTC
    long long timeout_s = 300;   // real-time limit of a headless run, 0 for none
    int scale = 0;               // desktop scale, 0 for the desktop's own
    std::string echo;            // log lines to stderr: "notes", "all", or "" for none
};

// Reads the leading --kaplo- options; returns how many arguments (after the
// program name) they took, or -1 with *error set for a bad one.
int parse_run_options(int argc, char **argv, RunOptions *options, std::string *error);

// The help text of the options.
const char *run_options_help();
