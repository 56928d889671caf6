// An animated GIF of a window at its true pace, written with giflib: each
// frame lasts until the next one came, in whole centiseconds, with the
// rounding carried over so that the GIF's length matches the clock's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/output_file.h"

class GifWriter {
public:
    // Starts the file; frames must all be width x height.
    bool open(const std::string &path, int width, int height, std::string *error);
    bool is_open() const { return gif_ != nullptr; }
    // Offers a frame (0x00RRGGBB pixels) shown from time_ms on. A frame that
    // another replaces within the same centisecond, or that shows nothing
    // new, is left out. False once writing has failed.
    bool add_frame(const uint32_t *pixels, uint64_t time_ms, std::string *error);
    // Writes the last frame, shown until end_ms, and a comment when one is
    // given; closes and renames the file.
    bool finish(uint64_t end_ms, std::string *error, const std::string &comment = "");
    // Flushes what is written so far and tells its length in bytes: the
    // frames up to here are whole on the disk (0 when not open).
    long long flush_whole();
    // Drops the file unfinished.
    void abandon();
    long frames_written() const { return written_; }
    ~GifWriter() { abandon(); }

private:
    bool write_pending(int delay_cs, std::string *error);

    OutputFile out_;
    void *gif_ = nullptr;  // GifFileType
    int width_ = 0, height_ = 0;
    bool has_pending_ = false;
    uint64_t start_ms_ = 0;       // time of the first frame
    int64_t pending_cs_ = 0;      // when the pending frame starts, centiseconds
    std::vector<uint32_t> pending_, shown_;  // the frame to write, what a viewer shows now
    std::vector<uint8_t> indices_;
    long written_ = 0;
};
