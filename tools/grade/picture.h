// Frames as files: the grader reads the PNGs a run writes (and the expected
// frames a teacher ships) and writes the difference pictures of its report.
#pragma once

#include <string>

#include "grade.h"

namespace grade {

// Reads any PNG libpng reads (RGB, RGBA, palette, grey, 8 or 16 bits) into
// 0x00RRGGBB pixels. Transparent pixels are laid over white, as a viewer
// shows them. Pictures past 16384 pixels on a side, or 32 million pixels,
// are refused rather than read. On failure *error says why, with the path.
bool read_png(const std::string &path, Picture *out, std::string *error);

// Writes an RGB PNG, whole or not at all (no half-written file under path).
bool write_png(const std::string &path, const Picture &p, std::string *error);

}  // namespace grade
