// What a supervised headless run shares with its watcher as it goes, so
// that a crash or a kill loses none of it: whether the run finished, the
// words of an end the run itself chose, the newest whole frame, and how much
// of the GIF is whole. It lives in the supervisor's shared memory.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

struct RunBeacon {
    // The run finished its outputs and chose its status (the process's exit
    // status): nothing is left for the watcher to save.
    std::atomic<int> finished;
    // The run ended itself without finishing (it gave up on a program): the
    // words are printed, the partial outputs are for the watcher.
    std::atomic<int> gave_up;
    // GetMessageA found nothing that could ever come (the backend aborts).
    std::atomic<int> waits_forever;
    // Bytes of the GIF's temporary file that end after a whole frame; 0
    // while no frame is written.
    std::atomic<long long> gif_whole_bytes;
    // The newest whole frame: slot 0 or 1, -1 while none.
    std::atomic<int> frame_slot;
    int frame_width[2], frame_height[2];
    char words[2048];  // the end's words, when the run chose its end

    static constexpr size_t kMaxFramePixels = 2048 * 2048;
    uint32_t frame_pixels[2][kMaxFramePixels];

    // Initialises a zeroed beacon.
    void reset() { frame_slot = -1; }
};
