// The GIF writer: each frame is cut to the rectangle that changed since the
// frame before, pixels that stay as they were become transparent, and the
// rest get a colour table of their own (exact up to 255 colours, else the
// 255 most frequent with the others mapped to the nearest of those).
#include "capture/gif_writer.h"

#include <gif_lib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>

namespace {

constexpr int kTransparent = 255;  // colour index of "unchanged"

// Centisecond a millisecond falls in, rounded to the nearest.
int64_t to_cs(uint64_t ms) { return (int64_t)((ms + 5) / 10); }

// giflib's writer callback: appends to our stdio stream.
int write_bytes(GifFileType *gif, const GifByteType *bytes, int length) {
    FILE *f = static_cast<FILE *>(gif->UserData);
    return (int)fwrite(bytes, 1, (size_t)length, f);
}

// Squared distance between two colours.
int distance(uint32_t a, uint32_t b) {
    int dr = (int)((a >> 16) & 0xFF) - (int)((b >> 16) & 0xFF);
    int dg = (int)((a >> 8) & 0xFF) - (int)((b >> 8) & 0xFF);
    int db = (int)(a & 0xFF) - (int)(b & 0xFF);
    return dr * dr * 3 + dg * dg * 4 + db * db * 2;
}

// The colours of the changed pixels and each pixel's index into them.
struct Palette {
    std::vector<uint32_t> colors;
    std::unordered_map<uint32_t, int> index;

    // Builds the table from the colours in use, most frequent first.
    void build(const std::unordered_map<uint32_t, long> &counts) {
        std::vector<std::pair<uint32_t, long>> byuse(counts.begin(), counts.end());
        std::sort(byuse.begin(), byuse.end(), [](const auto &a, const auto &b) {
            return a.second != b.second ? a.second > b.second : a.first < b.first;
        });
        for (size_t i = 0; i < byuse.size() && i < kTransparent; ++i) {
            index[byuse[i].first] = (int)i;
            colors.push_back(byuse[i].first);
        }
    }

    // The index of a colour, the nearest one for colours left out.
    int of(uint32_t c) {
        auto it = index.find(c);
        if (it != index.end()) return it->second;
        int best = 0, best_d = INT32_MAX;
        for (size_t i = 0; i < colors.size(); ++i) {
            int d = distance(c, colors[i]);
            if (d < best_d) best_d = d, best = (int)i;
        }
        index[c] = best;
        return best;
    }
};

}  // namespace

// Opens the file and writes the screen description and the endless loop.
bool GifWriter::open(const std::string &path, int width, int height, std::string *error) {
    abandon();
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) {
        *error = path + ": no picture to record";
        return false;
    }
    if (!out_.open(path, error)) return false;
    int code = 0;
    GifFileType *gif = EGifOpen(out_.stream(), write_bytes, &code);
    if (!gif) {
        *error = path + ": " + GifErrorString(code);
        out_.discard();
        return false;
    }
    gif_ = gif;
    width_ = width;
    height_ = height;
    EGifSetGifVersion(gif, true);
    static const unsigned char loop[3] = {1, 0, 0};
    if (EGifPutScreenDesc(gif, width, height, 8, 0, nullptr) == GIF_ERROR ||
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_ERROR ||
        EGifPutExtensionBlock(gif, 3, loop) == GIF_ERROR || EGifPutExtensionTrailer(gif) == GIF_ERROR) {
        *error = path + ": cannot write the GIF header";
        abandon();
        return false;
    }
    shown_.assign((size_t)width * height, 0xFFFFFFFFu);  // nothing shown yet: all differs
    has_pending_ = false;
    written_ = 0;
    return true;
}

// Keeps the newest frame of each centisecond; writes the one before once its
// length is known.
bool GifWriter::add_frame(const uint32_t *pixels, uint64_t time_ms, std::string *error) {
    if (!gif_) return false;
    size_t n = (size_t)width_ * height_;
    if (!has_pending_) {
        start_ms_ = time_ms;
        pending_cs_ = 0;
        pending_.assign(pixels, pixels + n);
        has_pending_ = true;
        return true;
    }
    int64_t cs = to_cs(time_ms - start_ms_);
    if (cs > pending_cs_ && memcmp(pixels, pending_.data(), n * 4) != 0) {
        if (!write_pending((int)std::min<int64_t>(cs - pending_cs_, 65535), error)) return false;
        pending_cs_ = cs;
    }
    pending_.assign(pixels, pixels + n);
    return true;
}

// Writes the pending frame with the given delay: the changed rectangle, with
// its unchanged pixels transparent.
bool GifWriter::write_pending(int delay_cs, std::string *error) {
    GifFileType *gif = static_cast<GifFileType *>(gif_);
    int left = width_, top = height_, right = -1, bottom = -1;
    for (int y = 0; y < height_; ++y) {
        const uint32_t *p = &pending_[(size_t)y * width_], *s = &shown_[(size_t)y * width_];
        if (memcmp(p, s, (size_t)width_ * 4) == 0) continue;
        int x0 = 0, x1 = width_ - 1;
        while (p[x0] == s[x0]) ++x0;
        while (p[x1] == s[x1]) --x1;
        left = std::min(left, x0), right = std::max(right, x1);
        top = std::min(top, y), bottom = y;
    }
    if (right < 0) left = top = right = bottom = 0;  // nothing changed: one transparent pixel
    int w = right - left + 1, h = bottom - top + 1;

    std::unordered_map<uint32_t, long> counts;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            size_t i = (size_t)y * width_ + x;
            if (pending_[i] != shown_[i]) counts[pending_[i]]++;
        }
    Palette palette;
    palette.build(counts);
    indices_.resize((size_t)w * h);
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            size_t i = (size_t)y * width_ + x;
            uint8_t &out = indices_[(size_t)(y - top) * w + (x - left)];
            if (pending_[i] == shown_[i]) {
                out = kTransparent;
            } else {
                out = (uint8_t)palette.of(pending_[i]);
            }
        }
    // The viewer now shows the table's colours (a nearby one for colours left
    // out, which the next frame repaints where it differs).
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            size_t i = (size_t)y * width_ + x;
            uint8_t idx = indices_[(size_t)(y - top) * w + (x - left)];
            if (idx != kTransparent) shown_[i] = palette.colors[idx];
        }

    GifColorType colors[256] = {};
    for (size_t i = 0; i < palette.colors.size(); ++i) {
        colors[i].Red = (palette.colors[i] >> 16) & 0xFF;
        colors[i].Green = (palette.colors[i] >> 8) & 0xFF;
        colors[i].Blue = palette.colors[i] & 0xFF;
    }
    ColorMapObject *map = GifMakeMapObject(256, colors);
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSE_DO_NOT;
    gcb.DelayTime = delay_cs;
    gcb.TransparentColor = kTransparent;
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    bool ok = map && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) != GIF_ERROR &&
              EGifPutImageDesc(gif, left, top, w, h, false, map) != GIF_ERROR;
    for (int y = 0; ok && y < h; ++y) ok = EGifPutLine(gif, &indices_[(size_t)y * w], w) != GIF_ERROR;
    GifFreeMapObject(map);
    if (ok && ferror(out_.stream())) ok = false;
    if (!ok) {
        if (!errno) errno = EIO;
        *error = out_.path() + ": write failed: " + strerror(errno);
        abandon();
        return false;
    }
    ++written_;
    return true;
}

// Writes the last frame, then the trailer, and renames the file into place.
bool GifWriter::finish(uint64_t end_ms, std::string *error, const std::string &comment) {
    if (!gif_) {
        *error = out_.path() + ": not open";
        return false;
    }
    if (has_pending_) {
        int64_t end_cs = to_cs(end_ms - start_ms_);
        int delay = (int)std::clamp<int64_t>(end_cs - pending_cs_, 1, 65535);
        if (!write_pending(delay, error)) return false;
    }
    int code = 0;
    GifFileType *gif = static_cast<GifFileType *>(gif_);
    if (!comment.empty() && EGifPutComment(gif, comment.c_str()) == GIF_ERROR) {
        *error = out_.path() + ": cannot write the GIF's comment";
        abandon();
        return false;
    }
    gif_ = nullptr;
    if (EGifCloseFile(gif, &code) == GIF_ERROR) {
        *error = out_.path() + ": " + GifErrorString(code);
        out_.discard();
        return false;
    }
    return out_.commit(error);
}

// Flushes the stream and tells how far it reaches.
long long GifWriter::flush_whole() {
    if (!gif_ || fflush(out_.stream()) != 0) return 0;
    long at = ftell(out_.stream());
    return at < 0 ? 0 : at;
}

// Closes the giflib handle and removes the unfinished file.
void GifWriter::abandon() {
    if (gif_) {
        int code = 0;
        EGifCloseFile(static_cast<GifFileType *>(gif_), &code);
        gif_ = nullptr;
    }
    out_.discard();
}
