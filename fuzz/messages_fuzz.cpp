// Fuzzes the package with what a user can do: each input is a run of clicks,
// characters, key presses and releases (with and without Ctrl), menu choices,
// timer ticks, repaints and close-box clicks on either window, fed to a
// program that takes events with KAPLO_next_event and draws at each one.
// Between messages the package's invariants are checked (check_invariants):
// flags and check marks agree, the log ring's count matches its blocks, no
// graphics object or memory block is left behind, and a script being played
// is never cut short on disk. A run that stops handing out events after its
// input is used up counts as a hang.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"
#include "package.h"
#include "platform_tools.h"

// Actions taken from one input at most, and events the program takes at most.
#define MAX_ACTIONS 200
#define MAX_EVENTS 2000
// Idle moments allowed after the last action before the run counts as hung.
#define MAX_IDLE_AFTER_END 200

// Scripts the input can start with in KAPLO.SCR (the last: no file at all).
static const char *const seed_scripts[] = {
    "KAPLO_PERIODIC(3);\r\nKAPLO_MOUSE(10, -20);\r\nKAPLO_PERIODIC(2);\r\nKAPLO_KBD(97);\r\n",
    "KAPLO_KBD(12);\r\nKAPLO_PERIODIC(100000);\r\nKAPLO_MOUSE(-300, 300);\r\n",
    "KAPLO_MOUSE(1, 2);\r\n\r\nKAPLO_XXX(1);\r\nKAPLO_KBD(65);\r\n",
    nullptr,
};

// Keys a user presses: control, the command letters, others and function keys.
static const int keys[] = {VK_CONTROL, 'A', 'H', 'F', 'L', 'R', 'P', 'O', 'Q', 'Z', 'X', '1', VK_SHIFT,
                           VK_RETURN, VK_ESCAPE, VK_F1, VK_LEFT, VK_BACK, VK_SPACE, VK_CAPITAL};

// Stops the fuzzer with a message naming the broken rule.
static void fail(const char *rule) {
    fprintf(stderr, "messages_fuzz: %s\n", rule);
    abort();
}

// One run of the program: the input, the idle count and what must stay unchanged.
struct Run {
    FuzzedDataProvider *data;
    int actions;
    int idle_after_end;
    PlatformCounts baseline;
    // Size of KAPLO.SCR while a script is being played (-1: none is).
    long long played_size;
};

// Moves into a private folder, so that KAPLO.SCR is the fuzzer's own.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    enter_private_folder("messages-fuzz");
    return 0;
}

// Size of KAPLO.SCR, or -1 when there is none.
static long long script_size(void) {
    struct stat info;
    return stat(SCRIPT_FILE_NAME, &info) == 0 ? (long long)info.st_size : -1;
}

// Whether the "&Run" item of a command carries its check mark.
static bool checked(int id) {
    return (GetMenuState(package_state.run_menu, (UINT)id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

// The package's rules that hold between any two messages.
static void check_invariants(Run *run) {
    const PackageState &state = package_state;
    if (IsWindow(state.drawing_window)) {
        if (checked(CMD_LOGGING) != (state.logging != 0)) fail("Logging check mark disagrees with the flag");
        if (checked(CMD_RECORD) != (state.recording != 0)) fail("Record check mark disagrees with the flag");
        if (checked(CMD_PLAYBACK) != (state.playing_back != 0))
            fail("Playback check mark disagrees with the flag");
    }
    int count = 0;
    if (state.log_oldest != -1) {
        if (state.log_oldest < 0 || state.log_oldest >= LOG_RING_SIZE) fail("log_oldest out of the ring");
        count = (state.log_next - state.log_oldest + LOG_RING_SIZE) % LOG_RING_SIZE;
        if (count == 0) count = LOG_RING_SIZE;
    } else if (state.log_next != 0) {
        fail("an empty log ring with a next slot");
    }
    int blocks = 0;
    for (int slot = 0; slot < LOG_RING_SIZE; slot++) {
        int age = (state.log_next - 1 - slot + LOG_RING_SIZE) % LOG_RING_SIZE;
        bool in_use = age < count;
        HGLOBAL line = state.log_lines[slot];
        if (in_use != (line != nullptr && GlobalSize(line) > 0)) fail("a log slot disagrees with the count");
        blocks += line != nullptr;
    }
    PlatformCounts now = platform_live_objects();
    if (now.global_blocks != blocks) fail("memory blocks outside the log ring are left");
    if (now.pens != run->baseline.pens || now.brushes != run->baseline.brushes ||
        now.fonts != run->baseline.fonts || now.bitmaps != run->baseline.bitmaps ||
        now.dcs != run->baseline.dcs) {
        fail("a graphics object was left behind");
    }
    if (state.periodic_count < 0 || state.playback_count < 0) fail("a negative periodic count");

    // A script being played (or about to be) must keep every byte on disk.
    bool playing = state.playing_back || state.play_one || (state.script_file && !state.script_writing);
    if (!playing) {
        run->played_size = -1;
    } else if (run->played_size < 0) {
        run->played_size = script_size();
    } else if (script_size() != run->played_size) {
        fail("the script being played was changed on disk");
    }
}

// One of the two windows, as the input picks.
static HWND pick_window(FuzzedDataProvider &data) {
    return data.ConsumeBool() ? package_state.drawing_window : package_state.text_window;
}

// Carries out one user action from the input.
static void act(FuzzedDataProvider &data) {
    HWND window = pick_window(data);
    switch (data.ConsumeIntegralInRange<int>(0, 9)) {
    case 0:
        headless_click(window, data.ConsumeIntegralInRange<int>(-5, 600),
                       data.ConsumeIntegralInRange<int>(-5, 480));
        break;
    case 1: {
        char text[2] = {(char)data.ConsumeIntegralInRange<int>(1, 127), 0};
        headless_type(window, text);
        break;
    }
    case 2:
        headless_key_down(window, data.PickValueInArray(keys));
        break;
    case 3:
        headless_key_up(window, data.PickValueInArray(keys));
        break;
    case 4: {  // Ctrl with a letter, pressed and released in one go
        int key = data.PickValueInArray(keys);
        headless_key_down(window, VK_CONTROL);
        headless_key_down(window, key);
        headless_key_up(window, key);
        headless_key_up(window, VK_CONTROL);
        break;
    }
    case 5:
        headless_choose_menu(package_state.drawing_window, (UINT)data.ConsumeIntegralInRange<int>(1, 9));
        break;
    case 6:
        headless_advance((DWORD)data.ConsumeIntegralInRange<int>(0, 400));
        break;
    case 7:
        InvalidateRect(window, nullptr, TRUE);
        break;
    case 8:
        // The drawing window's close box ends the program: rarely, so runs go on.
        if (window == package_state.text_window || data.ConsumeIntegralInRange<int>(0, 7) == 0)
            headless_close_box(window);
        break;
    default:  // a character the keyboard cannot make, as another program could send
        PostMessageA(window, WM_CHAR, data.ConsumeIntegral<uint8_t>(), 0);
        break;
    }
}

// Called whenever the queue is empty: checks the invariants, then acts or, with
// the input used up, asks to quit.
static void on_idle(void *context) {
    Run *run = (Run *)context;
    check_invariants(run);
    if (run->actions < MAX_ACTIONS && run->data->remaining_bytes() > 0) {
        run->actions++;
        act(*run->data);
        return;
    }
    if (++run->idle_after_end > MAX_IDLE_AFTER_END) fail("no quit event after the input ended (hang)");
    if (IsWindow(package_state.drawing_window)) {
        PostMessageA(package_state.drawing_window, WM_COMMAND, CMD_QUIT, 0);
    } else {
        PostQuitMessage(0);
    }
}

// Set by the drain's idle hook once the queue is empty.
static bool queue_empty;

// The drain's idle hook.
static void on_drained(void *) { queue_empty = true; }

// Handles every message still queued, as the package would, until none is left.
static void drain_queue(void) {
    headless_set_idle_hook(on_drained, nullptr);
    queue_empty = false;
    for (int i = 0; !queue_empty; i++) {
        if (i > 10000) fail("the queue never empties");
        MSG message;
        if (GetMessageA(&message, nullptr, 0, 0)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    headless_set_idle_hook(nullptr, nullptr);
}

// Brings a package that is still whole back to the state KAPLO_begin leaves,
// without the cost of new windows; returns false when it must start anew
// (a window was closed).
static bool renew_package(void) {
    PackageState &state = package_state;
    if (!IsWindow(state.drawing_window) || !IsWindow(state.text_window)) return false;
    drain_queue();
    HWND window = state.drawing_window;
    if (GetKeyState(VK_CONTROL) < 0) headless_key_up(window, VK_CONTROL);
    if (GetKeyState(VK_SHIFT) < 0) headless_key_up(window, VK_SHIFT);
    if (GetKeyState(VK_CAPITAL) & 1) {
        headless_key_down(window, VK_CAPITAL);
        headless_key_up(window, VK_CAPITAL);
    }
    drain_queue();
    if (!IsWindow(state.drawing_window) || !IsWindow(state.text_window)) return false;
    script_close();
    PackageState kept = state;
    reset_package();
    state.drawing_window = kept.drawing_window;
    state.text_window = kept.text_window;
    state.instance = kept.instance;
    state.window_dc = kept.window_dc;
    state.back_buffer = kept.back_buffer;
    state.back_buffer_dc = kept.back_buffer_dc;
    state.run_menu = kept.run_menu;
    state.origin_x = kept.origin_x;
    state.origin_y = kept.origin_y;
    CheckMenuItem(state.run_menu, CMD_LOGGING, MF_BYCOMMAND | MF_CHECKED);
    CheckMenuItem(state.run_menu, CMD_RECORD, MF_BYCOMMAND | MF_UNCHECKED);
    CheckMenuItem(state.run_menu, CMD_PLAYBACK, MF_BYCOMMAND | MF_UNCHECKED);
    SetTimer(state.drawing_window, PERIODIC_TIMER_ID, TICK_MS, nullptr);
    return true;
}

// Ends the package as a program would and frees what a program leaves to
// process exit (the back buffer), so that the next start leaks nothing.
static void end_package(void) {
    KAPLO_end();
    DeleteDC(package_state.back_buffer_dc);
    DeleteObject(package_state.back_buffer);
    reset_package();
}

// Starts the package for an input: a fresh start the first time and after a
// window was closed, otherwise the same windows made as good as new.
static void start_package(void) {
    static bool started = false;
    if (started && renew_package()) return;
    if (started) end_package();
    started = true;
    platform_use_headless();
    headless_set_frame_history(0);
    KAPLO_begin(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
}

// Draws at an event as a program would: a dot for a click, the character as text.
static void draw_at(int kind, int x, int y, char key, int event) {
    if (kind == KAPLO_MOUSE) KAPLO_circle(RED, x, y, 4);
    if (kind == KAPLO_KBD) {
        char text[2] = {key, 0};
        KAPLO_text(BLUE, x, y, 12, text);
    }
    if (kind == KAPLO_PERIODIC && event % 16 == 0) KAPLO_line(GREEN, -x, y, x, -y, event % 3);
}

// Runs the program of one input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    start_package();
    const char *seed = seed_scripts[data.ConsumeIntegralInRange<int>(0, 3)];
    remove(SCRIPT_FILE_NAME);
    if (seed != nullptr) {
        FILE *file = fopen(SCRIPT_FILE_NAME, "wb");
        if (file == nullptr) fail("cannot write the seed script");
        fputs(seed, file);
        fclose(file);
    }
    KAPLO_set_logging(data.ConsumeBool());
    KAPLO_set_animation(data.ConsumeBool() ? ANIMATE_RUN : ANIMATE_HALT);

    Run run = {&data, 0, 0, platform_live_objects(), -1};
    headless_set_idle_hook(on_idle, &run);
    for (int event = 0; event < MAX_EVENTS; event++) {
        int x = 0, y = 0;
        char key = 0;
        int kind = KAPLO_next_event(&x, &y, &key);
        if (kind == KAPLO_QUIT) break;
        if (kind != KAPLO_MOUSE && kind != KAPLO_KBD && kind != KAPLO_PERIODIC) fail("an unknown event kind");
        draw_at(kind, x, y, key, event);
        check_invariants(&run);
    }
    headless_set_idle_hook(nullptr, nullptr);
    // The stream is closed as KAPLO_end closes it; the windows stay for the next input.
    script_close();
    return 0;
}
