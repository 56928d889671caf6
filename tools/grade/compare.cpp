// Frame comparison: one pass over the pixels that counts the differing ones
// and paints the difference picture at the same time.
#include "compare.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace grade {

namespace {

const uint32_t differs_colour = 0xFF0000;  // strong red: past the tolerance
const uint32_t near_colour = 0xFFA000;     // orange: different, but within the tolerance
const uint32_t ignored_tint = 0x3060D0;    // blue, mixed half and half into ignored pixels
const uint32_t neither_colour = 0xD0D0D0;  // grey: outside both frames

// Three quarters of the way to white, each channel at once.
inline uint32_t faded(uint32_t p) {
    return ((p >> 2) & 0x3F3F3F) + 0xBFBFBF;
}

inline uint32_t tinted(uint32_t p) {
    return ((faded(p) >> 1) & 0x7F7F7F) + ((ignored_tint >> 1) & 0x7F7F7F);
}

// The largest of the three channel differences.
inline int distance(uint32_t a, uint32_t b) {
    int r = std::abs((int)((a >> 16) & 0xFF) - (int)((b >> 16) & 0xFF));
    int g = std::abs((int)((a >> 8) & 0xFF) - (int)((b >> 8) & 0xFF));
    int bl = std::abs((int)(a & 0xFF) - (int)(b & 0xFF));
    return std::max(r, std::max(g, bl));
}

bool usable(const Picture &p) {
    return p.width > 0 && p.height > 0 && p.pixels.size() == (size_t)p.width * p.height;
}

// Marks in mask (one byte per pixel of a row) the pixels of row y that the
// regions cover; returns whether there are any.
bool mark_ignored(const std::vector<Region> &regions, int y, std::vector<unsigned char> &mask) {
    std::fill(mask.begin(), mask.end(), 0);
    bool any = false;
    long long width = (long long)mask.size();
    for (const Region &r : regions) {
        if (r.width <= 0 || r.height <= 0 || y < r.y || y >= (long long)r.y + r.height) continue;
        long long from = std::max<long long>(0, r.x), to = std::min<long long>(width, (long long)r.x + r.width);
        if (from >= to) continue;
        std::fill(mask.begin() + from, mask.begin() + to, 1);
        any = true;
    }
    return any;
}

std::string size_words(const Picture &p) {
    return std::to_string(p.width) + " x " + std::to_string(p.height);
}

// "12 pixels differ", "3.1% of the pixels differ", "all the pixels differ".
std::string how_many_words(long long differing, long long compared) {
    if (differing == compared) return "all the pixels differ";
    double percent = 100.0 * differing / compared;
    if (percent < 0.1) return std::to_string(differing) + (differing == 1 ? " pixel differs" : " pixels differ");
    char text[48];
    std::snprintf(text, sizeof text, "%.1f%% of the pixels differ", std::min(percent, 99.9));
    return text;
}

std::string words_for(const FrameComparison &c, const Picture &learner, const Picture &expected,
                      const Tolerance &t) {
    if (!c.same_size) {
        if (!usable(learner)) return "the frame is empty where the solution's is " + size_words(expected) + " pixels";
        if (!usable(expected)) return "the frame is " + size_words(learner) + " pixels where the solution's is empty";
        return "the frame is " + size_words(learner) + " pixels where the solution's is " + size_words(expected);
    }
    if (c.differing == 0) {
        if (c.worst_distance == 0) return "the same";
        return "the same within the tolerance (colours differ by up to " + std::to_string(c.worst_distance) + ")";
    }
    std::string words = how_many_words(c.differing, c.compared) + " (by up to " + std::to_string(c.worst_distance) +
                        " in red, green or blue)";
    if (c.passed) {
        char allowed[48];
        std::snprintf(allowed, sizeof allowed, ", within the %g%% allowed", 100 * t.pixel_share);
        words += allowed;
    }
    return words;
}

}  // namespace

FrameComparison compare_frames(const Picture &learner_in, const Picture &expected_in, const Tolerance &tolerance) {
    static const Picture none;
    const Picture &learner = usable(learner_in) ? learner_in : none;
    const Picture &expected = usable(expected_in) ? expected_in : none;
    FrameComparison c;
    c.same_size = learner.width == expected.width && learner.height == expected.height;

    const int width = std::max(learner.width, expected.width), height = std::max(learner.height, expected.height);
    Picture &out = c.difference;
    out.width = std::max(width, 1);
    out.height = std::max(height, 1);
    out.pixels.assign((size_t)out.width * out.height, neither_colour);

    const int near = std::max(tolerance.colour_distance, 0);
    const int overlap_width = std::min(learner.width, expected.width);
    const int overlap_height = std::min(learner.height, expected.height);
    std::vector<unsigned char> mask(tolerance.ignore.empty() ? 0 : width);
    long long compared = 0, differing = 0;
    int worst = 0;
    for (int y = 0; y < height; ++y) {
        const bool masked = !mask.empty() && mark_ignored(tolerance.ignore, y, mask);
        uint32_t *o = out.pixels.data() + (size_t)y * out.width;
        int x = 0;
        if (y < overlap_height) {
            const uint32_t *l = learner.pixels.data() + (size_t)y * learner.width;
            const uint32_t *e = expected.pixels.data() + (size_t)y * expected.width;
            for (; x < overlap_width; ++x) {
                if (masked && mask[x]) {
                    o[x] = tinted(e[x]);
                    continue;
                }
                ++compared;
                if (l[x] == e[x]) {
                    o[x] = faded(e[x]);
                    continue;
                }
                int d = distance(l[x], e[x]);
                worst = std::max(worst, d);
                if (d <= near) {
                    o[x] = near_colour;
                } else {
                    o[x] = differs_colour;
                    ++differing;
                }
            }
        }
        // Past the overlap: what only one of two frames of different sizes covers.
        for (; x < width; ++x) {
            const Picture *p = x < expected.width && y < expected.height ? &expected
                               : x < learner.width && y < learner.height ? &learner
                                                                          : nullptr;
            if (p == nullptr) continue;
            uint32_t pixel = p->pixels[(size_t)y * p->width + x];
            if (masked && mask[x])
                o[x] = tinted(pixel);
            else
                o[x] = (x + y) % 8 < 3 ? differs_colour : faded(pixel);
        }
    }

    c.compared = compared;
    c.differing = differing;
    c.worst_distance = worst;
    if (c.same_size) {
        c.share = compared ? (double)differing / compared : 0;
        double share = std::min(std::max(tolerance.pixel_share, 0.0), 1.0);
        c.passed = differing <= (long long)std::floor(share * compared + 1e-9);
    } else {
        c.share = 1;
    }
    c.words = words_for(c, learner, expected, tolerance);
    return c;
}

}  // namespace grade
