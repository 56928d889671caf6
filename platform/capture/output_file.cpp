// Whole-or-nothing output files, and PNG pictures written through them.
#include "capture/output_file.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Temporary names still open, removed if the process dies on a signal. Fixed
// storage, so that the handler needs no allocation.
constexpr int kTempSlots = 8;
char temp_names[kTempSlots][4096];
volatile sig_atomic_t handlers_installed = 0;

// Removes every temporary file left, then dies of the same signal.
void remove_temps_and_die(int sig) {
    for (auto &name : temp_names)
        if (name[0]) unlink(name);
    signal(sig, SIG_DFL);
    raise(sig);
}

// Remembers a temporary name for the signal handler; false when full.
void remember_temp(const std::string &name) {
    if (!handlers_installed) {
        handlers_installed = 1;
        // Only where nobody else handles the signal (a sanitizer, the program).
        for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGINT, SIGTERM}) {
            struct sigaction old;
            if (sigaction(sig, nullptr, &old) == 0 && !(old.sa_flags & SA_SIGINFO) &&
                old.sa_handler == SIG_DFL)
                signal(sig, remove_temps_and_die);
        }
    }
    for (auto &slot : temp_names) {
        if (!slot[0] && name.size() < sizeof slot) {
            memcpy(slot, name.c_str(), name.size() + 1);
            return;
        }
    }
}

// Forgets a temporary name once renamed or removed.
void forget_temp(const std::string &name) {
    for (auto &slot : temp_names)
        if (slot[0] && name == slot) slot[0] = 0;
}

// "path: reason" for the last failed call.
std::string failure(const std::string &path, const char *what) {
    return path + ": " + what + ": " + strerror(errno ? errno : EIO);
}

}  // namespace

void capture_keep_temps_on_crash() {
    // A forked child inherits the parent's handlers and names: it keeps neither.
    if (handlers_installed)
        for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGINT, SIGTERM}) {
            struct sigaction old;
            if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == remove_temps_and_die)
                signal(sig, SIG_DFL);
        }
    handlers_installed = 1;
    for (auto &name : temp_names) name[0] = 0;
}

std::string capture_temp_name(const std::string &path, long pid) {
    return path + ".part-" + std::to_string(pid);
}

// Opens a temporary file beside the path, or the path itself for a device.
bool OutputFile::open(const std::string &path, std::string *error) {
    discard();
    path_ = path;
    struct stat st;
    bool special = stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
    if (special && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        *error = failure(path, "cannot write");
        return false;
    }
    if (special) {
        temp_.clear();
        file_ = fopen(path.c_str(), "wb");
    } else {
        temp_ = capture_temp_name(path, (long)getpid());
        file_ = fopen(temp_.c_str(), "wb");
        if (file_) remember_temp(temp_);
    }
    if (!file_) {
        *error = failure(path, "cannot write");
        temp_.clear();
        return false;
    }
    return true;
}

// Flushes, closes, checks and renames.
bool OutputFile::commit(std::string *error) {
    if (!file_) {
        *error = path_ + ": not open";
        return false;
    }
    bool ok = fflush(file_) == 0 && !ferror(file_);
    int saved = errno;
    ok = (fclose(file_) == 0) && ok;
    if (!ok && saved) errno = saved;
    file_ = nullptr;
    if (!ok) {
        *error = failure(path_, "write failed");
        if (!temp_.empty()) {
            unlink(temp_.c_str());
            forget_temp(temp_);
        }
        temp_.clear();
        return false;
    }
    if (!temp_.empty()) {
        if (rename(temp_.c_str(), path_.c_str()) != 0) {
            *error = failure(path_, "cannot rename into place");
            unlink(temp_.c_str());
            forget_temp(temp_);
            temp_.clear();
            return false;
        }
        forget_temp(temp_);
        temp_.clear();
    }
    return true;
}

// Closes and removes what was written so far.
void OutputFile::discard() {
    if (file_) fclose(file_);
    file_ = nullptr;
    if (!temp_.empty()) {
        unlink(temp_.c_str());
        forget_temp(temp_);
    }
    temp_.clear();
}

namespace {

// Writes the rows with libpng: fast compression (frames are many and mostly
// flat colour, which compresses well anyway). False when libpng gave up.
bool encode_png(FILE *file, const std::vector<unsigned char> &rgb, int width, int height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 1);
    png_set_filter(png, 0, PNG_FILTER_SUB);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<unsigned char *>(&rgb[(size_t)y * width * 3]));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

// Converts the pixels to RGB bytes and writes them as a PNG.
bool capture_write_png(const std::string &path, const uint32_t *pixels, int width, int height,
                       std::string *error) {
    if (width <= 0 || height <= 0) {
        *error = path + ": nothing to save";
        return false;
    }
    std::vector<unsigned char> rgb((size_t)width * height * 3);
    for (size_t i = 0; i < (size_t)width * height; ++i) {
        rgb[i * 3] = (pixels[i] >> 16) & 0xFF;
        rgb[i * 3 + 1] = (pixels[i] >> 8) & 0xFF;
        rgb[i * 3 + 2] = pixels[i] & 0xFF;
    }
    OutputFile out;
    if (!out.open(path, error)) return false;
    errno = 0;
    if (!encode_png(out.stream(), rgb, width, height)) {
        *error = failure(path, "write failed");
        return false;
    }
    return out.commit(error);
}
