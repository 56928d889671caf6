// Comparing a learner's frame with the solution's, pixel by pixel, within a
// tolerance, and drawing where they differ.
#pragma once

#include <string>

#include "grade.h"

namespace grade {

struct FrameComparison {
    bool same_size = true;
    long long compared = 0;    // pixels compared (outside the ignored regions)
    long long differing = 0;   // of those, pixels farther than tolerance.colour_distance
    double share = 0;          // differing / compared (1 when the sizes differ)
    int worst_distance = 0;    // the largest channel difference found
    bool passed = false;       // same size and share <= tolerance.pixel_share
    Picture difference;        // a picture for the report; never empty
    // One line: "the same", "3.1% of the pixels differ (by up to 255 in red, green or blue)",
    // "the frame is 595 x 495 pixels where the solution's is 601 x 540".
    std::string words;
};

// The difference picture is as large as the larger frame on each side:
// - the solution's frame faded three quarters of the way to white, where the
//   frames agree;
// - strong red where a pixel differs by more than the tolerance, orange where
//   it differs but within the tolerance;
// - ignored regions tinted blue;
// - where only one of two frames of different sizes reaches, that frame's
//   pixels faded under red diagonal stripes; where neither reaches, grey.
// Both frames are laid at the top-left corner. A picture whose pixels do not
// match its size counts as empty.
FrameComparison compare_frames(const Picture &learner, const Picture &expected, const Tolerance &tolerance);

}  // namespace grade
