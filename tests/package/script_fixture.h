// Set-up for the script and command tests: a started package whose own timer
// is stopped, run inside a fresh working folder so that "KAPLO.SCR" is private
// to the test.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "package_fixture.h"

namespace fs = std::filesystem;

class ScriptTest : public PackageTest {
protected:
    fs::path previous_folder;
    fs::path folder;

    void SetUp() override {
        PackageTest::SetUp();
        previous_folder = fs::current_path();
        std::mt19937 random((unsigned)std::chrono::steady_clock::now().time_since_epoch().count());
        for (;;) {
            folder = fs::temp_directory_path() / ("kaplo-script-" + std::to_string(random()));
            if (fs::create_directory(folder)) break;
        }
        fs::current_path(folder);
        begin();
    }

    void TearDown() override {
        PackageTest::TearDown();
        fs::current_path(previous_folder);
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // Carries out a menu command at once, as choosing it would.
    void command(int id) { SendMessageA(package_state.drawing_window, WM_COMMAND, (WPARAM)id, 0); }

    // Posts a message that produces no event of its own; during playback it
    // makes room for one script event.
    void post_nothing() { PostMessageA(package_state.drawing_window, WM_NULL, 0, 0); }

    // Runs one periodic event through the loop while animation runs: the first
    // timer message arms it, the second delivers it.
    Event periodic() {
        post_tick();
        post_tick();
        return next_event();
    }

    // Writes the script file with exactly these bytes.
    static void write_script(const std::string &bytes) {
        FILE *file = fopen(SCRIPT_FILE_NAME, "wb");
        ASSERT_NE(file, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
    }

    // The bytes of the script file, or "<missing>".
    static std::string script_bytes() {
        FILE *file = fopen(SCRIPT_FILE_NAME, "rb");
        if (file == nullptr) return "<missing>";
        std::string bytes;
        int c;
        while ((c = getc(file)) != EOF) bytes += (char)c;
        fclose(file);
        return bytes;
    }

    // Whether the "&Run" item of this command id carries its check mark.
    static bool checked(int id) {
        return (GetMenuState(package_state.run_menu, (UINT)id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }

    // During playback: posts one message and retrieves the script event it makes room for.
    Event play_next() {
        post_nothing();
        return next_event();
    }
};
