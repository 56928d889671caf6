// Pictures of the package's drawing operations for docs/api.md: each is drawn
// on the headless backend and a part of the back buffer is written as a PNG.
//   doc_operation_pictures DIR
#include <cstdio>
#include <string>

#include "kaplo.h"
#include "picture.h"
#include "platform_tools.h"

namespace {

std::string folder;
int failures = 0;

// Writes the area between two package points into folder/NAME.png.
void save(const char *name, int x1, int y1, int x2, int y2, int zoom = 1) {
    std::string path = folder + "/" + name + ".png";
    if (save_package_area(path.c_str(), x1, y1, x2, y2, zoom)) {
        printf("%s\n", path.c_str());
    } else {
        failures++;
    }
}

// A small dot at a point, with its coordinates written dx, dy away from it.
void mark(int x, int y, int dx, int dy) {
    KAPLO_circle(BLACK, x, y, 2);
    KAPLO_textf(BLACK, x + dx, y + dy, 10, "(%d,%d)", x, y);
}

// Marks the corners (-140, 45) and (-20, -40) of the left box of two pictures.
void mark_left_box() {
    mark(-140, 45, 0, 8);
    mark(-20, -40, -40, -18);
}

// The window's coordinates: axes, a point, and the corners.
void coordinates() {
    KAPLO_wipe();
    for (int x = -250; x <= 250; x += 50) KAPLO_line(GRAY_20, x, 238, x, -238, 1);
    for (int y = -200; y <= 200; y += 50) KAPLO_line(GRAY_20, -297, y, 297, y, 1);
    KAPLO_line(GRAY_50, -297, 0, 297, 0, 1);
    KAPLO_line(GRAY_50, 0, 238, 0, -238, 1);
    for (int v = -250; v <= 250; v += 50) {
        if (v == 0) continue;
        KAPLO_textf(GRAY_50, v + 2, 2, 9, "%d", v);
        if (v > -238 && v < 238) KAPLO_textf(GRAY_50, 3, v + 2, 9, "%d", v);
    }
    KAPLO_text(BLACK, 285, 4, 12, "x");
    KAPLO_text(BLACK, 5, 222, 12, "y");
    mark(0, 0, 4, -14);
    KAPLO_line(RED, 150, 0, 150, 100, 1);
    KAPLO_line(RED, 0, 100, 150, 100, 1);
    KAPLO_circle(RED, 150, 100, 4);
    KAPLO_text(RED, 156, 104, 12, "(150,100)");
    KAPLO_text(BLUE, -292, 222, 12, "(-297,238)");
    KAPLO_text(BLUE, 220, 222, 12, "(297,238)");
    KAPLO_text(BLUE, -292, -232, 12, "(-297,-237)");
    KAPLO_text(BLUE, 212, -232, 12, "(297,-237)");
    save("coordinates", -297, 238, 297, -237);
}

// Filled circles of two sizes, with their centres.
void circle() {
    KAPLO_wipe();
    KAPLO_circle(RED, -70, 5, 50);
    KAPLO_line(BLACK, -70, 5, -20, 5, 1);
    KAPLO_circle(BLACK, -70, 5, 2);
    KAPLO_text(BLACK, -128, -64, 11, "(-70,5), radius 50");
    KAPLO_circle(GOLD, 75, 5, 25);
    KAPLO_circle(BLACK, 75, 5, 2);
    KAPLO_text(BLACK, 22, -64, 11, "(75,5), radius 25");
    save("circle", -150, 75, 150, -75);
}

// A filled triangle with its corners, and an outlined one.
void triangle() {
    KAPLO_wipe();
    KAPLO_triangle(GREEN, -140, -45, -20, -45, -80, 50, 0);
    mark(-140, -45, -8, -16);
    mark(-20, -45, -30, -16);
    mark(-80, 50, 6, 6);
    KAPLO_triangle(BLUE, 20, -45, 140, -45, 80, 50, 3);
    KAPLO_text(BLACK, 58, -64, 11, "width 3");
    save("triangle", -150, 75, 150, -75);
}

// A filled rectangle with its corners, and outlines of two widths.
void rectangle() {
    KAPLO_wipe();
    KAPLO_rectangle(ORANGE, -140, 45, -20, -40, 0);
    mark_left_box();
    KAPLO_rectangle(NAVY_BLUE, 20, 45, 140, -40, 1);
    KAPLO_rectangle(PURPLE, 40, 25, 120, -20, 6);
    KAPLO_text(BLACK, 22, -58, 11, "widths 1 and 6");
    save("rectangle", -150, 75, 150, -75);
}

// Ovals in their boxes (drawn in grey): one filled, one outlined.
void oval() {
    KAPLO_wipe();
    KAPLO_rectangle(GRAY_20, -140, 45, -20, -40, 1);
    KAPLO_oval(CYAN, -140, 45, -20, -40, 0);
    mark_left_box();
    KAPLO_rectangle(GRAY_20, 20, 30, 140, -30, 1);
    KAPLO_oval(MAGENTA, 20, 30, 140, -30, 4);
    KAPLO_text(BLACK, 58, -58, 11, "width 4");
    save("oval", -150, 75, 150, -75);
}

// Lines of four widths, and a fan of lines from one point.
void line() {
    const int widths[] = {0, 3, 6, 10};
    KAPLO_wipe();
    for (int i = 0; i < 4; i++) {
        int y = 45 - i * 30;
        KAPLO_line(SEA_GREEN, -140, y, 0, y, widths[i]);
        KAPLO_textf(BLACK, 10, y - 4, 11, "width %d", widths[i]);
    }
    for (int x = 80; x <= 140; x += 15) KAPLO_line(BROWN, 110, -60, x, 50, 1);
    mark(110, -60, -20, -14);
    save("line", -150, 75, 150, -75);
}

// Texts of four sizes standing on their anchor points (red), and two lines.
void text() {
    const int sizes[] = {10, 16, 24, 36};
    const int anchors[] = {55, 33, 2, -48};
    KAPLO_wipe();
    for (int i = 0; i < 4; i++) {
        KAPLO_textf(BLACK, -140, anchors[i], sizes[i], "size %d", sizes[i]);
        KAPLO_circle(RED, -140, anchors[i], 2);
    }
    KAPLO_text(NAVY_BLUE, 30, 30, 16, "first line\nsecond line");
    KAPLO_circle(RED, 30, 30, 2);
    save("text", -150, 75, 150, -75);
}

// A formatted text: numbers put into words.
void textf() {
    KAPLO_wipe();
    KAPLO_textf(NAVY_BLUE, -140, 5, 20, "score %d, time %d:%02d", 1250, 3, 7);
    KAPLO_circle(RED, -140, 5, 2);
    save("textf", -150, 35, 150, -25);
}

// The top-left corner of the client area after a wipe, four times larger:
// the wipe leaves a black line along the edges of the back buffer.
void wipe() {
    KAPLO_circle(RED, -280, 220, 30);
    KAPLO_wipe();
    save("wipe", -297, 238, -258, 214, 4);
}

}  // namespace

// Draws every picture into the folder given.
int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    folder = argv[1];
    platform_use_headless();
    static char instance;
    char no_arguments[] = "";
    KAPLO_begin(reinterpret_cast<HINSTANCE>(&instance), nullptr, no_arguments, SW_SHOWNORMAL);
    KAPLO_set_logging(0);
    coordinates();
    circle();
    triangle();
    rectangle();
    oval();
    line();
    text();
    textf();
    wipe();
    KAPLO_end();
    return failures == 0 ? 0 : 1;
}
