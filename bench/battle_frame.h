// The battle game's frame drawn with plain Win32 GDI calls, as the package
// draws it: the scene, both fighters and the action panel (about 95
// primitives), each with its own create / select / draw / select back /
// delete sequence. Shared by the GDI benchmark and the frame timer, which
// also builds for Windows to time the same frame on real GDI.
#pragma once

#include <windows.h>

#include <cstring>

namespace battle {

const int kWidth = 601, kHeight = 540;
const int kOriginX = 297, kOriginY = 238;  // centre of the 595 x 476 client area

// The palette entries the scene uses.
const COLORREF kBlack = RGB(0, 0, 0), kRed = RGB(255, 0, 0), kYellow = RGB(255, 255, 0);
const COLORREF kDustyPlum = RGB(0x99, 0x66, 0x99), kTurquoise = RGB(0x99, 0xFF, 0xCC);
const COLORREF kOrange = RGB(0xFF, 0x66, 0x00), kBrown = RGB(0x99, 0x66, 0x33);
const COLORREF kChalk = RGB(0xFF, 0xFF, 0x99), kGold = RGB(0xCC, 0x99, 0x33);
const COLORREF kForest = RGB(0x00, 0x66, 0x33), kSeaGreen = RGB(0x33, 0xCC, 0x99);
const COLORREF kOlive = RGB(0x99, 0x99, 0x33), kGray50 = RGB(0x80, 0x80, 0x80);
const COLORREF kGray20 = RGB(0xCC, 0xCC, 0xCC);

// Pen and brush for one command, as the package's executor makes them.
struct Paint {
    HDC dc;
    HPEN pen;
    HGDIOBJ brush, old_pen, old_brush;
    Paint(HDC d, COLORREF c, int width) : dc(d) {
        pen = CreatePen(PS_SOLID, width, c);
        old_pen = SelectObject(dc, pen);
        brush = width == 0 ? (HGDIOBJ)CreateSolidBrush(c) : GetStockObject(NULL_BRUSH);
        old_brush = SelectObject(dc, brush);
    }
    ~Paint() {
        SelectObject(dc, old_pen);
        SelectObject(dc, old_brush);
        DeleteObject(pen);
        DeleteObject(brush);
    }
};

// Package coordinates to pixels.
inline int px(int x) { return kOriginX + x; }
inline int py(int y) { return kOriginY - y; }

inline void rect(HDC dc, COLORREF c, int x1, int y1, int x2, int y2, int width) {
    Paint p(dc, c, width);
    Rectangle(dc, px(x1), py(y1), px(x2) + 1, py(y2) + 1);
}
inline void oval(HDC dc, COLORREF c, int x1, int y1, int x2, int y2, int width) {
    Paint p(dc, c, width);
    Ellipse(dc, px(x1), py(y1), px(x2) + 1, py(y2) + 1);
}
inline void circle(HDC dc, COLORREF c, int x, int y, int r) { oval(dc, c, x - r, y + r, x + r, y - r, 0); }
inline void triangle(HDC dc, COLORREF c, int x1, int y1, int x2, int y2, int x3, int y3, int width) {
    Paint p(dc, c, width);
    POINT pts[3] = {{px(x1), py(y1)}, {px(x2), py(y2)}, {px(x3), py(y3)}};
    Polygon(dc, pts, 3);
}
inline void line(HDC dc, COLORREF c, int x1, int y1, int x2, int y2, int width) {
    HPEN pen = CreatePen(PS_SOLID, width, c);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, px(x1), py(y1), nullptr);
    LineTo(dc, px(x2), py(y2));
    SelectObject(dc, old);
    DeleteObject(pen);
}
// The package's text command: colour, transparent mode, a font, the locked text.
inline void text(HDC dc, COLORREF c, int x, int y, int size, const char *s) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, strlen(s) + 1);
    memcpy(GlobalLock(block), s, strlen(s) + 1);
    GlobalUnlock(block);
    SetTextColor(dc, c);
    int mode = GetBkMode(dc);
    SetBkMode(dc, TRANSPARENT);
    HFONT font = CreateFontA(-size, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "KAPLO-font");
    HGDIOBJ old = SelectObject(dc, font);
    const char *t = static_cast<const char *>(GlobalLock(block));
    SIZE extent;
    GetTextExtentPointA(dc, t, (int)strlen(t), &extent);
    TextOutA(dc, px(x), py(y) - extent.cy, t, (int)strlen(t));
    GlobalUnlock(block);
    SetBkMode(dc, mode);
    SelectObject(dc, old);
    DeleteObject(font);
    GlobalFree(block);
}

inline void right_fighter(HDC dc, int x, int y) {
    rect(dc, kGray50, x - 25, y - 35, x + 25, y + 35, 0);
    rect(dc, kGray50, x, y + 18, x - 40, y + 2, 0);
    rect(dc, kGray50, x - 10, y - 35, x + 10, y - 85, 0);
    rect(dc, kGray50, x - 12, y + 35, x + 12, y + 63, 0);
    rect(dc, kForest, x + 2, y + 55, x - 12, y + 50, 0);
    circle(dc, kGray20, x - 45, y + 10, 10);
    oval(dc, kGray20, x - 24, y - 95, x + 16, y - 80, 0);
    rect(dc, kGray20, x + 15, y + 30, x + 40, y - 14, 0);
    line(dc, kGray20, x + 30, y, x + 32, y - 20, 8);
}

inline void left_fighter(HDC dc, int x, int y) {
    triangle(dc, kOlive, x + 13, y + 67, x + 13, y + 10, x - 17, y + 54, 0);
    rect(dc, kOlive, x - 25, y - 35, x + 25, y + 35, 0);
    circle(dc, kGold, x + 20, y, 10);
    rect(dc, kOlive, x - 10, y - 35, x + 10, y - 85, 0);
    rect(dc, kRed, x - 2, y + 54, x + 13, y + 50, 0);
    oval(dc, kGold, x + 24, y - 80, x - 16, y - 95, 0);
    rect(dc, kBlack, x + 20, y + 8, x + 55, y - 8, 0);
    rect(dc, kBlack, x + 55, y + 5, x + 75, y - 5, 0);
    rect(dc, kGold, x - 15, y + 30, x - 40, y - 14, 0);
    line(dc, kGold, x - 30, y, x - 32, y - 20, 8);
}

// The campfire: 30 small triangles, each filled and outlined in one colour.
inline void campfire(HDC dc) {
    static const int base_x[8] = {78, 87, 94, 103, 110, 116, 125, 132};
    static const int base_y[8] = {74, 67, 77, 75, 69, 72, 70, 73};
    for (int i = 0; i < 7; i++) {
        int a = 95 + 5 * i;
        triangle(dc, kOrange, a - 5, 40 - i % 5, a + 7, 40 - (i * 3) % 5, base_x[i] + 2, base_y[i] + 9 + i % 7, 0);
        triangle(dc, kYellow, a - 1, 39 - i % 6, a + 4, 39 - (i * 2) % 6, base_x[i] + 4, base_y[i] + 5 - i % 5, 0);
    }
    for (int i = 0; i < 8; i++) {
        int b = 88 + 5 * i;
        triangle(dc, kOrange, b, 30 - i % 8, b + 7, 30 - (i * 3) % 8, base_x[i], base_y[i], 0);
        triangle(dc, kYellow, b + 2, 29 - i % 9, b + 5, 29 - (i * 2) % 9, base_x[i], base_y[i] - 4 - i % 5, 0);
    }
}

// One frame of the main loop: scene, both fighters and the action panel.
inline void battle_frame(HDC dc, bool with_text) {
    static const int star_x[7] = {-250, -170, -60, 20, 110, 190, 270};
    static const int star_y[7] = {240, 170, 210, 160, 230, 190, 220};
    static const COLORREF star_c[7] = {kChalk, kYellow, kRed, kTurquoise, kGold, kOrange, kDustyPlum};
    rect(dc, kBlack, -300, -250, 300, 250, 0);
    line(dc, kChalk, -100, 227, -100, 203, 2);  // the flyer
    oval(dc, kTurquoise, -115, 221, -85, 209, 0);
    for (int i = 0; i < 7; i++) {
        int s = 1 + i % 4, c = (int)(0.87 * s), h = s / 2, x = star_x[i], y = star_y[i];
        triangle(dc, star_c[i], x, y + s, x + c, y - h, x - c, y - h, 0);
        triangle(dc, star_c[i], x, y - s, x - c, y + h, x + c, y + h, 0);
    }
    triangle(dc, kBrown, -300, -50, 300, -50, 75, 166, 0);
    triangle(dc, kDustyPlum, -375, -50, 100, -50, -225, 166, 0);
    triangle(dc, kForest, -100, -50, 300, -50, 300, 166, 0);
    rect(dc, kSeaGreen, -300, -250, 300, -50, 0);
    line(dc, kGray20, -115, 145, -105, -80, 10);
    line(dc, kGray20, -127, 145, -155, -65, 10);
    line(dc, kGray20, -103, 145, -80, -55, 10);
    line(dc, kGray20, -130, 85, -100, 85, 8);
    line(dc, kGray20, -110, 10, -140, 19, 8);
    line(dc, kGray20, -110, 10, -95, 20, 8);
    rect(dc, kGray20, -131, 145, -100, 165, 0);
    line(dc, kGray20, 110, -20, 40, -20, 10);
    line(dc, kGray20, 110, 2, 40, -8, 10);
    line(dc, kGray20, 110, -42, 40, -32, 10);
    rect(dc, kGray20, 40, -35, 20, -5, 0);
    oval(dc, kGray20, 82, -95, 138, 55, 0);
    line(dc, kGray20, 120, -20, 180, -20, 4);
    rect(dc, kSeaGreen, 80, -100, 140, -80, 0);
    campfire(dc);
    right_fighter(dc, 185, -110);
    left_fighter(dc, -185, -110);
    rect(dc, kBlack, -135, -145, -5, -207, 0);  // the action panel
    rect(dc, kSeaGreen, -125, -150, -15, -176, 1);
    rect(dc, kSeaGreen, -125, -176, -15, -202, 1);
    rect(dc, kSeaGreen, 15, -150, 125, -176, 1);
    rect(dc, kSeaGreen, 15, -176, 125, -202, 1);
    if (with_text) {
        text(dc, kSeaGreen, -116, -171, 12, "Laser Blast Attack");
        text(dc, kSeaGreen, -116, -197, 12, "Dual Subwoofers");
        text(dc, kSeaGreen, 24, -171, 12, "Morph into Energy");
        text(dc, kSeaGreen, 24, -197, 12, "Energy Shield");
    }
}

}  // namespace battle
