// The class grader against the bare loop a teacher could write instead, side
// by side on the same class: 30 one-file programs made from the examples,
// each run on 3 scripts. The bare loop only builds each program and runs it
// headless on each script, two at a time; the grade adds the solution, the
// sandbox, the comparisons and the report. Each prints programs a minute;
// the grade also where its time went, and how many times the bare loop's
// time it took.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char **environ;

namespace {

const int kPrograms = 30;
const char *const kExamples[] = {"ball.c", "clock.c", "fireworks.cpp", "first.c", "greetings.c",
                                 "hello.c", "paint.c", "palette.c", "shapes.c", "typewriter.c"};
const char *const kScripts[] = {
    "KAPLO_MOUSE(-100, 50);\r\nKAPLO_PERIODIC(20);\r\nKAPLO_KBD(103);\r\nKAPLO_MOUSE(40, -30);\r\n",
    "KAPLO_KBD(32);\r\nKAPLO_PERIODIC(40);\r\nKAPLO_MOUSE(0, 0);\r\nKAPLO_KBD(114);\r\nKAPLO_MOUSE(90, 90);\r\n",
    "KAPLO_PERIODIC(5);\r\nKAPLO_MOUSE(-200, -100);\r\nKAPLO_MOUSE(200, 100);\r\nKAPLO_KBD(120);\r\n",
};

std::string g_root, g_package;  // the class's folder; the package installed for it
double g_bare_seconds = 0;

std::string run_output(const std::string &command) {
    std::string out;
    if (FILE *p = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

// Runs the commands, `at_once` at a time; each is argv in a folder.
struct Command {
    std::vector<std::string> argv;
    std::string dir;
};
void run_all(const std::vector<Command> &commands, int at_once) {
    size_t next = 0;
    int running = 0;
    while (next < commands.size() || running > 0) {
        while (running < at_once && next < commands.size()) {
            const Command &c = commands[next++];
            pid_t pid = fork();
            if (pid == 0) {
                std::vector<char *> argv;
                for (const std::string &a : c.argv) argv.push_back((char *)a.c_str());
                argv.push_back(nullptr);
                int null = open("/dev/null", O_WRONLY);
                dup2(null, 1);
                dup2(null, 2);
                if (chdir(c.dir.c_str()) != 0) _exit(127);
                execvp(argv[0], argv.data());
                _exit(127);
            }
            ++running;
        }
        int status;
        if (wait(&status) > 0) --running;
    }
}

// The class: the examples, three copies each (a comment apart, so that no
// build is the same file as another), and three scripts.
void make_class() {
    if (!g_root.empty()) return;
    char name[] = "/tmp/kaplo-grade-bench-XXXXXX";
    g_root = mkdtemp(name);
    chmod(g_root.c_str(), 0755);
    g_package = g_root + "/package";
    if (system(("cmake --install " KAPLO_BUILD_DIR " --prefix " + g_package + " > /dev/null").c_str()) != 0)
        fprintf(stderr, "grade_bench: the package did not install\n");
    mkdir((g_root + "/class").c_str(), 0755);
    for (int i = 0; i < kPrograms; ++i) {
        std::string example = kExamples[i % 10];
        std::ifstream in(std::string(KAPLO_EXAMPLES) + "/" + example);
        std::ostringstream text;
        text << in.rdbuf() << "\n/* learner " << i << " */\n";
        std::string ext = example.substr(example.rfind('.'));
        std::ofstream(g_root + "/class/learner" + std::to_string(i) + ext) << text.str();
    }
    std::ofstream(g_root + "/task.txt") << "script one.SCR\nscript two.SCR\nscript three.SCR\n";
    const char *names[] = {"one.SCR", "two.SCR", "three.SCR"};
    for (int s = 0; s < 3; ++s) std::ofstream(g_root + "/" + names[s]) << kScripts[s];
    std::ofstream(g_root + "/solution.c") << std::ifstream(std::string(KAPLO_EXAMPLES) + "/paint.c").rdbuf();
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_BareLoop(benchmark::State &state) {
    make_class();
    std::string pc = "PKG_CONFIG_LIBDIR=" + g_package + "/lib/pkgconfig pkg-config ";
    std::string flags = run_output(pc + "--cflags --libs kaplo");
    std::vector<std::string> words;
    std::istringstream split(flags);
    for (std::string w; split >> w;) words.push_back(w);
    for (auto _ : state) {
        std::string bare = g_root + "/bare";
        (void)!system(("rm -rf " + bare + " && mkdir -p " + bare).c_str());
        auto start = std::chrono::steady_clock::now();
        std::vector<Command> builds, runs;
        for (int i = 0; i < kPrograms; ++i) {
            std::string ext = std::string(kExamples[i % 10]).substr(std::string(kExamples[i % 10]).rfind('.'));
            std::string learner = "learner" + std::to_string(i);
            Command c{{ext == ".c" ? "cc" : "c++", "-o", bare + "/" + learner, g_root + "/class/" + learner + ext}, bare};
            c.argv.insert(c.argv.end(), words.begin(), words.end());
            c.argv.push_back("-fuse-ld=gold");
            builds.push_back(c);
            for (const char *s : {"one", "two", "three"}) {
                std::string dir = bare + "/" + learner + "-" + s;
                mkdir(dir.c_str(), 0755);
                runs.push_back({{bare + "/" + learner, "--kaplo-script=" + g_root + "/" + s + ".SCR",
                                 "--kaplo-clock=2024-09-01", "--kaplo-last-frame=last.png", "--kaplo-log=run.log",
                                 "--kaplo-timeout=20"},
                                dir});
            }
        }
        run_all(builds, 2);
        double built = seconds_since(start);
        run_all(runs, 2);
        g_bare_seconds = seconds_since(start);
        fprintf(stderr, "the bare loop: builds %.1f s, runs %.1f s (two at a time)\n", built, g_bare_seconds - built);
        state.SetIterationTime(g_bare_seconds);
    }
    state.counters["programs_a_minute"] = kPrograms * 60 / g_bare_seconds;
}

void BM_Grade(benchmark::State &state, bool gifs) {
    make_class();
    std::string said;
    double took = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        said = run_output(std::string(KAPLO_GRADE) + " grade " + g_root + "/class --solution " + g_root +
                          "/solution.c --task " + g_root + "/task.txt --jobs 2 --out " + g_root + "/report" +
                          (gifs ? "" : " --no-gifs") + " --package " + g_package + " 2>&1");
        took = seconds_since(start);
        state.SetIterationTime(took);
    }
    state.counters["programs_a_minute"] = kPrograms * 60 / took;
    if (g_bare_seconds > 0) state.counters["times_the_bare_loop"] = took / g_bare_seconds;
    // Where the time went, as the grader says it.
    size_t at = said.find("kaplo: graded ");
    if (at != std::string::npos) fprintf(stderr, "%s", said.substr(at, said.find('\n', at) - at + 1).c_str());
    else fprintf(stderr, "grade_bench: the grade failed:\n%s", said.c_str());
}

BENCHMARK(BM_BareLoop)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Grade, with_gifs, true)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Grade, without_gifs, false)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
