// Files the layer writes for the user (frames, GIFs, transcripts): written
// under a temporary name beside the final one and renamed into place only
// when whole, so that a full disk or a crash never leaves a cut-off file
// under the name asked for.
#pragma once

#include <cstdio>
#include <string>

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;
    ~OutputFile() { discard(); }

    // Opens the file for writing; a device or pipe (/dev/stdout, /dev/full)
    // is written directly. On failure sets *error to a sentence for the user.
    bool open(const std::string &path, std::string *error);
    FILE *stream() const { return file_; }
    const std::string &path() const { return path_; }
    // Flushes and closes it and gives it its name; false (with *error) when
    // any write failed, and then nothing is left under the name.
    bool commit(std::string *error);
    // Closes and removes what was written.
    void discard();

private:
    FILE *file_ = nullptr;
    std::string path_;
    std::string temp_;  // empty when writing the path itself
};

// Leaves temporary files in place when the process dies of a signal, for a
// watching parent that salvages or removes them (the default removes them).
void capture_keep_temps_on_crash();

// The temporary name an OutputFile of that process writes path under.
std::string capture_temp_name(const std::string &path, long pid);

// Writes 0x00RRGGBB pixels as an RGB PNG through an OutputFile.
bool capture_write_png(const std::string &path, const uint32_t *pixels, int width, int height,
                       std::string *error);
