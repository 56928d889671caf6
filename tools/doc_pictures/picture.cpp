// Pictures of the back buffer as PNG files. A picture of at most 256 colours
// is written with a colour map, which keeps the files of the docs small.
#include "picture.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "package.h"

namespace {

// The back buffer's pixel as 0x00RRGGBB.
unsigned pixel_at(int x, int y) {
    COLORREF c = GetPixel(package_state.back_buffer_dc, x, y);
    return (unsigned)GetRValue(c) << 16 | (unsigned)GetGValue(c) << 8 | GetBValue(c);
}

// Writes RGB pixels, through a colour map when there are few colours.
int write_png(const char *path, const std::vector<unsigned> &pixels, int width, int height) {
    std::map<unsigned, int> colors;
    for (unsigned p : pixels) {
        if (colors.size() > 256) break;
        colors.emplace(p, 0);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)width;
    image.height = (png_uint_32)height;
    int ok;
    if (colors.size() <= 256) {
        std::vector<unsigned char> map;
        int index = 0;
        for (auto &entry : colors) {
            entry.second = index++;
            map.push_back((unsigned char)(entry.first >> 16));
            map.push_back((unsigned char)(entry.first >> 8));
            map.push_back((unsigned char)entry.first);
        }
        std::vector<unsigned char> indices(pixels.size());
        for (size_t i = 0; i < pixels.size(); i++) indices[i] = (unsigned char)colors[pixels[i]];
        image.format = PNG_FORMAT_RGB_COLORMAP;
        image.colormap_entries = (png_uint_32)colors.size();
        ok = png_image_write_to_file(&image, path, 0, indices.data(), width, map.data());
    } else {
        std::vector<unsigned char> rgb(pixels.size() * 3);
        for (size_t i = 0; i < pixels.size(); i++) {
            rgb[i * 3] = (unsigned char)(pixels[i] >> 16);
            rgb[i * 3 + 1] = (unsigned char)(pixels[i] >> 8);
            rgb[i * 3 + 2] = (unsigned char)pixels[i];
        }
        image.format = PNG_FORMAT_RGB;
        ok = png_image_write_to_file(&image, path, 0, rgb.data(), width * 3, nullptr);
    }
    if (!ok) fprintf(stderr, "cannot write %s: %s\n", path, image.message);
    png_image_free(&image);
    return ok ? 1 : 0;
}

}  // namespace

// Writes a rectangle of the back buffer as a PNG.
int save_back_buffer(const char *path, int left, int top, int width, int height, int zoom) {
    if (zoom < 1) zoom = 1;
    int w = width * zoom, h = height * zoom;
    std::vector<unsigned> pixels((size_t)w * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) pixels[(size_t)y * w + x] = pixel_at(left + x / zoom, top + y / zoom);
    return write_png(path, pixels, w, h);
}

// Writes the part of the back buffer between two package points as a PNG.
int save_package_area(const char *path, int x1, int y1, int x2, int y2, int zoom) {
    int left = package_state.origin_x + (x1 < x2 ? x1 : x2);
    int top = package_state.origin_y - (y1 > y2 ? y1 : y2);
    int width = (x1 < x2 ? x2 - x1 : x1 - x2) + 1;
    int height = (y1 < y2 ? y2 - y1 : y1 - y2) + 1;
    return save_back_buffer(path, left, top, width, height, zoom);
}

// The drawing window's client rectangle (the back buffer shows from its top-left corner).
static RECT client_rect(void) {
    RECT client = {0, 0, 0, 0};
    GetClientRect(package_state.drawing_window, &client);
    return client;
}

// Writes the client area of the drawing window as a PNG.
int save_client_area(const char *path) {
    RECT client = client_rect();
    return save_back_buffer(path, 0, 0, client.right, client.bottom);
}

// Whether the client area inside the wipe's frame holds a single colour.
bool client_area_blank(void) {
    RECT client = client_rect();
    unsigned first = pixel_at(1, 1);
    for (int y = 1; y < client.bottom; y++)
        for (int x = 1; x < client.right; x++)
            if (pixel_at(x, y) != first) return false;
    return true;
}

// Compares the client area with a PNG pixel for pixel; with
// KAPLO_UPDATE_GOLDEN=1 in the environment writes it there instead.
int client_area_matches(const char *path) {
    RECT client = client_rect();
    const int width = client.right, height = client.bottom;
    const char *update = getenv("KAPLO_UPDATE_GOLDEN");
    if (update && strcmp(update, "1") == 0) return save_back_buffer(path, 0, 0, width, height);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<unsigned char> rgb;
    bool read = png_image_begin_read_from_file(&image, path) != 0;
    if (read) {
        image.format = PNG_FORMAT_RGB;
        rgb.resize(PNG_IMAGE_SIZE(image));
        read = png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
    }
    png_image_free(&image);
    if (!read || (int)image.width != width || (int)image.height != height) {
        fprintf(stderr, "no picture of %d x %d in %s (KAPLO_UPDATE_GOLDEN=1 makes it)\n", width, height, path);
        return 0;
    }
    long differ = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const unsigned char *p = &rgb[((size_t)y * width + x) * 3];
            differ += pixel_at(x, y) != ((unsigned)p[0] << 16 | (unsigned)p[1] << 8 | p[2]);
        }
    if (differ > 0) fprintf(stderr, "%ld pixels differ from %s\n", differ, path);
    return differ == 0 ? 1 : 0;
}
