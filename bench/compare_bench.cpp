// Cost of comparing one checkpoint frame of a learner's run with the
// solution's, as the class grader does for every checkpoint of every run:
// a frame the size of the drawing window, with a few hundred differing
// pixels, without and with an ignored region.
#include <benchmark/benchmark.h>

#include "compare.h"

namespace {

struct Frames {
    grade::Picture learner, expected;
    Frames() {
        expected.width = learner.width = 595;
        expected.height = learner.height = 495;
        expected.pixels.resize(595 * 495);
        for (size_t i = 0; i < expected.pixels.size(); ++i) expected.pixels[i] = (i / 595) < 200 ? 0x87CEEB : 0x228B22;
        learner.pixels = expected.pixels;
        for (int y = 100; y < 120; ++y)
            for (int x = 300; x < 320; ++x) learner.pixels[y * 595 + x] = 0xFFA500;
    }
};

void compare_frame(benchmark::State &state) {
    static const Frames frames;
    grade::Tolerance tolerance;
    tolerance.colour_distance = 8;
    if (state.range(0)) tolerance.ignore = {{0, 0, 595, 30}, {500, 400, 95, 95}};
    for (auto _ : state) benchmark::DoNotOptimize(grade::compare_frames(frames.learner, frames.expected, tolerance));
}
BENCHMARK(compare_frame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
