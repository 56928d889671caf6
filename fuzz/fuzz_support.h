// What the fuzzers that start the package share: a private working folder,
// and the package put back to the state of a fresh process.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "package.h"

// Moves into a fresh temporary folder named after the fuzzer, so that
// KAPLO.SCR is its own.
inline void enter_private_folder(const char *fuzzer) {
    std::string name = std::string("/tmp/kaplo-") + fuzzer + "-XXXXXX";
    if (mkdtemp(&name[0]) == nullptr || chdir(name.c_str()) != 0) {
        perror(fuzzer);
        abort();
    }
}

// Frees what the package holds and puts its state back to that of a fresh process.
inline void reset_package(void) {
    for (HGLOBAL &line : package_state.log_lines) {
        if (line != nullptr) GlobalFree(line);
        line = nullptr;
    }
    if (package_state.script_file != nullptr) fclose(package_state.script_file);
    package_state = PackageState{};
}
