// Fuzzes the script reader through the public playback path: each input is the
// whole of "KAPLO.SCR". The package is started headless in a private folder,
// the Playback command is posted to the drawing window, and events are taken
// with KAPLO_next_event until playback stops or a bound is reached.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"
#include "package.h"
#include "platform_tools.h"

// Events taken from one input at most (a periodic line may ask for billions).
#define MAX_EVENTS 300

// Moves into a fresh temporary folder, so that KAPLO.SCR is the fuzzer's own.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    enter_private_folder("script-fuzz");
    return 0;
}

// Once playback has stopped nothing else would ever come: end the wait with a quit.
static void on_idle(void *) {
    if (!package_state.playing_back && !package_state.play_one) PostQuitMessage(0);
}

// Plays one script to its end (or to the bound).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    FILE *file = fopen(SCRIPT_FILE_NAME, "wb");
    if (file == nullptr) abort();
    if (size > 0 && fwrite(bytes, 1, size, file) != size) abort();
    fclose(file);

    reset_package();
    platform_use_headless();
    headless_set_frame_history(0);
    KAPLO_begin(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
    headless_set_idle_hook(on_idle, nullptr);
    PostMessageA(package_state.drawing_window, WM_COMMAND, CMD_PLAYBACK, 0);

    int x = 0, y = 0;
    char key = 0;
    for (int i = 0; i < MAX_EVENTS; i++) {
        int kind = KAPLO_next_event(&x, &y, &key);
        if (kind == KAPLO_QUIT) break;
        if (kind != KAPLO_MOUSE && kind != KAPLO_KBD && kind != KAPLO_PERIODIC) abort();
        // Now and then draw at the event's point, as a program would (each
        // drawing costs a copy of the back buffer at the next message).
        if (i % 50 == 0) KAPLO_circle(RED, x, y, 3);
    }
    headless_set_idle_hook(nullptr, nullptr);
    KAPLO_end();
    // A program leaves the back buffer to process exit; the fuzzer starts the
    // package anew for every input, and a layer reset keeps GDI objects.
    DeleteDC(package_state.back_buffer_dc);
    DeleteObject(package_state.back_buffer);
    reset_package();
    return 0;
}
