// The desktop tests drive and read the virtual X display through shell tools
// (xdotool); this runs one and keeps its first output line.
#pragma once

#include <cstdio>
#include <string>

// The first output line of a shell command, without its line end ("" on failure).
inline std::string first_line(const std::string &command) {
    FILE *p = popen(command.c_str(), "r");
    if (!p) return "";
    char line[256] = {};
    if (!fgets(line, sizeof line, p)) line[0] = 0;
    pclose(p);
    std::string s = line;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}
