// The GDI probe's corpus: named vectors and seeded shapes, each drawn into a
// 32-bit memory DC with the package's create / select / draw / select back /
// delete sequence, and the text form in which their pixels are kept.
// Written against the Win32 subset only, so it builds for Windows unchanged.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace probe {

// Every case is drawn alone on a fresh canvas of this size.
constexpr int kCanvasWidth = 72;
constexpr int kCanvasHeight = 56;
constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr COLORREF kPenColor = RGB(200, 40, 40);
constexpr COLORREF kBrushColor = RGB(40, 40, 200);
constexpr uint64_t kDefaultSeed = 20261208;

enum Family { kRectangle, kEllipse, kPolygon, kLine, kFamilyCount };

// A pen width of kNullPen selects the stock null pen.
constexpr int kNullPen = -1;
constexpr int kMaxPoints = 4;

struct Case {
    int id = 0;
    int family = kRectangle;
    std::string name;  // non-empty for the named vectors, which must match exactly
    int pen_width = 1;
    bool solid_brush = true;  // false: the stock null brush
    int count = 0;            // points used: 2 for boxes and lines, 3 or more for polygons
    POINT points[kMaxPoints] = {};
};

// Pixels of one canvas as GetPixel reports them, row by row.
typedef std::vector<COLORREF> Pixels;

// The family's name in the data file ("rectangle", "ellipse", ...).
const char *family_name(int family);

// The named vectors followed by the seeded cases, numbered from 0.
std::vector<Case> make_corpus(uint64_t seed);

// One line describing the call, e.g. "Ellipse(0,0,10,8) pen 1 brush solid".
std::string describe_case(const Case &c);

// A 32-bit memory DC with a canvas-sized bitmap compatible with the screen.
struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous_bitmap = nullptr;
    HBRUSH background = nullptr;
};
bool canvas_open(Canvas *canvas);
void canvas_close(Canvas *canvas);

// Draws the case as the package draws its commands (objects created, selected,
// used, selected back and deleted).
void draw_case(HDC dc, const Case &c);

// Clears the canvas, draws the case and reads back every pixel.
void render_case(Canvas *canvas, const Case &c, Pixels *pixels);

// Whether every drawn pixel lies within the reach of the case's points (their
// bounding box grown by the pen). Real GDI under Wine has been seen to leave
// stray brush pixels far outside a shape; such cases are not kept as reference.
bool within_reach(const Case &c, const Pixels &pixels);

// The data file's line for a case: its parameters, then the runs of pixels
// that differ from the background.
std::string format_case(const Case &c, const Pixels &pixels);

// Reads such a line back; returns false with a reason on malformed input. A
// line may start with "~ ": real GDI did not draw that case the same way on
// every run (or drew out of reach), and *unstable is set.
bool parse_case(const std::string &line, Case *c, Pixels *pixels, bool *unstable, std::string *error);

}  // namespace probe
