// Joining the results of a class graded in parts (shards, each a folder
// made by kaplo_grade on its own machine) into one folder and one report.
#pragma once

#include <string>
#include <vector>

namespace grade {

// Reads each shard's results.json, checks that all graded the same scripts,
// copies the files their results name into out (each shard's under a folder
// of its own) and writes out/results.json, results.csv and report.html. A
// learner's run on a script found in two shards is kept from the first, with
// a warning on stderr. False with *error (naming the shard) on any fault.
bool merge_results(const std::vector<std::string> &shards, const std::string &out, std::string *error);

}  // namespace grade
