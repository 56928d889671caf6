// kaplo_grade: grades a class of KAPLO programs (docs/grading.md).
// scripts/kaplo.sh grade, check, expect and merge call it with --package.
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "grade_class.h"
#include "merge.h"
#include "task_file.h"

namespace {

void usage(FILE *to) {
    fprintf(to,
            "Usage: bash scripts/kaplo.sh grade [options] SUBMISSIONS --solution PROGRAM\n"
            "       bash scripts/kaplo.sh check TASK_FILE PROGRAM\n"
            "       bash scripts/kaplo.sh expect TASK_FILE --solution PROGRAM\n"
            "       bash scripts/kaplo.sh merge OUT FOLDER...\n"
            "\n"
            "grade   builds every program in the folder SUBMISSIONS (each entry a learner's C or C++\n"
            "        file, or a folder of them) and the teacher's solution, runs each on every script\n"
            "        without a display and on a fixed clock, compares its frames with the solution's\n"
            "        and writes report.html, results.json and results.csv into a folder\n"
            "check   the same for one program, against the frames the task file's 'expected' folder\n"
            "        holds: a learner's check before handing in\n"
            "expect  makes that folder from the solution (the teacher ships it with the task file,\n"
            "        without the solution's source)\n"
            "merge   joins the folders of results of several machines into one report in OUT\n"
            "\n"
            "Options:\n"
            "  --task FILE        the task file: its settings (below), one a line\n"
            "  --solution PROGRAM the teacher's solution: a C or C++ file or a folder\n"
            "  --out FOLDER       where the report goes (default: SUBMISSIONS-grade for grade,\n"
            "                     PROGRAM-check for check)\n"
            "  --jobs N           programs built and run at once (default: the machine's cores)\n"
            "  --shard K/N        grade only the K-th of N equal shares of the class (1/4 ... 4/4),\n"
            "                     for a grade spread over several machines; then merge\n"
            "  --no-gifs          do not record each run's GIF (a smaller report, a faster grade)\n"
            "  --no-sandbox       run the programs without bubblewrap (only time, memory and\n"
            "                     process bounds hold); the report says so\n"
            "  --package PREFIX   the installed KAPLO package (scripts/kaplo.sh gives it)\n"
            "  -h, --help         this text\n"
            "\n"
            "Every setting of a task file is an option too (--script FILE, --pixels 1%%, ...),\n"
            "which holds over the task file's:\n%s",
            grade::task_settings_help());
}

int bad(const std::string &what) {
    fprintf(stderr, "kaplo: %s (see --help)\n", what.c_str());
    return 2;
}

std::string current_folder() {
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? buffer : ".";
}

// A path as the user wrote it, made absolute (the runs happen elsewhere),
// without slashes at its end (a folder's name is taken from it).
std::string absolute(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path.empty() || path[0] == '/') return path;
    return current_folder() + "/" + path;
}

}  // namespace

int main(int argc, char **argv) {
    // Every comparison takes a few frame-sized blocks and gives them back;
    // kept by malloc rather than returned to the system, their pages are not
    // faulted in afresh each time, which made comparing three times slower
    // (grade_bench's "comparing").
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        usage(stderr);
        return 2;
    }
    if (args[0] == "-h" || args[0] == "--help") {
        usage(stdout);
        return 0;
    }
    std::string command = args[0];
    if (command != "grade" && command != "check" && command != "expect" && command != "merge")
        return bad("unknown command '" + command + "': give grade, check, expect or merge");

    grade::GradeOptions options;
    options.jobs = (int)std::max(1u, std::thread::hardware_concurrency());
    grade::Task task;
    std::string task_file, solution;
    std::vector<std::string> words;                          // the command's own arguments
    std::vector<std::pair<std::string, std::string>> settings;  // options that are task settings
    for (size_t i = 1; i < args.size(); ++i) {
        std::string a = args[i], value;
        if (a == "-h" || a == "--help") {
            usage(stdout);
            return 0;
        }
        if (a.compare(0, 2, "--") != 0 || a == "--") {
            if (a == "--") {
                words.insert(words.end(), args.begin() + i + 1, args.end());
                break;
            }
            words.push_back(a);
            continue;
        }
        std::string name = a.substr(2);
        size_t eq = name.find('=');
        bool has_value = eq != std::string::npos;
        if (has_value) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        bool flag = name == "no-sandbox" || name == "no-gifs";
        if (flag) {
            if (has_value) return bad("--" + name + " takes no value");
            if (name == "no-sandbox") options.sandbox = false;
            else options.gifs = false;
            continue;
        }
        if (!has_value) {
            if (i + 1 >= args.size()) return bad("--" + name + " needs a value");
            value = args[++i];
        }
        if (name == "task") task_file = absolute(value);
        else if (name == "solution") solution = absolute(value);
        else if (name == "out") options.out = absolute(value);
        else if (name == "package") options.package = absolute(value);
        else if (name == "jobs") {
            char *end = nullptr;
            long n = strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || n < 1 || n > 256) return bad("--jobs takes a number from 1 to 256");
            options.jobs = (int)n;
        } else if (name == "shard") {
            int k = 0, n = 0;
            char tail;
            if (sscanf(value.c_str(), "%d/%d%c", &k, &n, &tail) != 2 || n < 1 || k < 1 || k > n)
                return bad("--shard takes K/N, such as 2/4 (the second of four shares)");
            options.shard = k - 1;
            options.shards = n;
        } else {
            settings.push_back({name, value});
        }
    }

    if (command == "merge") {
        if (words.size() < 2) return bad("merge needs the folder to write and one or more folders of results");
        std::vector<std::string> shards;
        for (size_t i = 1; i < words.size(); ++i) shards.push_back(absolute(words[i]));
        std::string error, out = absolute(words[0]);
        if (!grade::merge_results(shards, out, &error)) {
            fprintf(stderr, "kaplo: %s\n", error.c_str());
            return 1;
        }
        fprintf(stderr, "kaplo: the merged report is %s/report.html\n", out.c_str());
        return 0;
    }

    // check and expect name the task file first.
    if ((command == "check" || command == "expect") && task_file.empty()) {
        if (words.empty()) return bad(command + " needs the task file");
        task_file = absolute(words[0]);
        words.erase(words.begin());
    }
    std::string error;
    if (!task_file.empty() && !grade::read_task(task_file, &task, &error)) {
        fprintf(stderr, "kaplo: %s\n", error.c_str());
        return 2;
    }
    // Scripts given as options replace the task file's.
    bool scripts_given = false;
    for (const auto &s : settings) {
        if (s.first == "script" && !scripts_given) {
            task.scripts.clear();
            scripts_given = true;
        }
        if (!grade::apply_setting(&task, s.first, s.second, current_folder(), &error)) {
            if (error.find("is not a setting") != std::string::npos) return bad("unknown option --" + s.first);
            size_t colon = error.find("': ");
            return bad("--" + s.first + " " + s.second + ": " + (colon == std::string::npos ? error : error.substr(colon + 3)));
        }
    }
    if (options.package.empty()) return bad("--package is missing: run the grader through scripts/kaplo.sh");

    if (command == "grade") {
        if (words.size() != 1) return bad("grade needs one folder of submissions");
        if (solution.empty()) return bad("grade needs the teacher's solution: --solution PROGRAM");
        std::string folder = absolute(words[0]);
        if (options.out.empty()) options.out = folder + "-grade";
        return grade::grade_class(options, task, folder, solution);
    }
    if (command == "check") {
        if (words.size() != 1) return bad("check needs the task file and one program");
        std::string program = absolute(words[0]);
        if (options.out.empty()) {
            size_t dot = program.rfind('.'), slash = program.rfind('/');
            options.out = (dot != std::string::npos && dot > slash ? program.substr(0, dot) : program) + "-check";
        }
        return grade::check_program(options, task, program);
    }
    if (!words.empty() && solution.empty()) solution = absolute(words[0]);
    if (solution.empty()) return bad("expect needs the teacher's solution: --solution PROGRAM");
    return grade::make_expected(options, task, solution);
}
