// How a learner's program ended, in words: the exit status, the report of
// AddressSanitizer or UndefinedBehaviorSanitizer if the program left one,
// and whether the layer said it found no display, turned into one plain
// sentence and a hint of what to do next. scripts/kaplo.sh prints them.
#pragma once

#include <string>
#include <vector>

namespace end_words {

// One line of a report's call stack: "#0 0x... in draw_ball /home/me/ball.c:17".
struct Frame {
    std::string function;
    std::string file;  // as the report gives it; empty when it names only a binary
    int line = 0;
};

// What a sanitizer's report says, reduced to what the words need.
struct Report {
    enum Kind {
        NONE,             // no report
        NULL_ACCESS,      // a null pointer read or written (either sanitizer)
        WILD_ACCESS,      // a fault at another address (a pointer never set)
        OUT_OF_BOUNDS,    // past an array: stack, global, heap, or a known size
        USE_AFTER_FREE,   // memory read or written after free
        DIVISION_BY_ZERO,
        OVERFLOW,         // a signed integer overflowed
        STACK_OVERFLOW,   // the stack ran out (endless recursion)
        OTHER,            // a report of a kind the words do not know
    } kind = NONE;
    bool write = false;         // a write (else a read), where the report says
    std::string detail;         // the array's name, the overflowing sum, the index ...
    std::string summary;        // the report's own first line, for OTHER
    std::vector<Frame> stack;   // where it happened, innermost first
    std::vector<Frame> origin;  // OUT_OF_BOUNDS: where the block was made; USE_AFTER_FREE: freed
    Frame declared;             // where the array was declared, when the report says
};

// Reads the first report in text (a program's standard error, or what the
// filter kept of it).
Report parse_report(const std::string &text);

// The facts of one end.
struct End {
    std::string program;   // as the learner named it: "ball.c", or a folder
    std::string dir;       // the folder of the program's sources (absolute)
    int status = 0;        // the shell's exit status: 128 + N for signal N
    bool layer_run = false;  // --kaplo- options were given: 2 to 5 are the layer's own
    bool no_display = false; // the layer said it could not open a display
    bool ended_unresponsive = false; // the layer ended it while it was not responding
    bool checks = true;      // built with the sanitizers
    Report report;
};

// The lines to print (without a prefix); none for a clean end.
std::vector<std::string> words(const End &end);

// The layer's message when it finds no display, as it begins.
extern const char no_display_message[];
// Its message when it ends a program that was not responding, as it ends.
extern const char unresponsive_end_message[];

}  // namespace end_words
