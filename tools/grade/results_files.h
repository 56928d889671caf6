// The results of a grade as files for a gradebook and for merging:
// results.json (everything, read back by merge) and results.csv (a row per
// learner and script) in one folder. File paths in Results are relative to
// that folder.
#pragma once

#include <string>
#include <vector>

#include "grade.h"

namespace grade {

// Writes folder/results.json and folder/results.csv, each whole or not at all.
bool write_results(const std::string &folder, const Summary &summary, const std::vector<Result> &results,
                   std::string *error);

// Reads folder/results.json back. On a missing or bad file returns false with
// *error saying what is wrong and where, in words for a teacher.
bool read_results(const std::string &folder, Summary *summary, std::vector<Result> *results,
                  std::string *error);

// Reads folder/path when it is a file whose real place is inside folder: a
// symbolic link a learner's program left in its outputs cannot lead the
// report, or a merge, to a file of the teacher's.
bool read_results_file(const std::string &folder, const std::string &path, std::string *bytes);

// Writes text to path under a temporary name, renamed into place only when whole.
bool write_whole_file(const std::string &path, const std::string &text, std::string *error);

// The text of results.csv: a header, then a row per result (RFC 4180, lines
// ending in CR LF, UTF-8 with a byte order mark so that spreadsheets read names
// as written). No text cell can start a formula.
std::string results_csv(const std::vector<Result> &results);

}  // namespace grade
