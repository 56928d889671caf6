// What the drawing calls do with the NULL a failed creation returns: the
// package's own sequences (create, select, draw, select back, delete) run with
// one object missing, and the plain calls given NULL handles. Each case gives
// one line of text, the same on real GDI and on the portable layer.
#pragma once

#include <string>
#include <vector>

namespace null_probe {

// Runs every case; one "name: result" line each.
std::vector<std::string> run_cases();

}  // namespace null_probe
