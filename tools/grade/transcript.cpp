// Transcript comparison. The package describes each drawing call in one line
// of a fixed form (docs/api.md, "Every log line"); the first line where the
// two transcripts part is read back into its shape, colour and coordinates,
// so that the words can name what differs. Any other line is quoted.
#include "transcript.h"

#include <map>
#include <string_view>
#include <vector>

#include "ansi_text.h"
#include "grade.h"

namespace grade {

namespace {

const size_t line_bound = 300;   // bytes of a line kept in the comparison
const size_t quote_bound = 60;   // bytes of a line quoted in the words
const size_t words_bound = 400;  // bytes of the words

// The length of the valid UTF-8 sequence at s[i], or 0 if there is none
// (the layer's reader takes such a byte alone, as Windows-1252).
size_t utf8_length(std::string_view s, size_t i) {
    int at = (int)i;
    ansi_text::next(s.data(), (int)s.size(), &at);
    size_t n = (size_t)at - i;
    return n == 1 && (unsigned char)s[i] >= 0x80 ? 0 : n;
}

// Text fit to show on one line: control characters and bytes that are not
// UTF-8 become "?", and past bound bytes the rest becomes "...".
std::string shown(std::string_view s, size_t bound) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        size_t n = utf8_length(s, i);
        if (out.size() + std::max<size_t>(n, 1) > bound) return out + "...";
        unsigned char c = s[i];
        if (n == 0 || c < 0x20 || c == 0x7F) {
            out += '?';
            i += std::max<size_t>(n, 1);
        } else {
            out.append(s.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string quoted(std::string_view s) {
    return "\"" + shown(s, quote_bound) + "\"";
}

// One line of a transcript at a time, without its "\r\n" or "\n".
struct Lines {
    std::string_view text;
    size_t at = 0;
    bool next(std::string_view *line) {
        if (at >= text.size()) return false;
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        *line = text.substr(at, end - at);
        if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
        at = end + 1;
        return true;
    }
    size_t remaining() const {
        size_t count = 0;
        Lines rest = *this;
        for (std::string_view line; rest.next(&line);) ++count;
        return count;
    }
};

// A drawing call read back from its line.
struct Drawing {
    std::string kind;                 // "circle", "rectangle", ...; "" for a line of another kind
    std::string colour;
    std::vector<std::string> points;  // "(x,y)"
    std::string size;                 // the radius, the width, or "filled"
    std::string text;                 // what a text call writes
};

// The forms of the package's lines: '@' is a colour name, '#' a whole
// number, '$' the text between the quotes that end the line.
struct Form {
    const char *kind;
    const char *pattern;
};
const Form forms[] = {
    {"circle", "@ circle at (#,#), radius #"},
    {"triangle", "@ triangle at (#,#), (#,#), (#,#)"},
    {"rectangle", "@ rectangle with bounding box (#,#) to (#,#), filled"},
    {"rectangle", "@ rectangle with bounding box (#,#) to (#,#) with line width #"},
    {"oval", "@ oval with bounding box (#,#) to (#,#), filled"},
    {"oval", "@ oval with bounding box (#,#) to (#,#), line width #"},
    {"line", "@ line from (#,#) to (#,#), width #"},
    {"text", "@ text at (#,#), \"$\""},
    {"wipe", "Clearing the graphics window"},
};

bool is_special(char c) {
    return c == '@' || c == '#' || c == '$';
}

// Matches line against a pattern, collecting the fields in order.
bool match(std::string_view line, std::string_view pattern, std::vector<std::string> *fields) {
    size_t at = 0;
    for (size_t p = 0; p < pattern.size();) {
        char c = pattern[p];
        if (!is_special(c)) {
            if (at >= line.size() || line[at] != c) return false;
            ++at, ++p;
            continue;
        }
        ++p;
        size_t literal_end = p;
        while (literal_end < pattern.size() && !is_special(pattern[literal_end])) ++literal_end;
        std::string_view literal = pattern.substr(p, literal_end - p);
        size_t end;
        if (c == '#') {
            end = at;
            if (end < line.size() && line[end] == '-') ++end;
            size_t digits = end;
            while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
            if (end == digits) return false;
        } else if (c == '@') {
            end = line.find(literal, at);
            if (end == std::string_view::npos || end == at) return false;
        } else {  // '$' runs to the literal that ends the line
            if (line.size() < at + literal.size() || line.substr(line.size() - literal.size()) != literal)
                return false;
            end = line.size() - literal.size();
        }
        fields->emplace_back(line.substr(at, end - at));
        at = end;
    }
    return at == line.size();
}

Drawing read_drawing(std::string_view line) {
    Drawing d;
    for (const Form &form : forms) {
        std::vector<std::string> f;
        if (!match(line, form.pattern, &f)) continue;
        d.kind = form.kind;
        if (f.empty()) return d;
        d.colour = f[0];
        size_t numbers = f.size() - 1;
        if (d.kind == "text") {
            d.text = f.back();
            numbers = 2;
        } else if (numbers % 2 == 1) {  // a circle's radius, a line's width, an outline's width
            d.size = f.back();
            --numbers;
        } else if (d.kind != "triangle") {
            d.size = "filled";
        }
        for (size_t i = 1; i + 1 <= numbers; i += 2) d.points.push_back("(" + f[i] + "," + f[i + 1] + ")");
        return d;
    }
    return d;
}

std::string ordinal(long long n) {
    const char *suffix = "th";
    if (n % 100 < 11 || n % 100 > 13) {
        if (n % 10 == 1) suffix = "st";
        if (n % 10 == 2) suffix = "nd";
        if (n % 10 == 3) suffix = "rd";
    }
    return std::to_string(n) + suffix;
}

std::string with_article(const std::string &kind) {
    return (kind == "oval" ? "an " : "a ") + kind;
}

// What one side does on its line, after "the program" or "the solution".
std::string action(std::string_view line, const Drawing &d) {
    if (d.kind == "wipe") return "clears the window";
    if (!d.kind.empty()) return "draws " + with_article(d.kind);
    return "writes " + quoted(line);
}

std::string size_phrase(const Drawing &d) {
    if (d.kind == "circle") return "has radius " + d.size;
    if (d.size == "filled") return "is filled";
    if (d.kind == "line") return "has width " + d.size;
    return "has line width " + d.size;
}

std::string place_phrase(const Drawing &d, const Drawing &other) {
    if (d.kind == "triangle") return "has corners " + joined(d.points, ", ");
    if (d.kind == "rectangle" || d.kind == "oval") return "spans " + d.points[0] + " to " + d.points[1];
    if (d.kind == "line") {
        if (d.points[0] == other.points[0]) return "ends at " + d.points[1];
        if (d.points[1] == other.points[1]) return "starts at " + d.points[0];
        return "goes from " + d.points[0] + " to " + d.points[1];
    }
    return "is at " + d.points[0];
}

// "the 2nd circle is orange where the solution's is yellow; its place differs too".
std::string same_kind_words(const Drawing &l, const Drawing &e, long long nth) {
    struct Difference {
        const char *name;
        std::string learner, expected;
    };
    std::vector<Difference> found;
    if (l.colour != e.colour) found.push_back({"colour", "is " + l.colour, "is " + e.colour});
    if (l.points != e.points) found.push_back({"place", place_phrase(l, e), place_phrase(e, l)});
    if (l.size != e.size) found.push_back({"size", size_phrase(l), size_phrase(e)});
    if (l.text != e.text) found.push_back({"text", "reads " + quoted(l.text), "reads " + quoted(e.text)});
    if (found.empty()) return "";
    std::string words = "the " + ordinal(nth) + " " + l.kind + " " + found[0].learner + " where the solution's " +
                        found[0].expected;
    if (found.size() > 1) {
        std::vector<std::string> others;
        for (size_t i = 1; i < found.size(); ++i) others.push_back(found[i].name);
        words += "; its " + joined(others, " and ") + (others.size() > 1 ? " differ too" : " differs too");
    }
    return words;
}

// "...: blue text at (0,0), "Hi" (and 3 more lines)".
std::string rest_words(std::string_view line, const Lines &after) {
    size_t more = after.remaining();
    std::string words = shown(line, quote_bound);
    if (more) words += " (and " + std::to_string(more) + (more == 1 ? " more line)" : " more lines)");
    return words;
}

}  // namespace

TranscriptComparison compare_transcripts(const std::string &learner, const std::string &expected) {
    TranscriptComparison c;
    Lines l{learner}, e{expected};
    std::map<std::string, long long> counts;  // drawings of each kind so far
    std::string_view a, b;
    for (int number = 1;; ++number) {
        bool has_a = l.next(&a), has_b = e.next(&b);
        if (!has_a && !has_b) return c;
        if (has_a && has_b && a == b) {
            std::string kind = read_drawing(a).kind;
            if (!kind.empty()) ++counts[kind];
            continue;
        }
        c.line = number;
        c.learner_line = has_a ? shown(a, line_bound) : "";
        c.expected_line = has_b ? shown(b, line_bound) : "";
        if (!has_a) {
            c.words = "the program stopped drawing here; the solution goes on with: " + rest_words(b, e);
        } else if (a.rfind("[the run ended here: ", 0) == 0 && a.back() == ']') {
            c.words = shown(a.substr(1, a.size() - 2), quote_bound);
            if (has_b) c.words += "; the solution goes on with: " + rest_words(b, e);
        } else if (!has_b) {
            c.words = "the program draws more than the solution: " + rest_words(a, l);
        } else {
            Drawing da = read_drawing(a), db = read_drawing(b);
            if (da.kind.empty() || da.kind != db.kind) {
                c.words = "the program " + action(a, da) + " where the solution " + action(b, db);
            } else {
                c.words = same_kind_words(da, db, counts[da.kind] + 1);
                if (c.words.empty())
                    c.words = "the program writes " + quoted(a) + " where the solution writes " + quoted(b);
            }
        }
        c.words = shown(c.words, words_bound);
        return c;
    }
}

}  // namespace grade
