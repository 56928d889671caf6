// Fuzzes the class grader's transcript comparison, whose learner side a
// learner's program writes: each input is split at its first zero byte into
// the learner's transcript and the solution's. Checked for every input: the
// words and both lines are one line of valid UTF-8 without control
// characters and within their bounds; the transcripts are found the same
// exactly when their lines are (line endings aside); a difference is at a
// line that exists on one side at least.

#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "transcript.h"

static void fail(const char *rule) {
    fprintf(stderr, "transcript_fuzz: %s\n", rule);
    abort();
}

// Whether text is valid UTF-8 with no control characters.
static bool showable(const std::string &text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F) return false;
    static iconv_t check = iconv_open("UTF-32LE", "UTF-8");
    char buffer[4096];
    char *in = const_cast<char *>(text.data()), *out = buffer;
    size_t in_left = text.size(), out_left = sizeof buffer;
    iconv(check, nullptr, nullptr, nullptr, nullptr);
    return iconv(check, &in, &in_left, &out, &out_left) != (size_t)-1;
}

// The transcript as the comparison sees it: "\r\n" as "\n", and a last line
// ended by "\n".
static std::string normalised(std::string text) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out += line + "\n";
        at = end + 1;
    }
    return out;
}

static size_t line_count(const std::string &normal) {
    size_t count = 0;
    for (char c : normal) count += c == '\n';
    return count;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string input((const char *)data, size);
    size_t zero = input.find('\0');
    std::string learner = input.substr(0, zero), expected = zero == std::string::npos ? "" : input.substr(zero + 1);
    grade::TranscriptComparison c = grade::compare_transcripts(learner, expected);
    if (!showable(c.words) || !showable(c.learner_line) || !showable(c.expected_line)) fail("text not fit to show");
    if (c.words.size() > 410 || c.learner_line.size() > 310 || c.expected_line.size() > 310) fail("text too long");
    std::string a = normalised(learner), b = normalised(expected);
    if ((c.line == 0) != (a == b)) fail("same or not, wrongly");
    if (c.line != 0 && (c.words.empty() || (size_t)c.line > std::max(line_count(a), line_count(b))))
        fail("a difference past both ends, or without words");
    return 0;
}
