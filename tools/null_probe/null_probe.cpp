// The NULL-handle probe: writes one line per case of null_cases.h. Run under
// Wine it gives the reference of tests/data/null_handles (scripts/gdi-reference.sh).
//   null_probe OUTPUT
#include <cstdio>

#include "../gdi_probe/probe_host.h"
#include "null_cases.h"

// Writes the lines to the output file.
int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: null_probe OUTPUT\n");
        return 2;
    }
    if (!probe_host_start()) return 1;
    std::FILE *out = std::fopen(argv[1], "wb");
    if (!out) {
        std::fprintf(stderr, "null_probe: cannot write %s\n", argv[1]);
        return 1;
    }
    for (const std::string &text : null_probe::run_cases()) std::fprintf(out, "%s\n", text.c_str());
    return std::fclose(out) == 0 ? 0 : 1;
}
