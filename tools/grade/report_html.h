// report.html: a grade as one self-contained page (every picture inside it,
// no file fetched from anywhere), to be opened from disk, mailed or put on a
// learning platform. A row per learner, a column per script.
#pragma once

#include <string>
#include <vector>

#include "grade.h"

namespace grade {

// A GIF larger than this stays out of report.html and is linked beside it.
constexpr size_t kReportGifMostBytes = 2 << 20;
// Nor do GIFs go in once those inside have come to this.
constexpr size_t kReportGifsMostBytes = 8 << 20;

// Writes folder/report.html (whole or not at all), reading the pictures the
// results name from the folder.
bool write_report(const std::string &folder, const Summary &summary, const std::vector<Result> &results,
                  std::string *error);

}  // namespace grade
