// PNG reading through libpng's own reading calls, turned to 8-bit RGBA with
// the values as stored (no gamma correction: frames are compared as the
// program drew them); writing through the layer's own writer.
#include "picture.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "capture/output_file.h"

namespace grade {

namespace {

const png_uint_32 max_side = 16384;
const unsigned long long max_pixels = 32ull * 1024 * 1024;

// What one reading holds. libpng reports errors by longjmp, so the functions
// that call it hold nothing with a destructor: all is here.
struct PngReading {
    FILE *file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    char message[160] = "";

    ~PngReading() {
        if (png != nullptr) png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        if (file != nullptr) fclose(file);
    }
};

void on_error(png_structp png, png_const_charp message) {
    PngReading *r = (PngReading *)png_get_error_ptr(png);
    std::snprintf(r->message, sizeof r->message, "%s", message);
    png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

// Reads the header and asks for every kind of PNG as 8-bit pixels laid out
// in memory as a 0xAARRGGBB word each, so rows go straight into the picture.
bool read_header(PngReading *r, png_uint_32 *width, png_uint_32 *height) {
    if (setjmp(png_jmpbuf(r->png))) return false;
    png_init_io(r->png, r->file);
    png_set_sig_bytes(r->png, 8);
    png_set_user_limits(r->png, max_side, max_side);
    png_read_info(r->png, r->info);
    png_set_expand(r->png);  // palette and small greys to 8-bit RGB, a transparent colour to alpha
    png_set_scale_16(r->png);
    png_set_gray_to_rgb(r->png);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    png_set_bgr(r->png);
    png_set_add_alpha(r->png, 0xFF, PNG_FILLER_AFTER);  // bytes B G R A
#else
    png_set_add_alpha(r->png, 0xFF, PNG_FILLER_BEFORE);  // bytes A R G B
#endif
    png_set_interlace_handling(r->png);
    png_read_update_info(r->png, r->info);
    *width = png_get_image_width(r->png, r->info);
    *height = png_get_image_height(r->png, r->info);
    return true;
}

bool read_rows(PngReading *r, png_bytepp rows) {
    if (setjmp(png_jmpbuf(r->png))) return false;
    png_read_image(r->png, rows);
    return true;
}

// c laid over white by alpha a, in 8 bits, rounded.
inline uint32_t over_white(uint32_t c, uint32_t a) {
    return (c * a + 255 * (255 - a) + 127) / 255;
}

}  // namespace

bool read_png(const std::string &path, Picture *out, std::string *error) {
    PngReading r;
    unsigned char signature[8];
    r.file = std::fopen(path.c_str(), "rb");
    if (r.file == nullptr) {
        *error = path + ": cannot be read (" + std::strerror(errno) + ")";
        return false;
    }
    if (std::fread(signature, 1, 8, r.file) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        *error = path + ": not a PNG picture";
        return false;
    }
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, on_error, on_warning);
    if (r.png != nullptr) r.info = png_create_info_struct(r.png);
    if (r.info == nullptr) {
        *error = path + ": no memory to read it";
        return false;
    }
    png_uint_32 width = 0, height = 0;
    if (!read_header(&r, &width, &height)) {
        *error = path + ": the PNG picture cannot be read (" + r.message + ")";
        return false;
    }
    if ((unsigned long long)width * height > max_pixels) {
        *error = path + ": the picture is " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels, too large to compare";
        return false;
    }
    out->pixels.resize((size_t)width * height);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = (png_bytep)&out->pixels[(size_t)y * width];
    if (!read_rows(&r, rows.data())) {
        *error = path + ": the PNG picture is damaged (" + r.message + ")";
        out->pixels.clear();
        return false;
    }
    out->width = (int)width;
    out->height = (int)height;
    for (uint32_t &pixel : out->pixels) {
        uint32_t a = pixel >> 24;
        if (a == 255)
            pixel &= 0xFFFFFF;
        else
            pixel = over_white(pixel >> 16 & 0xFF, a) << 16 | over_white(pixel >> 8 & 0xFF, a) << 8 |
                    over_white(pixel & 0xFF, a);
    }
    return true;
}

bool write_png(const std::string &path, const Picture &p, std::string *error) {
    if ((size_t)p.width * p.height != p.pixels.size() || p.width <= 0) {
        *error = path + ": nothing to save";
        return false;
    }
    return capture_write_png(path, p.pixels.data(), p.width, p.height, error);
}

}  // namespace grade
