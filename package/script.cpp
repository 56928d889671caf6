// Script recording and playback: the file "KAPLO.SCR", one event or run of
// periodic events per line.
//
// The file is opened in binary mode and every line is written with an explicit
// carriage return and line feed, so the file is the same on every system; the
// reader turns a carriage return before a line feed back into a plain newline.
//
// Recording and playback share the one stream. While a script is being played
// (the stream is open for reading, or a play flag waits to open it) a write is
// refused, so a played script is never emptied by the recorder; while the
// stream is open for writing a read is refused, so a half-written script is
// never played. Each refusal says so in a line of its own. Starting and
// stopping a recording close a stream left open for reading (see commands.cpp),
// so that after a playback has ended the next recording is kept whole.
// The periodic run being replayed is counted in playback_count, apart from the
// recorder's periodic_count, so the two modes never feed each other's counts.
#include <climits>

#include "package.h"

// A line buffer of 512 bytes: pieces of at most 511 characters.
#define SCRIPT_LINE_SIZE 512
// The type letter's position in a line.
#define SCRIPT_TYPE_POSITION 6

// Logs the writing failure for the script file.
static void log_cannot_write(void) {
    KAPLO_log("Cannot open script file %s for writing\n", SCRIPT_FILE_NAME);
}

// Logs a write refused because the script file belongs to playback.
static void log_write_refused(void) {
    KAPLO_log("Script file %s is open for playback: event not recorded\n", SCRIPT_FILE_NAME);
}

// Makes sure the stream is open for writing; returns 0 (having logged) when it cannot be.
static int open_for_writing(void) {
    PackageState &state = package_state;
    if (state.script_file != nullptr) {
        if (state.script_writing) return 1;
        log_write_refused();  // the file is being played: never empty it
        return 0;
    }
    if (state.playing_back || state.play_one) {
        log_write_refused();  // the file is about to be played
        return 0;
    }
    state.script_file = fopen(SCRIPT_FILE_NAME, "wb");
    if (state.script_file == nullptr) {
        log_cannot_write();
        return 0;
    }
    state.script_writing = 1;
    return 1;
}

// Writes one script line for an event; a periodic line carries periodic_count.
void script_write_event(int kind, int x, int y, char key) {
    PackageState &state = package_state;
    if (!open_for_writing()) return;
    FILE *file = state.script_file;
    switch (kind) {
    case KAPLO_MOUSE:
        fprintf(file, "KAPLO_MOUSE(%d, %d);\r\n", x, y);
        break;
    case KAPLO_KBD:
        // Bytes 128..255 are written as their unsigned value so they read back unchanged.
        fprintf(file, "KAPLO_KBD(%d);\r\n", (int)(unsigned char)key);
        break;
    case KAPLO_PERIODIC:
        fprintf(file, "KAPLO_PERIODIC(%d);\r\n", state.periodic_count);
        break;
    default:
        break;
    }
    // A full device shows up when the buffer is flushed: say so instead of losing lines silently.
    if (ferror(file)) {
        KAPLO_log("Cannot write script file %s\n", SCRIPT_FILE_NAME);
        clearerr(file);
    }
}

// While recording, writes the periodic events counted since the last line, so
// that a recording ended without a quit keeps its last ticks.
void script_write_pending_run(void) {
    PackageState &state = package_state;
    if (!state.recording || state.periodic_count <= 0) return;
    script_write_event(KAPLO_PERIODIC, 0, 0, 0);
    state.periodic_count = 0;
}

// Clears the play flags and the Playback Script check mark; the stream stays open.
void script_stop_playback(void) {
    PackageState &state = package_state;
    state.playing_back = 0;
    state.play_one = 0;
    CheckMenuItem(state.run_menu, CMD_PLAYBACK, MF_BYCOMMAND | MF_UNCHECKED);
}

// Closes the script stream if one is open; the next use opens the file anew.
void script_close(void) {
    PackageState &state = package_state;
    if (state.script_file != nullptr) {
        int failed = fclose(state.script_file) != 0;
        if (failed && state.script_writing) KAPLO_log("Cannot write script file %s\n", SCRIPT_FILE_NAME);
    }
    state.script_file = nullptr;
    state.script_writing = 0;
    state.playback_count = 0;  // a run being replayed belongs to the stream just closed
}

// Reads one piece of a line as a text-mode read would: CR LF becomes LF, at
// most SCRIPT_LINE_SIZE - 1 characters, up to and including the newline.
// Stores its length in *length; returns 1 when the read met the end of the file.
static int read_line(FILE *file, char *line, int *length) {
    int count = 0;
    int met_end = 0;
    while (count < SCRIPT_LINE_SIZE - 1) {
        int c = getc(file);
        if (c == EOF) {
            met_end = 1;  // also a read error: the script cannot go on
            break;
        }
        if (c == '\r') {
            int next = getc(file);
            if (next == '\n') {
                c = '\n';
            } else if (next != EOF) {
                ungetc(next, file);
            }
        }
        line[count++] = (char)c;
        if (c == '\n') break;
    }
    line[count] = '\0';
    *length = count;
    return met_end;
}

// Whether c is a decimal digit.
static int is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Whether c can be part of a mouse line's number run.
static int is_number_char(char c) {
    return is_digit(c) || c == '-';
}

// Decimal value of the run [start, end): an optional minus, then digits up to
// the first other character. Values beyond the int range are held at its limits.
static int run_value(const char *line, int start, int end) {
    int position = start;
    int negative = 0;
    if (position < end && line[position] == '-') {
        negative = 1;
        position++;
    }
    long long value = 0;
    while (position < end && is_digit(line[position])) {
        value = value * 10 + (line[position] - '0');
        if (value > (long long)INT_MAX + 1) value = (long long)INT_MAX + 1;
        position++;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return (int)value;
}

// Finds the next run of characters accepted by is_part from *position on; stores
// its value, moves *position past it and returns 1, or returns 0 when there is none.
static int next_run(const char *line, int length, int *position, int (*is_part)(char), int *value) {
    int start = *position;
    while (start < length && !is_part(line[start])) start++;
    if (start >= length) return 0;
    int end = start;
    while (end < length && is_part(line[end])) end++;
    *value = run_value(line, start, end);
    *position = end;
    return 1;
}

// Reads the next script event into the package state; returns 1 for an event, 0 for none.
int script_read_event(void) {
    PackageState &state = package_state;
    if (state.script_file != nullptr && state.script_writing) {
        // The file is being recorded: playing it now would read a half-written script.
        KAPLO_log("Script file %s is being recorded: stop recording to play it\n", SCRIPT_FILE_NAME);
        script_stop_playback();
        return 0;
    }
    if (state.script_file == nullptr) {
        state.script_file = fopen(SCRIPT_FILE_NAME, "rb");
        if (state.script_file == nullptr) {
            KAPLO_log("Cannot open script file %s for reading\n", SCRIPT_FILE_NAME);
            script_stop_playback();
            return 0;
        }
        state.script_writing = 0;
    }

    if (state.playback_count > 0) {
        state.playback_count -= 1;
        state.event_kind = KAPLO_PERIODIC;
        return 1;
    }

    char line[SCRIPT_LINE_SIZE];
    int length = 0;
    int met_end = read_line(state.script_file, line, &length);
    while (!met_end && length == 1 && line[0] == '\n') {
        met_end = read_line(state.script_file, line, &length);
    }
    if (met_end) {
        KAPLO_log("EOF encountered in script file %s\n", SCRIPT_FILE_NAME);
        script_stop_playback();
        return 0;
    }

    // A line too short to hold its type letter, or one without its numbers, is
    // not recognised: it ends playback like an unknown letter.
    if (length <= SCRIPT_TYPE_POSITION) return 0;
    int position = SCRIPT_TYPE_POSITION;
    int first = 0;
    int second = 0;
    switch (line[SCRIPT_TYPE_POSITION]) {
    case 'K':
        if (!next_run(line, length, &position, is_digit, &first)) return 0;
        state.event_kind = KAPLO_KBD;
        state.event_key = (char)(unsigned char)(first & 0xFF);
        return 1;
    case 'M':
        if (!next_run(line, length, &position, is_number_char, &first)) return 0;
        if (!next_run(line, length, &position, is_number_char, &second)) return 0;
        state.event_kind = KAPLO_MOUSE;
        state.event_x = first;
        state.event_y = second;
        return 1;
    case 'P':
        if (!next_run(line, length, &position, is_digit, &first)) return 0;
        state.event_kind = KAPLO_PERIODIC;
        state.playback_count = first > 1 ? first - 1 : 0;
        return 1;
    default:
        return 0;
    }
}
