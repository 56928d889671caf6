// end_words: what scripts/kaplo.sh says when a learner's program ends.
//   end_words filter KEPT
//       copies standard input (the program's standard error) to standard
//       error as it comes, except a sanitizer's report, which goes into the
//       file KEPT (as does the layer's word that it found no display)
//   end_words explain --program NAME --dir DIR --status N [--layer-run]
//                     [--no-checks] [KEPT]
//       prints the words for that end, each line beginning "kaplo: "
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "end_words.h"
#include "report_filter.h"

namespace {

int usage() {
    fputs("usage: end_words filter KEPT\n"
          "       end_words explain --program NAME --dir DIR --status N [--layer-run] [--no-checks] [KEPT]\n",
          stderr);
    return 2;
}

int filter(const char *kept_path) {
    // Ctrl+C reaches the whole group: the program's last words must still pass.
    signal(SIGINT, SIG_IGN);
    FILE *kept = fopen(kept_path, "w");
    if (!kept) {
        perror(kept_path);
        return 2;
    }
    end_words::ReportFilter f;
    char buffer[65536];
    ssize_t n;
    std::string out, keep;
    while ((n = read(0, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n < 0) continue;
        f.feed(std::string(buffer, (size_t)n), &out, &keep);
        if (!out.empty()) fwrite(out.data(), 1, out.size(), stderr), out.clear();
        if (!keep.empty()) fwrite(keep.data(), 1, keep.size(), kept), keep.clear();
    }
    f.finish(&out, &keep);
    fwrite(out.data(), 1, out.size(), stderr);
    fwrite(keep.data(), 1, keep.size(), kept);
    return fclose(kept) == 0 ? 0 : 1;
}

int explain(int argc, char **argv) {
    end_words::End end;
    std::string kept;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        bool value = i + 1 < argc;
        if (a == "--program" && value) end.program = argv[++i];
        else if (a == "--dir" && value) end.dir = argv[++i];
        else if (a == "--status" && value) end.status = atoi(argv[++i]);
        else if (a == "--layer-run") end.layer_run = true;
        else if (a == "--no-checks") end.checks = false;
        else if (a[0] != '-') kept = a;
        else return usage();
    }
    if (!kept.empty()) {
        std::ifstream in(kept);
        std::stringstream text;
        text << in.rdbuf();
        end.report = end_words::parse_report(text.str());
        end.no_display = text.str().find(end_words::no_display_message) != std::string::npos;
        end.ended_unresponsive = text.str().find(end_words::unresponsive_end_message) != std::string::npos;
    }
    for (const std::string &line : end_words::words(end)) printf("kaplo: %s\n", line.c_str());
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 3 && strcmp(argv[1], "filter") == 0) return filter(argv[2]);
    if (argc >= 2 && strcmp(argv[1], "explain") == 0) return explain(argc, argv);
    return usage();
}
