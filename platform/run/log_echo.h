// The log window's lines copied to standard error as they are logged
// (--kaplo-echo), so that none is lost when the 25-line window scrolls.
#pragma once

// Whether a log line describes a drawing call (what Logging adds to the log),
// rather than a note: a mended argument, a script message, a program's own line.
bool log_line_describes_drawing(const char *line);

// Starts the copy: of every line (all), or of the notes only.
void start_log_echo(bool all);
