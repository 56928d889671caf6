// The log copied to the terminal (log_echo.h).
#include "run/log_echo.h"

#include <cstdio>
#include <cstring>

#include "platform_tools.h"

namespace {

bool echo_all = false;

// The lines a drawing call writes when Logging is on: "<colour> circle at
// ...", "<colour> rectangle with bounding box ...", and the wipe. Colour
// names are one or two words ("navy blue", "50% gray").
bool describes(const char *line) {
    if (strncmp(line, "Clearing the graphics window", 28) == 0) return true;
    static const char *const shapes[] = {" circle at (",  " triangle at (", " rectangle with bounding box (",
                                         " oval with bounding box (", " line from (", " text at ("};
    for (const char *shape : shapes) {
        const char *at = strstr(line, shape);
        if (!at) continue;
        int blanks = 0;
        for (const char *c = line; c < at; ++c) blanks += *c == ' ';
        if (at > line && blanks <= 1) return true;
    }
    return false;
}

void echo_line(const char *text, void *) {
    if (!echo_all && describes(text)) return;
    size_t n = strlen(text);
    bool newline = n > 0 && text[n - 1] == '\n';
    fprintf(stderr, "log: %s%s", text, newline ? "" : "\n");
}

}  // namespace

bool log_line_describes_drawing(const char *line) { return describes(line); }

void start_log_echo(bool all) {
    echo_all = all;
    platform_set_debug_echo(echo_line);
}
