// Reading a report of AddressSanitizer or UndefinedBehaviorSanitizer (as
// GCC's runtime writes them) into the few facts the words need.
#include <cstdlib>
#include <sstream>

#include "end_words.h"

namespace end_words {
namespace {

bool has(const std::string &text, const char *part) { return text.find(part) != std::string::npos; }

bool starts(const std::string &text, const char *part) { return text.rfind(part, 0) == 0; }

// "    #3 0x55d4f53aaec9 in draw_tree /home/me/tree.c:6" into a frame; false
// for any other line. The function may hold blanks (C++ signatures), so the
// place is the last word.
bool parse_frame(const std::string &line, Frame *frame) {
    size_t at = line.find_first_not_of(' ');
    if (at == std::string::npos || line[at] != '#') return false;
    size_t in = line.find(" in ", at);
    if (in == std::string::npos) return false;
    std::string rest = line.substr(in + 4);
    size_t blank = rest.rfind(' ');
    if (blank == std::string::npos) {
        frame->function = rest;
        frame->file.clear();
        return true;
    }
    frame->function = rest.substr(0, blank);
    std::string place = rest.substr(blank + 1);
    frame->file.clear();
    frame->line = 0;
    // file:line or file:line:column; "(binary+0x8e40)" names no source.
    size_t colon = place.find(':');
    if (place[0] != '(' && colon != std::string::npos) {
        frame->file = place.substr(0, colon);
        frame->line = atoi(place.c_str() + colon + 1);
    }
    return true;
}

// The frames from line i on, up to the first line that is not one.
std::vector<Frame> read_stack(const std::vector<std::string> &lines, size_t i) {
    std::vector<Frame> stack;
    Frame frame;
    for (; i < lines.size() && parse_frame(lines[i], &frame); ++i) stack.push_back(frame);
    return stack;
}

// The frames that follow the first line from `from` on that begins with `head`.
std::vector<Frame> stack_after(const std::vector<std::string> &lines, size_t from, const char *head) {
    for (size_t i = from; i < lines.size(); ++i)
        if (starts(lines[i], head)) return read_stack(lines, i + 1);
    return {};
}

// The text between the first pair of quotes in line.
std::string quoted(const std::string &line) {
    size_t open = line.find('\'');
    size_t close = open == std::string::npos ? open : line.find('\'', open + 1);
    return close == std::string::npos ? "" : line.substr(open + 1, close - open - 1);
}

// "nullread.c:6:17: runtime error: load of null pointer of type 'int'".
Report parse_undefined(const std::vector<std::string> &lines, size_t i) {
    Report r;
    const std::string &line = lines[i];
    size_t mark = line.find(": runtime error: ");
    std::string message = line.substr(mark + 17);
    r.summary = line;
    Frame where;
    size_t colon = line.find(':');
    where.file = line.substr(0, colon);
    where.line = atoi(line.c_str() + colon + 1);
    r.stack = read_stack(lines, i + 1);
    if (r.stack.empty() || r.stack[0].line != where.line) r.stack.insert(r.stack.begin(), where);
    if (has(message, "null pointer passed as argument ")) {
        // "null pointer passed as argument 1, which is declared to never be null"
        r.kind = Report::NULL_ACCESS;
        r.detail = message.substr(32, message.find(',') - 32);
    } else if (has(message, "null pointer")) {
        r.kind = Report::NULL_ACCESS;
        r.write = starts(message, "store");
    } else if (starts(message, "index ") && has(message, "out of bounds")) {
        // "index 10 out of bounds for type 'int [10]'"
        r.kind = Report::OUT_OF_BOUNDS;
        r.detail = message.substr(6, message.find(' ', 6) - 6) + " " + quoted(message);
    } else if (has(message, "division by zero")) {
        r.kind = Report::DIVISION_BY_ZERO;
    } else if (starts(message, "signed integer overflow: ")) {
        // "signed integer overflow: 2147483647 + 1 cannot be represented in type 'int'"
        r.kind = Report::OVERFLOW;
        std::string sum = message.substr(25);
        r.detail = sum.substr(0, sum.find(" cannot be represented"));
    } else {
        r.kind = Report::OTHER;
    }
    return r;
}

// "==18167==ERROR: AddressSanitizer: heap-use-after-free on address ...".
Report parse_address(const std::vector<std::string> &lines, size_t i) {
    Report r;
    const std::string &line = lines[i];
    r.summary = line.substr(line.find("AddressSanitizer: "));
    std::string kind = r.summary.substr(18, r.summary.find(' ', 18) - 18);
    size_t s = i + 1;
    for (; s < lines.size() && lines[s].find('#') == std::string::npos; ++s) {
        if (starts(lines[s], "WRITE") || has(lines[s], "caused by a WRITE")) r.write = true;
    }
    r.stack = read_stack(lines, s);
    if (kind == "SEGV") {
        bool zero_page = false;
        for (size_t j = i; j < lines.size(); ++j) zero_page = zero_page || has(lines[j], "zero page");
        r.kind = zero_page ? Report::NULL_ACCESS : Report::WILD_ACCESS;
    } else if (kind == "stack-overflow") {
        r.kind = Report::STACK_OVERFLOW;
    } else if (kind == "heap-use-after-free") {
        r.kind = Report::USE_AFTER_FREE;
        r.origin = stack_after(lines, s, "freed by thread");
    } else if (kind == "stack-buffer-overflow" || kind == "stack-buffer-underflow" ||
               kind == "global-buffer-overflow" || kind == "heap-buffer-overflow") {
        r.kind = Report::OUT_OF_BOUNDS;
        for (size_t j = s; j < lines.size(); ++j) {
            const std::string &l = lines[j];
            if (has(l, "is located in stack of thread")) {
                std::vector<Frame> frame = read_stack(lines, j + 1);
                if (!frame.empty()) r.declared.file = frame[0].file;
            }
            if (has(l, "<== Memory access")) {
                // "    [48, 88) 'heights' (line 13) <== Memory access at offset 88 overflows ..."
                r.detail = quoted(l);
                size_t at = l.find("(line ");
                if (at != std::string::npos) r.declared.line = atoi(l.c_str() + at + 6);
                break;
            }
            if (has(l, "of global variable '")) {
                // "... located 0 bytes to the right of global variable 'colours' defined in 'a.c:3:5' ..."
                r.detail = quoted(l.substr(l.find("global variable")));
                std::string place = quoted(l.substr(l.find("defined in")));
                r.declared.file = place.substr(0, place.find(':'));
                r.declared.line = atoi(place.c_str() + r.declared.file.size() + 1);
                break;
            }
        }
        if (kind == "heap-buffer-overflow") r.origin = stack_after(lines, s, "allocated by thread");
    } else {
        r.kind = Report::OTHER;
    }
    return r;
}

}  // namespace

Report parse_report(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (has(lines[i], ": runtime error: ")) return parse_undefined(lines, i);
        if (has(lines[i], "ERROR: AddressSanitizer: ")) return parse_address(lines, i);
    }
    return Report();
}

}  // namespace end_words
