// The words of each end of a headless run. Kept together, so that they read
// alike: what happened in the learner's terms, then what to try.
#include "run/run_words.h"

#include <algorithm>
#include <csignal>

#include "run/supervisor.h"

std::string count_of(long long n, const char *thing) {
    return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

std::string run_words(const std::string &what, const std::string &next) {
    return "kaplo: " + what + "\nkaplo: " + next + "\n";
}

std::string words_crash(int sig) {
    return run_words("the program crashed (signal " + signal_short_name(sig) + "): " +
                         signal_in_words(sig) + ".",
                     "Run it with scripts/kaplo.sh to see the line it crashed on, or look at the "
                     "end of its transcript for the last thing it did.");
}

std::string words_timeout(long long timeout_s, double quiet_s, bool asked) {
    std::string what = "the run was stopped after " + count_of(timeout_s, "second") +
                       " of real time (--kaplo-timeout)";
    // Quiet for 5 s, or for the last half of a shorter limit: a program
    // that draws between two events never takes that long.
    long long quiet = (long long)quiet_s;
    if (!asked || quiet_s >= std::min(5.0, timeout_s / 2.0)) {
        what += asked ? ", and the program had not asked for an event for the last " +
                            count_of(quiet, "second") + "."
                      : ", and the program never asked for an event.";
        return run_words(what,
                         "This usually means a loop that never calls KAPLO_next_event: every "
                         "loop that goes on for a while must call it, or the program cannot "
                         "be closed.");
    }
    return run_words(what + " while the program was still busy with its events.",
                     "Give it more time with --kaplo-timeout=SECONDS, or end it sooner with "
                     "--kaplo-max-ms=MS.");
}

std::string words_waits_forever() {
    return run_words("the program waited for an event that can never come: it has no window "
                     "and no timer.",
                     "Call KAPLO_begin before the first KAPLO_next_event, and stop asking for "
                     "events after KAPLO_QUIT.");
}

std::string words_interrupted(int sig) {
    return run_words("the run was interrupted (signal " + signal_short_name(sig) + ").",
                     "Start it again when you are ready; nothing else needs doing.");
}

std::string words_abrupt(int status) {
    return run_words("the program stopped abruptly with exit status " + std::to_string(status) +
                         ", before the run had finished.",
                     "If a report above names a fault (a sanitizer's, say), start there; "
                     "otherwise look at the end of the transcript.");
}

std::string words_bound_ms(long long ms) {
    return run_words("the run reached its bound of " + count_of(ms, "virtual millisecond") +
                         " (--kaplo-max-ms); what it wrote is whole up to there.",
                     "A run without a script goes on until a bound ends it; give a longer one "
                     "with --kaplo-max-ms=MS, or a script that ends.");
}

std::string words_bound_frames(long long frames) {
    return run_words("the run reached its bound of " + count_of(frames, "frame") +
                         " (--kaplo-max-frames); what it wrote is whole up to there.",
                     "Allow more with --kaplo-max-frames=N.");
}

std::string words_output_bound(const char *what, long long megabytes) {
    bool transcript = std::string(what) == "the transcript";
    std::string where = transcript ? "its last line" : std::string(what) == "the GIF"
                                                          ? "a comment at its end"
                                                          : "the last line of frames.txt";
    std::string next = transcript
                           ? "A message repeated over and over usually means a loop that passes a "
                             "bad argument every time: read the transcript's first lines. "
                           : "A long run makes many frames: keep fewer with --kaplo-every=N, or end "
                             "it sooner with --kaplo-max-ms=MS. ";
    return run_words(std::string(what) + " grew past " + std::to_string(megabytes) +
                         " MB, the size bound (--kaplo-max-output), so the run was stopped; " +
                         where + " says the rest was cut.",
                     next + "To allow more, use --kaplo-max-output=MB.");
}

std::string words_write_failed(const std::string &error) {
    return run_words("an output could not be written, so the run was stopped: " + error + ".",
                     "Free some space, or write the outputs into another folder.");
}

std::string words_not_ending(bool drawing) {
    return run_words(drawing ? "the program went on drawing after its window was closed."
                             : "the program did not end after its window was closed.",
                     "When KAPLO_next_event returns KAPLO_QUIT, leave the loop and call "
                     "KAPLO_end.");
}

std::string words_cannot_start(const std::string &error) {
    return run_words(error + "; nothing was run.",
                     "Choose a file or folder you can write to, or fix the name.");
}

std::string words_left_processes(int count) {
    return run_words("the program left " + std::to_string(count) + (count == 1 ? " process" : " processes") +
                         " running when it ended; the run ended them.",
                     "A program should wait for the processes it starts (waitpid), or start none.");
}
