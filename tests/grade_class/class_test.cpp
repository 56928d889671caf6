// A class of learners' programs graded whole: each made from the teacher's
// solution with one change (a wrong colour, a pixel off, a crash, a hang,
// a hostile program ...), built and run by kaplo_grade against the package
// installed for the test. Each must get its own outcome, nothing outside the
// sandbox may change, and no process may be left.
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

namespace {

const std::string kClass = KAPLO_GRADE_CLASS;  // the solution, the script, the task file

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write(const std::string &path, const std::string &text) { std::ofstream(path, std::ios::binary) << text; }

// The solution's text with one piece replaced.
std::string changed(const std::string &from, const std::string &to) {
    std::string s = slurp(kClass + "/solution.c");
    size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

struct Folder {
    std::string path;
    Folder() {
        char name[] = "/tmp/kaplo-class-XXXXXX";
        path = mkdtemp(name);
        chmod(path.c_str(), 0755);
    }
    ~Folder() { (void)!system(("rm -rf '" + path + "'").c_str()); }
};

// Runs the grader; its exit status, with what it said in *said.
int grader(const std::string &arguments, std::string *said) {
    std::string command = std::string(KAPLO_GRADE) + " " + arguments + " --package " KAPLO_GRADE_PACKAGE " 2>&1";
    FILE *p = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    said->clear();
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) said->append(buffer, n);
    int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Processes whose command line names the text (the grade's own folder).
int processes_naming(const std::string &text) {
    int found = 0;
    DIR *d = opendir("/proc");
    while (dirent *e = readdir(d)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        std::string cmdline = slurp(std::string("/proc/") + e->d_name + "/cmdline");
        if (cmdline.find(text) != std::string::npos) ++found;
    }
    closedir(d);
    return found;
}

TEST(GradeClass, EveryLearnerGetsTheirOutcomeAndNothingOutsideChanges) {
    Folder top;
    std::string subs = top.path + "/class", home = top.path + "/teacher-home";
    std::string in_tmp = "/tmp/kaplo-hostile-" + std::to_string(getpid());
    mkdir(subs.c_str(), 0755);
    mkdir(home.c_str(), 0755);
    // A listener the hostile program tries to reach.
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, (sockaddr *)&addr, sizeof addr), 0);
    socklen_t len = sizeof addr;
    getsockname(listener, (sockaddr *)&addr, &len);
    listen(listener, 4);

    const char *clicked = "clicks = clicks + 1; /* CLICKED */";
    write(subs + "/alice.c", slurp(kClass + "/solution.c"));
    write(subs + "/bob.c", changed("YELLOW", "ORANGE"));
    write(subs + "/cleo.c", changed("x, y, 20", "x + 1, y, 20"));
    write(subs + "/dan.c", changed(clicked, "clicks = clicks + 1"));
    write(subs + "/eve.c", changed(clicked, "clicks = clicks + 1; if (clicks == 2) *(volatile int *)0 = 1;"));
    write(subs + "/finn.c", changed(clicked, "clicks = clicks + 1; if (clicks == 2) for (;;) {}"));
    mkdir((subs + "/gus").c_str(), 0755);
    write(subs + "/gus/dot.h", "void dot(int x, int y);\n");
    write(subs + "/gus/dot.c", "#include <kaplo.h>\n#include \"dot.h\"\nvoid dot(int x, int y) { KAPLO_circle(YELLOW, x, y, 20); }\n");
    write(subs + "/gus/main.c", "#include \"dot.h\"\n" + changed("KAPLO_circle(YELLOW, x, y, 20);", "dot(x, y);"));
    write(subs + "/hana.cpp", "#include <vector>\n" + changed(clicked, "std::vector<int> v(3); clicks = clicks + (int)v.size() / 3;"));
    write(subs + "/ivan.c",
          "#include <stdio.h>\n#include <unistd.h>\n#include <arpa/inet.h>\n#include <sys/socket.h>\n" +
              changed(clicked,
                      "clicks = clicks + 1; if (clicks == 1) {"
                      " FILE *f = fopen(\"" + home + "/owned\", \"w\"); if (f) fclose(f);"
                      " f = fopen(\"" + in_tmp + "\", \"w\"); if (f) fclose(f);"
                      " remove(\"" + subs + "/alice.c\");"
                      " int s = socket(AF_INET, SOCK_STREAM, 0); struct sockaddr_in a = {0};"
                      " a.sin_family = AF_INET; a.sin_port = " + std::to_string(addr.sin_port) + ";"
                      " a.sin_addr.s_addr = htonl(INADDR_LOOPBACK); connect(s, (struct sockaddr *)&a, sizeof a);"
                      " if (fork() == 0) for (;;) pause(); }"));
    write(subs + "/jo.c", changed("int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)\n{",
                                  "int main(void)\n{\n    HINSTANCE instance = 0, previous = 0;\n    LPSTR command_line = 0;\n    int show = 0;"));
    mkdir((subs + "/kim").c_str(), 0755);
    write(subs + "/kim/one.c", slurp(kClass + "/solution.c"));
    write(subs + "/kim/two.c", slurp(kClass + "/solution.c"));
    write(subs + "/lena.c", "#include <stdio.h>\n" +
                                changed(clicked, "clicks = clicks + 1; { static char mb[1 << 20]; FILE *f = fopen(\"big\", \"wb\");"
                                                 " for (int i = 0; f && i < 10240; i++) fwrite(mb, 1, sizeof mb, f); }"));
    write(subs + "/max.c", "#include <unistd.h>\n" + changed(clicked, "for (;;) fork();"));
    write(subs + "/nina.c", "#include <unistd.h>\n" + changed(clicked, "for (;;) sleep(1000);"));
    write(subs + "/notes.txt", "not a program\n");
    write(subs + "/zoë smith.c", slurp(kClass + "/solution.c"));
    std::string alice = slurp(subs + "/alice.c");

    std::string said, out = top.path + "/report";
    ASSERT_EQ(grader("grade '" + subs + "' --solution " + kClass + "/solution.c --task " + kClass + "/task.txt --jobs 2 --out " + out, &said), 0)
        << said;
    nlohmann::json results = nlohmann::json::parse(slurp(out + "/results.json"));
    std::map<std::string, nlohmann::json> by_name;
    for (const auto &r : results["results"]) by_name[r["learner"]] = r;
    auto outcome = [&](const char *name) { return by_name[name]["outcome"].get<std::string>(); };
    EXPECT_EQ(outcome("alice"), "passed");
    EXPECT_EQ(outcome("zoë smith"), "passed");
    EXPECT_EQ(outcome("gus"), "passed");
    EXPECT_EQ(outcome("hana"), "passed");
    EXPECT_EQ(outcome("bob"), "differs");
    EXPECT_NE(by_name["bob"]["transcript_words"].get<std::string>().find("orange"), std::string::npos) << by_name["bob"];
    EXPECT_EQ(outcome("cleo"), "differs");
    EXPECT_GT(by_name["cleo"]["differing_share"].get<double>(), 0);
    EXPECT_LT(by_name["cleo"]["differing_share"].get<double>(), 0.01);
    EXPECT_EQ(outcome("dan"), "did not build");
    EXPECT_NE(by_name["dan"]["detail"].get<std::string>().find("dan.c:"), std::string::npos) << by_name["dan"];
    EXPECT_EQ(outcome("eve"), "crashed");
    EXPECT_NE(by_name["eve"]["detail"].get<std::string>().find("SEGV"), std::string::npos) << by_name["eve"];
    EXPECT_EQ(outcome("finn"), "never read an event");
    EXPECT_EQ(outcome("nina"), "never read an event");
    EXPECT_EQ(outcome("ivan"), "left processes behind");
    EXPECT_EQ(outcome("jo"), "did not build");
    EXPECT_NE(by_name["jo"]["detail"].get<std::string>().find("WinMain"), std::string::npos);
    EXPECT_EQ(outcome("kim"), "did not build");
    EXPECT_NE(by_name["kim"]["detail"].get<std::string>().find("WinMain"), std::string::npos);
    EXPECT_EQ(outcome("lena"), "wrote too much");
    EXPECT_NE(outcome("max"), "passed");
    EXPECT_EQ(outcome("notes.txt"), "not run");
    EXPECT_EQ(by_name.size(), 16u);
    std::string report = slurp(out + "/report.html");
    EXPECT_NE(report.find("zoë smith"), std::string::npos);
    EXPECT_NE(slurp(out + "/results.csv").find("wrote too much"), std::string::npos);

    // Nothing outside the sandbox changed, and nothing is left running.
    EXPECT_EQ(slurp(subs + "/alice.c"), alice);
    EXPECT_EQ(processes_naming(out), 0);
    if (results["sandboxed"].get<bool>()) {
        EXPECT_NE(access((home + "/owned").c_str(), F_OK), 0);
        EXPECT_NE(access(in_tmp.c_str(), F_OK), 0);
        EXPECT_LT(accept(listener, nullptr, nullptr), 0);
    } else {
        std::cout << "bubblewrap is not usable here; the isolation was not checked: " << results["sandbox"] << "\n";
    }
    unlink(in_tmp.c_str());
    close(listener);
}

TEST(GradeClass, ASolutionThatDoesNotBuildStopsTheGrade) {
    Folder top;
    std::string subs = top.path + "/class";
    mkdir(subs.c_str(), 0755);
    write(subs + "/alice.c", slurp(kClass + "/solution.c"));
    write(top.path + "/solution.c", changed("KAPLO_wipe();", "KAPLO_wipe()"));
    std::string said;
    EXPECT_EQ(grader("grade " + subs + " --solution " + top.path + "/solution.c --script " + kClass + "/task.SCR", &said), 1);
    EXPECT_NE(said.find("the solution did not build: solution.c:"), std::string::npos) << said;
    EXPECT_NE(said.find("nothing to compare the class with"), std::string::npos) << said;
    EXPECT_EQ(grader("grade " + top.path + "/none --solution x.c --script " + kClass + "/task.SCR", &said), 1);
    EXPECT_NE(said.find("cannot read the folder of submissions"), std::string::npos) << said;
}

// The learner's side: the teacher makes the expected frames once; a learner
// checks a program against them without the solution's source.
TEST(GradeClass, ALearnerChecksAgainstTheShippedFrames) {
    Folder top;
    write(top.path + "/task.txt", "script " + kClass + "/task.SCR\nexpected shipped\n");
    std::string said;
    ASSERT_EQ(grader("expect " + top.path + "/task.txt --solution " + kClass + "/solution.c", &said), 0) << said;
    write(top.path + "/mine.c", changed("YELLOW", "ORANGE"));
    ASSERT_EQ(grader("check " + top.path + "/task.txt " + top.path + "/mine.c", &said), 0) << said;
    EXPECT_NE(said.find("task.SCR: differs"), std::string::npos) << said;
    nlohmann::json results = nlohmann::json::parse(slurp(top.path + "/mine-check/results.json"));
    ASSERT_EQ(results["results"].size(), 1u);
    EXPECT_EQ(results["results"][0]["outcome"], "differs");
}

}  // namespace
