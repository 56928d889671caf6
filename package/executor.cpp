// The draw command executor: renders one command into the back buffer.
#include <cstring>

#include "package.h"

#ifdef _WIN32
#include <vector>

#include "ansi_text.h"

// The text as UTF-16 (never more units than bytes).
static std::vector<WCHAR> wide_text(const char *text, int length) {
    std::vector<WCHAR> wide(length > 0 ? length : 1);
    wide.resize(ansi_text::to_utf16(text, length, wide.data()));
    return wide;
}

BOOL package_text_out(HDC dc, int x, int y, const char *text, int length) {
    if (ansi_text::all_ascii(text, length)) return TextOutA(dc, x, y, text, length);
    std::vector<WCHAR> wide = wide_text(text, length);
    return TextOutW(dc, x, y, wide.data(), (int)wide.size());
}

BOOL package_text_extent(HDC dc, const char *text, int length, SIZE *size) {
    if (ansi_text::all_ascii(text, length)) return GetTextExtentPointA(dc, text, length, size);
    std::vector<WCHAR> wide = wide_text(text, length);
    return GetTextExtentPoint32W(dc, wide.data(), (int)wide.size(), size);
}
#else
BOOL package_text_out(HDC dc, int x, int y, const char *text, int length) { return TextOutA(dc, x, y, text, length); }

BOOL package_text_extent(HDC dc, const char *text, int length, SIZE *size) {
    return GetTextExtentPointA(dc, text, length, size);
}
#endif

// Back-buffer column of a package x.
static int column_of(int x) {
    return clamp_to_int((long long)package_state.origin_x + x);
}

// Back-buffer row of a package y (rows grow downwards).
static int row_of(int y) {
    return clamp_to_int((long long)package_state.origin_y - y);
}

// The fill for a shape: a solid brush when width is 0, else the stock null brush.
static HBRUSH shape_brush(int width, COLORREF rgb) {
    if (width == 0) return CreateSolidBrush(rgb);
    return (HBRUSH)GetStockObject(NULL_BRUSH);
}

// Draws a triangle through the command's three vertices.
static void execute_triangle(HDC dc, const DrawCommand *command, COLORREF rgb) {
    HPEN pen = CreatePen(PS_SOLID, command->width, rgb);
    HGDIOBJ previous_pen = SelectObject(dc, pen);
    POINT points[3];
    points[0].x = column_of(command->x1);
    points[0].y = row_of(command->y1);
    points[1].x = column_of(command->x2);
    points[1].y = row_of((int)command->y2);
    points[2].x = column_of(command->x3);
    points[2].y = row_of(command->y3);
    HBRUSH brush = shape_brush(command->width, rgb);
    HGDIOBJ previous_brush = SelectObject(dc, brush);
    Polygon(dc, points, 3);
    SelectObject(dc, previous_pen);
    SelectObject(dc, previous_brush);
    DeleteObject(pen);
    DeleteObject(brush);
}

// Draws a rectangle or an oval on the command's inclusive box.
static void execute_box(HDC dc, const DrawCommand *command, COLORREF rgb) {
    HPEN pen = CreatePen(PS_SOLID, command->width, rgb);
    HBRUSH brush = shape_brush(command->width, rgb);
    HGDIOBJ previous_pen = SelectObject(dc, pen);
    HGDIOBJ previous_brush = SelectObject(dc, brush);
    int left = column_of(command->x1);
    int top = row_of(command->y1);
    int right = clamp_to_int((long long)package_state.origin_x + command->x2 + 1);
    int bottom = clamp_to_int((long long)package_state.origin_y - command->y2 + 1);
    if (command->kind == DRAW_RECTANGLE)
        Rectangle(dc, left, top, right, bottom);
    else
        Ellipse(dc, left, top, right, bottom);
    SelectObject(dc, previous_pen);
    SelectObject(dc, previous_brush);
    DeleteObject(pen);
    DeleteObject(brush);
}

// Draws a line from the start point up to, not including, the end point.
static void execute_line(HDC dc, const DrawCommand *command, COLORREF rgb) {
    HPEN pen = CreatePen(PS_SOLID, command->width, rgb);
    HGDIOBJ previous_pen = SelectObject(dc, pen);
    MoveToEx(dc, column_of(command->x1), row_of(command->y1), nullptr);
    LineTo(dc, column_of(command->x2), row_of((int)command->y2));
    SelectObject(dc, previous_pen);
    DeleteObject(pen);
}

// Draws the text held in the command's memory block, first line standing on the anchor.
static void execute_text(HDC dc, const DrawCommand *command, COLORREF rgb) {
    SetTextColor(dc, rgb);
    int previous_mode = GetBkMode(dc);
    SetBkMode(dc, TRANSPARENT);
    HFONT font = CreateFontA(-command->x2, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0,
                             "KAPLO-font");
    HGDIOBJ previous_font = SelectObject(dc, font);
    HGLOBAL block = (HGLOBAL)command->y2;
    const char *text = (const char *)GlobalLock(block);
    if (text != nullptr) {
        SIZE extent = {0, 0};
        package_text_extent(dc, text, (int)strlen(text), &extent);
        long long line_height = extent.cy;
        int column = column_of(command->x1);
        long long anchor_row = (long long)package_state.origin_y - command->y1;
        const char *line = text;
        for (long long i = -1;; i++) {
            const char *end = line;
            while (*end != '\0' && *end != '\n') end++;
            package_text_out(dc, column, clamp_to_int(anchor_row + i * line_height), line, (int)(end - line));
            if (*end == '\0') break;
            line = end + 1;
        }
        GlobalUnlock(block);
    }
    SetBkMode(dc, previous_mode);
    SelectObject(dc, previous_font);
    DeleteObject(font);
}

// Renders one command into the back buffer and marks the back buffer dirty.
void execute_command(const DrawCommand *command) {
    PackageState &state = package_state;
    HDC dc = state.back_buffer_dc;
    // Before KAPLO_begin there is no back buffer to draw on.
    if (dc != nullptr) {
        COLORREF rgb = color_value(command->color);
        switch (command->kind) {
        case DRAW_TRIANGLE:
            execute_triangle(dc, command, rgb);
            break;
        case DRAW_RECTANGLE:
        case DRAW_OVAL:
            execute_box(dc, command, rgb);
            break;
        case DRAW_LINE:
            execute_line(dc, command, rgb);
            break;
        case DRAW_PIXEL:
            SetPixel(dc, column_of(command->x1), row_of(command->y1), rgb);
            break;
        case DRAW_TEXT:
            execute_text(dc, command, rgb);
            break;
        default:
            break;
        }
    }
    state.back_buffer_dirty = 1;
}

// Fills the whole back buffer with the background colour inside a one-pixel frame of the current pen.
void wipe_back_buffer(void) {
    PackageState &state = package_state;
    HDC dc = state.back_buffer_dc;
    if (dc != nullptr) {
        HBRUSH brush = CreateSolidBrush(color_value(WHITE));
        HGDIOBJ previous_brush = SelectObject(dc, brush);
        Rectangle(dc, 0, 0, DRAW_WIDTH, DRAW_HEIGHT);
        SelectObject(dc, previous_brush);
        DeleteObject(brush);
    }
    state.back_buffer_dirty = 1;
}
