// Grading a class: the solution built and run first (without it there is
// nothing to compare with), then every learner's program built and run on
// every script, several at once, each in its own folder, and the report
// written from the results. One program's fault is its own row's outcome.
#include "grade_class.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "build.h"
#include "files.h"
#include "judge.h"
#include "report_html.h"
#include "results_files.h"
#include "run_program.h"
#include "sandbox.h"

namespace grade {

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A name made safe for a folder: letters, digits, '.', '-' and '_' kept (any
// byte above ASCII too, so UTF-8 names stay readable), the rest '_'.
std::string folder_name(const std::string &name) {
    std::string out;
    for (unsigned char c : name)
        out += (isalnum(c) || c == '.' || c == '-' || c == '_' || c >= 0x80) ? (char)c : '_';
    if (out.empty() || out[0] == '.') out = "_" + out;
    return out;
}

// Each script's folder name within a run's folder: its file name, numbered
// when two scripts share one.
std::vector<std::string> script_folders(const Task &task) {
    std::vector<std::string> names;
    for (size_t i = 0; i < task.scripts.size(); ++i) {
        std::string n = folder_name(base_name(task.scripts[i]));
        for (const std::string &earlier : names)
            if (earlier == n) n = std::to_string(i + 1) + "-" + n;
        names.push_back(n);
    }
    return names;
}

std::string now_utc() {
    time_t t = time(nullptr);
    struct tm tm;
    gmtime_r(&t, &tm);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &tm);
    return text;
}

int stop(const std::string &what) {
    fprintf(stderr, "kaplo: %s\n", what.c_str());
    return 1;
}

// What a grade shares between its workers.
struct Grading {
    Grading(const GradeOptions &o, const Task &t) : options(o), task(t) {}
    ~Grading() {
        if (!work.empty()) remove_tree(work);
    }
    const GradeOptions &options;
    const Task &task;
    SandboxMode mode;
    Package package;
    std::string work;  // scratch: a folder of its own under TMPDIR, removed at the end
    std::vector<std::string> scripts;  // folder names
    std::mutex lock;   // the timings
    double build_s = 0, run_s = 0, judge_s = 0;
};

// Builds the solution and runs it on every script into out_dir/<script>;
// false with why when it does not build or a run does not end well.
bool run_reference(Grading &g, const std::string &solution, const std::string &out_dir, std::string *why) {
    Submission s = submission_of(solution);
    if (!s.problem.empty()) {
        *why = "the solution " + solution + ": " + s.problem;
        return false;
    }
    Build b = build_submission(s, g.work + "/solution", g.package, g.mode, g.task, 0);
    if (!b.ok) {
        *why = "the solution did not build: " + b.detail;
        return false;
    }
    for (size_t k = 0; k < g.task.scripts.size(); ++k) {
        std::string dir = out_dir + "/" + g.scripts[k];
        RunEnd e = run_program(b.program, g.task.scripts[k], dir, g.work + "/solution/scratch", g.task, g.mode, false, 0);
        if (!e.finished || e.outcome == Outcome::LeftProcesses) {
            *why = "the solution's run on " + base_name(g.task.scripts[k]) + " did not end well: " +
                   (e.detail.empty() ? "it could not run" : e.detail);
            if (!e.output.empty()) *why += "\n" + e.output;
            return false;
        }
        if (!reference_complete(dir, g.task, why)) return false;
    }
    return true;
}

// One learner: built, run on every script, and, once the solution's runs are
// ready (false: they failed, and nothing is judged), judged; results[0..scripts).
void grade_one(Grading &g, const Submission &s, int index, int slot, const std::string &root,
               const std::shared_future<bool> &reference, Result *results) {
    std::string folder = "runs/" + std::to_string(index + 1) + "-" + folder_name(s.name);
    std::string work = g.work + "/" + std::to_string(index + 1);
    size_t n = g.task.scripts.size();
    for (size_t k = 0; k < n; ++k) {
        results[k].learner = s.name;
        results[k].script = base_name(g.task.scripts[k]);
    }
    Build b;
    if (s.problem.empty()) b = build_submission(s, work, g.package, g.mode, g.task, slot);
    double run_s = 0, judge_s = 0;
    std::vector<RunEnd> ends(n);
    for (size_t k = 0; k < n && b.ok; ++k) {
        ends[k] = run_program(b.program, g.task.scripts[k], root + "/" + folder + "/" + g.scripts[k],
                              work + "/scratch", g.task, g.mode, g.options.gifs, slot);
        run_s += ends[k].seconds;
    }
    bool judge = reference.get();
    for (size_t k = 0; k < n && judge; ++k) {
        Result &r = results[k];
        r.build_seconds = b.seconds;
        if (!s.problem.empty()) {
            r.outcome = Outcome::NotRun;
            r.detail = s.problem;
            continue;
        }
        if (!b.ok) {
            r.outcome = Outcome::DidNotBuild;
            r.detail = b.detail;
            continue;
        }
        Clock::time_point judged = Clock::now();
        judge_run(root, folder + "/" + g.scripts[k], "solution/" + g.scripts[k], g.task, ends[k], &r);
        judge_s += since(judged);
    }
    remove_tree(work);
    std::lock_guard<std::mutex> hold(g.lock);
    g.build_s += b.seconds;
    g.run_s += run_s;
    g.judge_s += judge_s;
}

std::string line_of_outcomes(const Result *results, size_t n) {
    std::vector<std::string> names;
    for (size_t k = 0; k < n; ++k) names.push_back(outcome_name(results[k].outcome));
    return joined(names, ", ");
}

// Grades the submissions (all, or one shard) against the reference runs in
// out/solution, and writes the report. reference, when given, makes those
// runs first, on the first worker, while the others build and run learners'
// programs; false with why stops the grade (nothing is judged).
using Reference = std::function<bool(std::string *why)>;
int grade_all(Grading &g, std::vector<Submission> submissions, const std::string &title, bool one_row,
              const Reference &reference) {
    Clock::time_point start = Clock::now();
    const std::string &out = g.options.out;
    std::vector<Submission> mine;
    for (size_t i = 0; i < submissions.size(); ++i)
        if ((int)(i % g.options.shards) == g.options.shard) mine.push_back(submissions[i]);
    size_t n = g.task.scripts.size();
    std::vector<Result> results(mine.size() * n);
    size_t next = 0, done = 0;  // learners are taken by the workers in turn
    std::mutex take;
    std::promise<bool> made;
    std::shared_future<bool> ready = made.get_future().share();
    std::string why;
    if (!reference) made.set_value(true);
    auto work = [&](int slot) {
        if (slot == 0 && reference) made.set_value(reference(&why));
        for (;;) {
            size_t i;
            {
                std::lock_guard<std::mutex> hold(take);
                bool failed = ready.wait_for(std::chrono::seconds(0)) == std::future_status::ready && !ready.get();
                if (next >= mine.size() || failed) return;
                i = next++;
            }
            grade_one(g, mine[i], (int)i, slot, out, ready, &results[i * n]);
            std::lock_guard<std::mutex> hold(take);
            if (!ready.get()) return;
            ++done;
            if (one_row) {
                for (size_t k = 0; k < n; ++k) {
                    const Result &r = results[i * n + k];
                    fprintf(stderr, "kaplo: %s: %s%s%s\n", r.script.c_str(), outcome_name(r.outcome),
                            r.detail.empty() ? "" : ": ", r.detail.c_str());
                    if (r.outcome != Outcome::Passed && r.transcript_line > 0 && !r.transcript_words.empty())
                        fprintf(stderr, "kaplo: %s: line %d of the log: %s\n", r.script.c_str(), r.transcript_line,
                                r.transcript_words.c_str());
                }
            } else {
                fprintf(stderr, "kaplo: [%zu/%zu] %s: %s\n", done, mine.size(), mine[i].name.c_str(),
                        line_of_outcomes(&results[i * n], n).c_str());
            }
        }
    };
    int jobs = std::max(1, std::min<int>(g.options.jobs, (int)mine.size()));
    std::vector<std::thread> workers;
    for (int j = 1; j < jobs; ++j) workers.emplace_back(work, j);
    work(0);
    for (std::thread &t : workers) t.join();
    if (!ready.get()) return stop(why + "\nkaplo: nothing to compare the class with: mend the solution first");
    double graded_s = since(start);

    Clock::time_point reported = Clock::now();
    Summary summary;
    summary.title = title;
    summary.sandbox = g.mode.words;
    summary.sandboxed = g.mode.isolated;
    for (const std::string &s : g.task.scripts) summary.scripts.push_back(base_name(s));
    summary.when = now_utc();
    std::string error;
    if (!write_results(out, summary, results, &error) || !write_report(out, summary, results, &error))
        return stop("cannot write the report: " + error);
    double report_s = since(reported);
    double wall = graded_s + report_s;
    fprintf(stderr,
            "kaplo: graded %zu program%s on %zu script%s in %.1f s (%.0f programs a minute); added over %d "
            "job%s: builds %.1f s, runs %.1f s, comparing %.1f s; the report %.1f s\n",
            mine.size(), mine.size() == 1 ? "" : "s", n, n == 1 ? "" : "s", wall,
            wall > 0 ? mine.size() * 60 / wall : 0.0, jobs, jobs == 1 ? "" : "s", g.build_s, g.run_s, g.judge_s,
            report_s);
    fprintf(stderr, "kaplo: the report is %s/report.html (and results.json, results.csv beside it)\n", out.c_str());
    return 0;
}

// The common start: the sandbox, the package, the folders. False: stop.
bool prepare(Grading &g, std::string *why) {
    if (g.task.scripts.empty()) {
        *why = "no script to run the programs on: name one with --script FILE or in the task file";
        return false;
    }
    for (const std::string &s : g.task.scripts) {
        FILE *f = fopen(s.c_str(), "rb");
        if (!f) {
            *why = "cannot read the script " + s + ": " + strerror(errno);
            return false;
        }
        fclose(f);
    }
    g.scripts = script_folders(g.task);
    // The builds and runs happen in a folder of the grade's own under TMPDIR,
    // which the sandbox's users can reach wherever the report goes.
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kaplo-grade-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end() + 1);
    if (!mkdtemp(name.data())) {
        *why = "cannot make a work folder like " + pattern + ": " + strerror(errno);
        return false;
    }
    g.work = name.data();
    chmod(g.work.c_str(), 0755);
    if (!sandbox_stage_keeper(g.work, why)) return false;
    g.mode = sandbox_probe(g.options.sandbox);
    fprintf(stderr, "kaplo: %s\n", g.mode.words.c_str());
    std::string package = sandbox_reachable(g.options.package, g.work, why);
    return !package.empty() && find_package(package, &g.package, why);
}

std::string title_of(const Task &task, const std::string &fallback) {
    if (!task.title.empty()) return task.title;
    return task.file.empty() ? fallback : base_name(task.file);
}

}  // namespace

int grade_class(const GradeOptions &options, const Task &task, const std::string &folder, const std::string &solution) {
    Grading g(options, task);
    std::string why;
    std::vector<Submission> submissions;
    if (!list_submissions(folder, &submissions, &why) || !prepare(g, &why)) return stop(why);
    fprintf(stderr, "kaplo: building and running the solution %s, and the class beside it\n", solution.c_str());
    return grade_all(g, submissions, title_of(task, base_name(folder)), false, [&](std::string *why) {
        return run_reference(g, solution, options.out + "/solution", why);
    });
}

int check_program(const GradeOptions &options, const Task &task, const std::string &program) {
    Grading g(options, task);
    std::string why;
    if (task.expected.empty()) return stop("the task file names no expected frames (expected FOLDER)");
    if (!prepare(g, &why)) return stop(why);
    // The expected runs are copied beside the report, so that it stands alone.
    for (const std::string &s : g.scripts) {
        std::string from = task.expected + "/" + s, to = options.out + "/solution/" + s;
        if (!reference_complete(from, task, &why))
            return stop("the task's expected frames are not complete: " + why +
                        " (the teacher makes them with: kaplo.sh expect TASK_FILE SOLUTION)");
        remove_tree(to);
        if (!copy_tree(from, to, &why)) return stop("cannot copy the task's expected frames: " + why);
    }
    return grade_all(g, {submission_of(program)}, title_of(task, base_name(program)), true, nullptr);
}

int make_expected(const GradeOptions &options, const Task &task, const std::string &solution) {
    GradeOptions o = options;
    o.out = task.expected;
    Grading g(o, task);
    std::string why;
    if (task.expected.empty()) return stop("the task file names no folder for the expected frames (expected FOLDER)");
    if (!prepare(g, &why) || !run_reference(g, solution, task.expected, &why)) return stop(why);
    fprintf(stderr, "kaplo: the solution's frames and transcripts are in %s: ship that folder with the task file\n",
            task.expected.c_str());
    return 0;
}

}  // namespace grade
