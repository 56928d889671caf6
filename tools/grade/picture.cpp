// PNG reading through libpng's simplified interface, which turns every colour
// type and bit depth into 8-bit RGBA; writing through the layer's own writer.
#include "picture.h"

#include <png.h>

#include <cstring>
#include <vector>

#include "capture/output_file.h"

namespace grade {

namespace {

const png_uint_32 max_side = 16384;
const unsigned long long max_pixels = 32ull * 1024 * 1024;

// a over white, in 8 bits, rounded.
inline uint32_t over_white(uint32_t c, uint32_t a) {
    return (c * a + 255 * (255 - a) + 127) / 255;
}

}  // namespace

bool read_png(const std::string &path, Picture *out, std::string *error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        *error = path + ": not a PNG picture that can be read (" + image.message + ")";
        return false;
    }
    if (image.width > max_side || image.height > max_side ||
        (unsigned long long)image.width * image.height > max_pixels) {
        *error = path + ": the picture is " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                 " pixels, too large to compare";
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        *error = path + ": the PNG picture is damaged (" + image.message + ")";
        png_image_free(&image);
        return false;
    }
    out->width = (int)image.width;
    out->height = (int)image.height;
    out->pixels.resize((size_t)image.width * image.height);
    const png_byte *s = rgba.data();
    for (uint32_t &pixel : out->pixels) {
        uint32_t a = s[3];
        if (a == 255)
            pixel = (uint32_t)s[0] << 16 | (uint32_t)s[1] << 8 | s[2];
        else
            pixel = over_white(s[0], a) << 16 | over_white(s[1], a) << 8 | over_white(s[2], a);
        s += 4;
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
