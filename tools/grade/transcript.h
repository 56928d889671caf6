// Comparing a learner's log transcript (--kaplo-log) with the solution's,
// and saying what the first difference means: which shape, which colour,
// which place.
#pragma once

#include <string>

namespace grade {

struct TranscriptComparison {
    int line = 0;                  // first differing line, 1-based; 0 when the transcripts are the same
    std::string learner_line, expected_line;  // that line on each side ("" past the end)
    std::string words;             // what the difference means, one plain sentence
};

// Lines compare alike whether they end in "\r\n" or "\n", and whether or not
// the last one ends at all. The lines and the words are safe to show: one
// line each, valid UTF-8 (other bytes and control characters become "?"),
// and cut with "..." when long, as the learner's program chooses their text.
TranscriptComparison compare_transcripts(const std::string &learner, const std::string &expected);

}  // namespace grade
