// The names of the outcomes, as the report and the results files write them.
#include "grade.h"

namespace grade {

namespace {
const char *const kNames[] = {
    "passed", "differs", "ran past its bound", "never read an event", "wrote too much",
    "left processes behind", "crashed", "did not build", "not run",
};
}  // namespace

const char *outcome_name(Outcome o) { return kNames[(int)o]; }

bool outcome_from_name(const std::string &name, Outcome *o) {
    for (int i = 0; i < (int)(sizeof kNames / sizeof *kNames); ++i) {
        if (name == kNames[i]) {
            *o = (Outcome)i;
            return true;
        }
    }
    return false;
}

std::string joined(const std::vector<std::string> &parts, const char *between) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? between : "") + parts[i];
    return out;
}

std::string shortened(const std::string &line) {
    return line.size() > 300 ? line.substr(0, 297) + "..." : line;
}

}  // namespace grade
