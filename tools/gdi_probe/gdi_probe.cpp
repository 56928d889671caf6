// The GDI probe: draws the corpus of probe_cases.h into a memory DC and writes
// one line of pixels per case. Run under Wine it produces the reference data
// of tests/data/gdi_reference (scripts/gdi-reference.sh).
//   gdi_probe OUTPUT [SEED]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "probe_cases.h"
#include "probe_host.h"

// Writes the header and one line per case to the output file.
int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: gdi_probe OUTPUT [SEED]\n");
        return 2;
    }
    uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : probe::kDefaultSeed;
    if (!probe_host_start()) {
        std::fprintf(stderr, "gdi_probe: cannot start the graphics services\n");
        return 1;
    }
    probe::Canvas canvas;
    if (!probe::canvas_open(&canvas)) {
        std::fprintf(stderr, "gdi_probe: cannot create the memory DC\n");
        return 1;
    }
    std::FILE *out = std::fopen(argv[1], "wb");
    if (!out) {
        std::fprintf(stderr, "gdi_probe: cannot write %s\n", argv[1]);
        return 1;
    }
    std::fprintf(out, "# GDI reference pixels written by tools/gdi_probe\n");
    std::fprintf(out, "# canvas %d %d background %06lx pen %06lx brush %06lx seed %llu (colours as COLORREF)\n",
                 probe::kCanvasWidth, probe::kCanvasHeight, (unsigned long)probe::kBackground,
                 (unsigned long)probe::kPenColor, (unsigned long)probe::kBrushColor,
                 (unsigned long long)seed);
    std::vector<probe::Case> cases = probe::make_corpus(seed);
    probe::Pixels pixels;
    for (const probe::Case &c : cases) {
        probe::render_case(&canvas, c, &pixels);
        std::string line = probe::format_case(c, pixels);
        if (!probe::within_reach(c, pixels)) line = "~ " + line;
        std::fprintf(out, "%s\n", line.c_str());
    }
    probe::canvas_close(&canvas);
    bool ok = std::fclose(out) == 0;
    std::fprintf(stderr, "gdi_probe: %zu cases written to %s\n", cases.size(), argv[1]);
    return ok ? 0 : 1;
}
