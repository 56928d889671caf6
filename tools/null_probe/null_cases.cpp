// The cases of the NULL-handle probe (null_cases.h).
#include "null_cases.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace null_probe {
namespace {

const int kSize = 40;
const COLORREF kRed = RGB(255, 0, 0);

// Formats one result line.
std::string line(const char *name, const char *format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return std::string(name) + ": " + text;
}

// A white 40 x 40 memory bitmap in a fresh DC (default pen, brush and font).
struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    Canvas() {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, kSize, kSize);
        ReleaseDC(nullptr, screen);
        previous = SelectObject(dc, bitmap);
        RECT all = {0, 0, kSize, kSize};
        FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    }
    ~Canvas() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    // Pixels by colour: white, black, red, other.
    std::string census() const {
        int white = 0, black = 0, red = 0, other = 0;
        for (int y = 0; y < kSize; y++) {
            for (int x = 0; x < kSize; x++) {
                COLORREF c = GetPixel(dc, x, y) & 0xFFFFFF;
                if (c == RGB(255, 255, 255)) white++;
                else if (c == 0) black++;
                else if (c == kRed) red++;
                else other++;
            }
        }
        char text[96];
        snprintf(text, sizeof text, "white %d black %d red %d other %d", white, black, red, other);
        return text;
    }
};

// A pointer result as "NULL" or "handle".
const char *handle(const void *h) { return h ? "handle" : "NULL"; }

// A box drawn as the package draws one, with the pen, the brush or both missing.
std::string box_case(const char *name, bool pen_fails, bool brush_fails) {
    Canvas c;
    HPEN pen = pen_fails ? nullptr : CreatePen(PS_SOLID, 1, kRed);
    HBRUSH brush = brush_fails ? nullptr : CreateSolidBrush(kRed);
    HGDIOBJ previous_pen = SelectObject(c.dc, pen);
    HGDIOBJ previous_brush = SelectObject(c.dc, brush);
    BOOL drawn = Rectangle(c.dc, 5, 5, 35, 35);
    HGDIOBJ back_pen = SelectObject(c.dc, previous_pen);
    HGDIOBJ back_brush = SelectObject(c.dc, previous_brush);
    BOOL pen_deleted = DeleteObject(pen);
    BOOL brush_deleted = DeleteObject(brush);
    return line(name, "select %s %s, Rectangle %d, select back %s %s, delete %d %d, %s", handle(previous_pen),
                handle(previous_brush), drawn, handle(back_pen), handle(back_brush), pen_deleted, brush_deleted,
                c.census().c_str());
}

// A wide line drawn as the package draws one, its pen missing.
std::string line_case() {
    Canvas c;
    HGDIOBJ previous = SelectObject(c.dc, (HPEN) nullptr);
    MoveToEx(c.dc, 5, 20, nullptr);
    BOOL drawn = LineTo(c.dc, 35, 20);
    SelectObject(c.dc, previous);
    return line("wide line, pen NULL", "LineTo %d, %s", drawn, c.census().c_str());
}

// A text drawn as the package draws one, its font missing.
std::string text_case() {
    Canvas c;
    SetTextColor(c.dc, kRed);
    SetBkMode(c.dc, TRANSPARENT);
    HGDIOBJ previous = SelectObject(c.dc, (HFONT) nullptr);
    BOOL drawn = TextOutA(c.dc, 2, 2, "Hi", 2);
    SelectObject(c.dc, previous);
    return line("text, font NULL", "select %s, TextOutA %d, red drawn %s", handle(previous), drawn,
                c.census().find("red 0 ") == std::string::npos ? "yes" : "no");
}

}  // namespace

// Runs every case.
std::vector<std::string> run_cases() {
    std::vector<std::string> out;
    out.push_back(box_case("box, pen NULL", true, false));
    out.push_back(box_case("box, brush NULL", false, true));
    out.push_back(box_case("box, pen and brush NULL", true, true));
    out.push_back(line_case());
    out.push_back(text_case());

    Canvas c;
    RECT r = {0, 0, 10, 10};
    out.push_back(line("SelectObject(NULL, pen)", "%s", handle(SelectObject(nullptr, GetStockObject(BLACK_PEN)))));
    out.push_back(line("DeleteObject(NULL)", "%d", DeleteObject(nullptr)));
    out.push_back(line("DeleteDC(NULL)", "%d", DeleteDC(nullptr)));
    out.push_back(line("ReleaseDC(NULL, NULL)", "%d", ReleaseDC(nullptr, nullptr)));
    out.push_back(line("GetBkColor(NULL)", "%08lx", (unsigned long)GetBkColor(nullptr)));
    out.push_back(line("GetBkMode(NULL)", "%d", GetBkMode(nullptr)));
    out.push_back(line("SetBkMode(NULL)", "%d", SetBkMode(nullptr, TRANSPARENT)));
    out.push_back(line("SetTextColor(NULL)", "%08lx", (unsigned long)SetTextColor(nullptr, kRed)));
    HBITMAP bitmap = CreateCompatibleBitmap(nullptr, 10, 10);
    out.push_back(line("CreateCompatibleBitmap(NULL)", "%s", handle(bitmap)));
    DeleteObject(bitmap);
    HDC memory = CreateCompatibleDC(nullptr);
    out.push_back(line("CreateCompatibleDC(NULL)", "%s", handle(memory)));
    DeleteDC(memory);
    out.push_back(line("BitBlt from NULL", "%d", BitBlt(c.dc, 0, 0, 10, 10, nullptr, 0, 0, SRCCOPY)));
    out.push_back(line("BitBlt to NULL", "%d", BitBlt(nullptr, 0, 0, 10, 10, c.dc, 0, 0, SRCCOPY)));
    {
        Canvas black;  // a black canvas in a DC whose brush is the default white one
        RECT all = {0, 0, kSize, kSize};
        FillRect(black.dc, &all, (HBRUSH)GetStockObject(BLACK_BRUSH));
        int result = FillRect(black.dc, &r, nullptr);
        out.push_back(line("FillRect with brush NULL", "%d, %s", result, black.census().c_str()));
    }
    out.push_back(line("FillRect on NULL", "%d", FillRect(nullptr, &r, (HBRUSH)GetStockObject(BLACK_BRUSH))));
    out.push_back(line("Rectangle(NULL)", "%d", Rectangle(nullptr, 0, 0, 5, 5)));
    out.push_back(line("Ellipse(NULL)", "%d", Ellipse(nullptr, 0, 0, 5, 5)));
    POINT points[3] = {{0, 0}, {5, 0}, {0, 5}};
    out.push_back(line("Polygon(NULL)", "%d", Polygon(nullptr, points, 3)));
    out.push_back(line("MoveToEx(NULL)", "%d", MoveToEx(nullptr, 1, 1, nullptr)));
    out.push_back(line("LineTo(NULL)", "%d", LineTo(nullptr, 5, 5)));
    out.push_back(line("SetPixel(NULL)", "%08lx", (unsigned long)SetPixel(nullptr, 1, 1, kRed)));
    out.push_back(line("TextOutA(NULL)", "%d", TextOutA(nullptr, 0, 0, "a", 1)));
    SIZE extent = {7, 7};
    out.push_back(line("GetTextExtentPointA(NULL)", "%d, size %ld x %ld", GetTextExtentPointA(nullptr, "ab", 2, &extent),
                       (long)extent.cx, (long)extent.cy));
    TEXTMETRICA metrics = {};
    metrics.tmHeight = 7;
    out.push_back(line("GetTextMetricsA(NULL)", "%d, height %ld", GetTextMetricsA(nullptr, &metrics),
                       (long)metrics.tmHeight));
    out.push_back(line("ScrollDC(NULL)", "%d", ScrollDC(nullptr, 0, 1, &r, &r, nullptr, nullptr)));
    out.push_back(line("GlobalLock(NULL)", "%s", handle(GlobalLock(nullptr))));
    out.push_back(line("GlobalUnlock(NULL)", "%d", GlobalUnlock(nullptr)));
    out.push_back(line("GlobalFree(NULL)", "%s", handle(GlobalFree(nullptr))));
    return out;
}

}  // namespace null_probe
