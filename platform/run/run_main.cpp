// The layer's main: reads its own options, then runs the program on the
// desktop or headless.
#include <cstdio>
#include <string>

#include "platform_tools.h"
#include "run/log_echo.h"
#include "run/run_options.h"
#include "run/scripted_run.h"

// Parses the options and runs WinMain with the rest of the command line.
int platform_run_program(int argc, char **argv, PlatformWinMain win_main) {
    static char instance_token;  // any unique address serves as the instance handle
    RunOptions options;
    std::string error;
    int taken = parse_run_options(argc, argv, &options, &error);
    if (taken < 0) {
        fprintf(stderr, "kaplo: %s\n", error.c_str());
        return RUN_BAD_INPUT;
    }
    if (options.help) {
        fputs(run_options_help(), stdout);
        return 0;
    }
    // WinMain gets the command line without the program name and our options.
    std::string line;
    for (int i = 1 + taken; i < argc; ++i) {
        if (!line.empty()) line += ' ';
        line += argv[i];
    }
    if (options.clock_set) platform_set_calendar_clock(1, options.clock);
    if (!options.echo.empty()) start_log_echo(options.echo == "all");
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(&instance_token);
    if (options.headless) return run_headless_watched(options, instance, line.data(), win_main);
    platform_set_desktop_scale(options.scale);
    if (!platform_use_desktop()) return 1;
    return win_main(instance, nullptr, line.data(), SW_SHOWNORMAL);
}
