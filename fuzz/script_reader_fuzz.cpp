// Fuzzes the script reader alone, on the input held in memory: the package is
// started once, and each input becomes the open script stream (an in-memory
// stream handed to script_file, which the reader then reads as it reads an
// opened file) that script_read_event is called on until it produces no event.
// Checked for every read: a known kind, a pending run that never goes
// negative, a stream that never runs past the input, an end of playback that
// clears the play flags and logs the end message only at the end of the
// input, and an unrecognised line that stops with no message and no flag
// touched.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "package.h"
#include "platform_tools.h"

// Events taken from one input at most (a periodic line may ask for billions).
#define MAX_EVENTS 2000

// Stops the fuzzer with a message naming the broken rule.
static void fail(const char *rule) {
    fprintf(stderr, "script_reader_fuzz: %s\n", rule);
    abort();
}

// Starts the package once, in a private folder so no real KAPLO.SCR is touched.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    enter_private_folder("reader-fuzz");
    platform_use_headless();
    headless_set_frame_history(0);
    KAPLO_begin(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
    return 0;
}

// The newest log line, or "" when the ring is empty.
static const char *newest_log_line(void) {
    const PackageState &state = package_state;
    if (state.log_oldest == -1) return "";
    HGLOBAL block = state.log_lines[(state.log_next + LOG_RING_SIZE - 1) % LOG_RING_SIZE];
    const char *text = (const char *)GlobalLock(block);
    GlobalUnlock(block);
    return text != nullptr ? text : "";
}

// Reads one input as a whole script.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    PackageState &state = package_state;
    script_close();
    // A zero-sized buffer is refused by some C libraries: an empty input is a
    // one-byte stream whose byte has been read already.
    static char empty[1];
    size_t length = size > 0 ? size : 1;
    state.script_file = fmemopen(size > 0 ? (void *)bytes : (void *)empty, length, "rb");
    if (state.script_file == nullptr) fail("no in-memory stream");
    if (size == 0) getc(state.script_file);
    state.script_writing = 0;
    state.playing_back = 1;

    for (int i = 0; i < MAX_EVENTS; i++) {
        state.event_kind = EVENT_NONE;
        int next_slot = state.log_next;
        int produced = script_read_event();
        bool logged = state.log_next != next_slot;
        long position = ftell(state.script_file);
        if (position < 0 || (size_t)position > length) fail("the reader ran past its input");
        if (state.playback_count < 0) fail("a negative periodic run is pending");
        if (produced) {
            if (logged) fail("an event with a log line");
            if (state.event_kind != KAPLO_MOUSE && state.event_kind != KAPLO_KBD &&
                state.event_kind != KAPLO_PERIODIC) {
                fail("an event of unknown kind");
            }
            continue;
        }
        if (state.event_kind != EVENT_NONE) fail("no event, but the event kind was set");
        if (logged) {
            // The only message of a stream that is open: the end, and only at the end.
            if (strncmp(newest_log_line(), "EOF encountered", 15) != 0) fail("a message other than the end");
            if (state.playing_back || state.play_one) fail("the end left playback on");
            if (getc(state.script_file) != EOF) fail("the end was reported before the end");
        } else if (!state.playing_back) {
            fail("an unrecognised line touched the play flags");
        }
        break;
    }
    script_close();
    state.playing_back = 0;
    state.play_one = 0;
    return 0;
}
