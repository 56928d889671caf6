// The words a headless run ends with: for each way it can end, one plain
// sentence of what happened and one of what to do next, as printed on
// standard error ("kaplo: ...", two lines).
#pragma once

#include <string>

// "1 frame", "2 frames".
std::string count_of(long long n, const char *thing);

// A sentence and its hint, as two "kaplo: " lines.
std::string run_words(const std::string &what, const std::string &next);

std::string words_crash(int sig);
// Stopped by --kaplo-timeout; quiet_s: how long the program had not asked
// for an event (asked: whether it ever did).
std::string words_timeout(long long timeout_s, double quiet_s, bool asked);
std::string words_waits_forever();
std::string words_interrupted(int sig);
// Ended with an exit status before the run had finished (a sanitizer's
// report, say, or _exit).
std::string words_abrupt(int status);
std::string words_bound_ms(long long ms);
std::string words_bound_frames(long long frames);
// what: "the transcript", "the frames", "the GIF".
std::string words_output_bound(const char *what, long long megabytes);
std::string words_write_failed(const std::string &error);
std::string words_not_ending(bool drawing);
// The program ended with processes of its own still running, which the run ended.
std::string words_left_processes(int count);
// A file that could not be written before the run started.
std::string words_cannot_start(const std::string &error);
