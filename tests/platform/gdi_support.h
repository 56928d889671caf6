// Helpers for the GDI tests: a memory DC with a bitmap, drawing with a given
// pen and brush the way the package does (create / select / draw / select
// back / delete), pictures of the result as text, and PNG files.
#pragma once

#include <windows.h>

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace gditest {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kPen = RGB(255, 0, 0);
constexpr COLORREF kBrush = RGB(0, 0, 255);

// A memory DC with a width x height bitmap selected, cleared to white.
struct MemoryDc {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old_bitmap = nullptr;
    int width = 0, height = 0;

    MemoryDc(int w, int h) : width(w), height(h) {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, w, h);
        old_bitmap = SelectObject(dc, bitmap);
        clear(kWhite);
    }
    ~MemoryDc() {
        SelectObject(dc, old_bitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    MemoryDc(const MemoryDc &) = delete;
    MemoryDc &operator=(const MemoryDc &) = delete;

    // Fills the whole bitmap with one colour.
    void clear(COLORREF color) {
        RECT r = {0, 0, width, height};
        HBRUSH b = CreateSolidBrush(color);
        FillRect(dc, &r, b);
        DeleteObject(b);
    }

    // Pixels as text: '.' white, 'P' pen, 'B' brush, '?' anything else; one
    // line "yy <row>" per row that is not all white, as the Wine probe prints.
    std::string picture() const {
        std::string out;
        for (int y = 0; y < height; y++) {
            std::string row;
            bool any = false;
            for (int x = 0; x < width; x++) {
                COLORREF c = GetPixel(dc, x, y);
                char ch = c == kWhite ? '.' : c == kPen ? 'P' : c == kBrush ? 'B' : '?';
                any = any || ch != '.';
                row += ch;
            }
            if (!any) continue;
            char head[16];
            snprintf(head, sizeof head, "%2d ", y);
            out += head + row + "\n";
        }
        return out;
    }

    // Raw pixels, row by row, as COLORREF.
    std::vector<COLORREF> pixels() const {
        std::vector<COLORREF> p((size_t)width * height);
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) p[(size_t)y * width + x] = GetPixel(dc, x, y);
        return p;
    }
};

// Which shape a Draw call makes.
enum class Shape { Rectangle, Ellipse, Line, Polygon };

// Draws one shape with a pen (width, or -1 for the null pen) and a brush
// (or none) of the given colours, selecting and deleting them as the package
// does.
inline void draw(HDC dc, Shape shape, int pen_width, COLORREF pen_color, bool brush,
                 COLORREF brush_color, const std::vector<POINT> &p) {
    HPEN pen = pen_width < 0 ? CreatePen(PS_NULL, 0, 0) : CreatePen(PS_SOLID, pen_width, pen_color);
    HBRUSH solid = brush ? CreateSolidBrush(brush_color) : nullptr;
    HGDIOBJ old_pen = SelectObject(dc, pen);
    HGDIOBJ old_brush = SelectObject(dc, brush ? (HGDIOBJ)solid : GetStockObject(NULL_BRUSH));
    switch (shape) {
    case Shape::Rectangle: Rectangle(dc, p[0].x, p[0].y, p[1].x, p[1].y); break;
    case Shape::Ellipse: Ellipse(dc, p[0].x, p[0].y, p[1].x, p[1].y); break;
    case Shape::Line:
        MoveToEx(dc, p[0].x, p[0].y, nullptr);
        LineTo(dc, p[1].x, p[1].y);
        break;
    case Shape::Polygon: Polygon(dc, p.data(), (int)p.size()); break;
    }
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
    DeleteObject(pen);
    if (solid) DeleteObject(solid);
}

// The same in the test pen and brush colours.
inline void draw(HDC dc, Shape shape, int pen_width, bool brush, const std::vector<POINT> &p) {
    draw(dc, shape, pen_width, kPen, brush, kBrush, p);
}

// Writes 0x00BBGGRR pixels as an RGB PNG; false on failure.
inline bool write_png(const std::string &path, const std::vector<COLORREF> &pixels, int width, int height) {
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row((size_t)width * 3);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            COLORREF c = pixels[(size_t)y * width + x];
            row[(size_t)x * 3] = GetRValue(c);
            row[(size_t)x * 3 + 1] = GetGValue(c);
            row[(size_t)x * 3 + 2] = GetBValue(c);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    fclose(f);
    return true;
}

// Reads an RGB(A) PNG into COLORREF pixels; false when missing or unreadable.
inline bool read_png(const std::string &path, std::vector<COLORREF> *pixels, int *width, int *height) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> buffer(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) return false;
    *width = (int)image.width;
    *height = (int)image.height;
    pixels->resize((size_t)image.width * image.height);
    for (size_t i = 0; i < pixels->size(); i++)
        (*pixels)[i] = RGB(buffer[i * 3], buffer[i * 3 + 1], buffer[i * 3 + 2]);
    return true;
}

}  // namespace gditest
