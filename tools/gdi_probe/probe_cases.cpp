// The probe's corpus, drawing sequence and data-file format.
#include "probe_cases.h"

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <sstream>
#include <utility>

namespace probe {

namespace {

const char *const kFamilyNames[kFamilyCount] = {"rectangle", "ellipse", "polygon", "line"};

// A small deterministic generator (splitmix64), the same on every compiler.
struct Random {
    uint64_t state;
    // Next 64 random bits.
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform integer in lo..hi inclusive.
    int range(int lo, int hi) { return lo + (int)(next() % (uint64_t)(hi - lo + 1)); }
    // True with probability percent / 100.
    bool chance(int percent) { return range(0, 99) < percent; }
};

// A case with two points (a box or a line).
Case two_point_case(int family, int x1, int y1, int x2, int y2, int pen, bool solid) {
    Case c;
    c.family = family;
    c.pen_width = pen;
    c.solid_brush = solid;
    c.count = 2;
    c.points[0] = {x1, y1};
    c.points[1] = {x2, y2};
    return c;
}

// A triangle case.
Case triangle_case(POINT a, POINT b, POINT d, int pen, bool solid) {
    Case c;
    c.family = kPolygon;
    c.pen_width = pen;
    c.solid_brush = solid;
    c.count = 3;
    c.points[0] = a;
    c.points[1] = b;
    c.points[2] = d;
    return c;
}

// Names a case as one of the exact vectors.
Case named(const char *name, Case c) {
    c.name = name;
    return c;
}

// The vectors recorded in the platform facts, plus their close relatives.
void add_vectors(std::vector<Case> *out) {
    const int R = kRectangle, E = kEllipse, L = kLine;
    out->push_back(named("rect_outline_and_fill", two_point_case(R, 2, 3, 12, 9, 1, true)));
    out->push_back(named("rect_reversed_corners", two_point_case(R, 12, 9, 2, 3, 1, true)));
    out->push_back(named("rect_zero_width", two_point_case(R, 5, 5, 5, 12, 1, true)));
    out->push_back(named("rect_zero_height", two_point_case(R, 5, 5, 14, 5, 1, true)));
    out->push_back(named("rect_one_column", two_point_case(R, 5, 5, 6, 12, 1, true)));
    out->push_back(named("rect_one_by_one", two_point_case(R, 5, 5, 6, 6, 1, true)));
    out->push_back(named("rect_null_brush", two_point_case(R, 2, 3, 12, 9, 1, false)));
    out->push_back(named("rect_null_pen", two_point_case(R, 2, 3, 12, 9, kNullPen, true)));
    out->push_back(named("rect_pen_width_zero", two_point_case(R, 2, 3, 12, 9, 0, true)));
    out->push_back(named("rect_wide_pen_3", two_point_case(R, 4, 4, 14, 12, 3, false)));
    out->push_back(named("rect_wide_pen_3_filled", two_point_case(R, 4, 4, 14, 12, 3, true)));
    out->push_back(named("rect_wide_pen_4", two_point_case(R, 20, 4, 30, 12, 4, false)));
    out->push_back(named("ellipse_10x8", two_point_case(E, 0, 0, 10, 8, 1, true)));
    out->push_back(named("ellipse_reversed", two_point_case(E, 10, 8, 0, 0, 1, true)));
    out->push_back(named("ellipse_zero_width", two_point_case(E, 5, 5, 5, 12, 1, true)));
    out->push_back(named("ellipse_one_by_one", two_point_case(E, 5, 5, 6, 6, 1, true)));
    out->push_back(named("ellipse_one_column", two_point_case(E, 5, 5, 6, 12, 1, true)));
    out->push_back(named("ellipse_two_by_two", two_point_case(E, 5, 5, 7, 7, 1, true)));
    out->push_back(named("ellipse_two_columns", two_point_case(E, 5, 5, 7, 12, 1, true)));
    out->push_back(named("ellipse_two_rows", two_point_case(E, 5, 5, 15, 7, 1, true)));
    out->push_back(named("polygon_fill_only",
                         triangle_case({20, 2}, {38, 2}, {29, 12}, kNullPen, true)));
    out->push_back(named("polygon_outlined", triangle_case({20, 2}, {38, 2}, {29, 12}, 1, true)));
    out->push_back(named("polygon_collinear", triangle_case({2, 2}, {10, 6}, {6, 4}, 1, true)));
    out->push_back(named("polygon_all_equal", triangle_case({7, 7}, {7, 7}, {7, 7}, 1, true)));
    out->push_back(named("line_x_major_ties", two_point_case(L, 0, 0, 4, 2, 1, true)));
    out->push_back(named("line_x_major_ties_reversed", two_point_case(L, 4, 2, 0, 0, 1, true)));
    out->push_back(named("line_rising", two_point_case(L, 18, 2, 22, 0, 1, true)));
    out->push_back(named("line_y_major_ties", two_point_case(L, 0, 4, 2, 8, 1, true)));
    out->push_back(named("line_y_major_ties_reversed", two_point_case(L, 2, 8, 0, 4, 1, true)));
    out->push_back(named("line_leftwards", two_point_case(L, 30, 12, 20, 12, 1, true)));
    out->push_back(named("line_zero_length", two_point_case(L, 5, 5, 5, 5, 1, true)));
    out->push_back(named("line_wide_dot_4", two_point_case(L, 20, 20, 20, 20, 4, true)));
    out->push_back(named("line_wide_dot_5", two_point_case(L, 40, 20, 40, 20, 5, true)));
    out->push_back(named("line_wide_horizontal_4", two_point_case(L, 10, 30, 40, 30, 4, true)));
    out->push_back(named("line_wide_horizontal_5", two_point_case(L, 10, 42, 40, 42, 5, true)));
    out->push_back(named("line_wide_vertical_4", two_point_case(L, 55, 10, 55, 40, 4, true)));
}

// Pen and brush as the package picks them, with some other mixes.
void pick_style(Random *rnd, Case *c) {
    int style = rnd->range(0, 9);
    if (style <= 3) {  // filled shape: one-pixel pen and a solid brush
        c->pen_width = rnd->range(0, 1);
        c->solid_brush = true;
    } else if (style <= 7) {  // outline: a pen of some width, no fill
        c->pen_width = rnd->chance(40) ? 1 : rnd->range(2, 9);
        c->solid_brush = false;
    } else if (style == 8) {  // wide pen over a fill
        c->pen_width = rnd->range(2, 7);
        c->solid_brush = true;
    } else {  // fill only
        c->pen_width = kNullPen;
        c->solid_brush = true;
    }
}

// A box for Rectangle or Ellipse; small ones are much more likely for ellipses.
Case random_box(Random *rnd, int family) {
    int kind = rnd->range(0, 9);
    int w, h, x, y;
    if (kind <= 2) {  // degenerate or tiny: one side of 0, 1, 2 or 3 pixels
        w = rnd->range(0, 3);
        h = rnd->range(0, 14);
        if (rnd->chance(50)) std::swap(w, h);
        x = rnd->range(0, kCanvasWidth - 4);
        y = rnd->range(0, kCanvasHeight - 4);
    } else if (kind <= 6) {  // ordinary
        w = rnd->range(3, 34);
        h = rnd->range(3, 30);
        x = rnd->range(-3, kCanvasWidth - w + 3);
        y = rnd->range(-3, kCanvasHeight - h + 3);
    } else if (kind <= 8) {  // large, often past the edges
        w = rnd->range(30, 90);
        h = rnd->range(20, 80);
        x = rnd->range(-w / 2, kCanvasWidth - w / 2);
        y = rnd->range(-h / 2, kCanvasHeight - h / 2);
    } else {  // mostly off the bitmap
        w = rnd->range(3, 40);
        h = rnd->range(3, 40);
        x = rnd->chance(50) ? rnd->range(-w - 3, -w / 2) : rnd->range(kCanvasWidth - w / 2, kCanvasWidth + 3);
        y = rnd->range(-h, kCanvasHeight);
    }
    Case c = two_point_case(family, x, y, x + w, y + h, 1, true);
    if (rnd->chance(20)) std::swap(c.points[0].x, c.points[1].x);
    if (rnd->chance(20)) std::swap(c.points[0].y, c.points[1].y);
    pick_style(rnd, &c);
    return c;
}

// A point somewhere on or near the canvas.
POINT near_point(Random *rnd, int margin) {
    return {rnd->range(-margin, kCanvasWidth + margin), rnd->range(-margin, kCanvasHeight + margin)};
}

// A triangle: ordinary, collinear, thin, tiny, off the bitmap or repeated points.
Case random_triangle(Random *rnd) {
    int kind = rnd->range(0, 9);
    POINT a, b, d;
    if (kind <= 3) {
        a = near_point(rnd, 4);
        b = near_point(rnd, 4);
        d = near_point(rnd, 4);
    } else if (kind == 4) {  // collinear
        a = near_point(rnd, 0);
        int dx = rnd->range(-6, 6), dy = rnd->range(-6, 6);
        int k1 = rnd->range(-4, 4), k2 = rnd->range(-4, 4);
        b = {a.x + k1 * dx, a.y + k1 * dy};
        d = {a.x + k2 * dx, a.y + k2 * dy};
    } else if (kind == 5) {  // thin: the third point one pixel off the midpoint of the others
        a = near_point(rnd, 2);
        b = near_point(rnd, 2);
        d = {(a.x + b.x) / 2 + rnd->range(-1, 1), (a.y + b.y) / 2 + rnd->range(-1, 1)};
    } else if (kind == 6) {  // far past the edges
        a = near_point(rnd, 300);
        b = near_point(rnd, 300);
        d = near_point(rnd, 300);
    } else if (kind == 7) {  // one corner very far away, the rest near
        a = {rnd->range(-5000, 5000), rnd->range(-5000, 5000)};
        b = near_point(rnd, 4);
        d = near_point(rnd, 4);
    } else if (kind == 8) {  // tiny
        a = near_point(rnd, 0);
        b = {a.x + rnd->range(-3, 3), a.y + rnd->range(-3, 3)};
        d = {a.x + rnd->range(-3, 3), a.y + rnd->range(-3, 3)};
    } else {  // two or three equal points
        a = near_point(rnd, 0);
        b = rnd->chance(50) ? a : near_point(rnd, 0);
        d = a;
    }
    Case c = triangle_case(a, b, d, 1, true);
    pick_style(rnd, &c);
    return c;
}

// A line: any octant, exact half-pixel ties, zero length, wide.
Case random_line(Random *rnd) {
    int kind = rnd->range(0, 9);
    Case c;
    if (kind <= 3) {
        POINT a = near_point(rnd, 4);
        POINT b = rnd->chance(50) ? near_point(rnd, 4)
                                  : POINT{a.x + rnd->range(-9, 9), a.y + rnd->range(-9, 9)};
        c = two_point_case(kLine, a.x, a.y, b.x, b.y, rnd->range(0, 1), true);
    } else if (kind <= 5) {  // even major and odd minor length: a tie in the middle
        int major = 2 * rnd->range(1, 16);
        int minor = 2 * rnd->range(0, major / 2 - 1) + 1;
        int dx = rnd->chance(50) ? major : -major, dy = rnd->chance(50) ? minor : -minor;
        if (rnd->chance(50)) std::swap(dx, dy);
        POINT a = near_point(rnd, 0);
        c = two_point_case(kLine, a.x, a.y, a.x + dx, a.y + dy, rnd->range(0, 1), true);
    } else if (kind == 6) {  // zero length, thin or wide
        POINT a = near_point(rnd, 2);
        c = two_point_case(kLine, a.x, a.y, a.x, a.y, rnd->range(0, 9), true);
    } else {  // wide
        POINT a = near_point(rnd, 6);
        POINT b = near_point(rnd, 6);
        c = two_point_case(kLine, a.x, a.y, b.x, b.y, rnd->range(2, 10), true);
    }
    return c;
}

// A point far outside the canvas and its mirror image through a point on the
// canvas, so that what joins them crosses the bitmap.
void far_pair(Random *rnd, int reach, POINT *a, POINT *b) {
    POINT through = near_point(rnd, 0);
    *a = {rnd->range(-reach, reach), rnd->range(-reach, reach)};
    *b = {2 * through.x - a->x, 2 * through.y - a->y};
}

// A line from far outside the bitmap to far outside it, across the canvas.
Case far_line(Random *rnd) {
    POINT a, b;
    far_pair(rnd, rnd->chance(50) ? 400 : 40000, &a, &b);
    return two_point_case(kLine, a.x, a.y, b.x, b.y, rnd->chance(60) ? rnd->range(0, 1) : rnd->range(2, 9), true);
}

// An ellipse with a box of hundreds or thousands of pixels whose edge crosses the canvas.
Case far_ellipse(Random *rnd) {
    int w = rnd->chance(50) ? rnd->range(100, 900) : rnd->range(1000, 30000);
    int h = rnd->chance(50) ? rnd->range(100, 900) : rnd->range(1000, 30000);
    POINT on_edge = near_point(rnd, 0);
    int side = rnd->range(0, 3);  // which side of the box passes through on_edge
    int left = side == 0 ? on_edge.x : side == 1 ? on_edge.x - w : on_edge.x - w / 2;
    int top = side == 2 ? on_edge.y : side == 3 ? on_edge.y - h : on_edge.y - h / 2;
    Case c = two_point_case(kEllipse, left, top, left + w, top + h, 1, true);
    pick_style(rnd, &c);
    return c;
}

// Appends a formatted integer.
void append_int(std::string *s, long v) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%ld", v);
    *s += buffer;
}

}  // namespace

const char *family_name(int family) {
    return family >= 0 && family < kFamilyCount ? kFamilyNames[family] : "unknown";
}

std::vector<Case> make_corpus(uint64_t seed) {
    std::vector<Case> cases;
    add_vectors(&cases);
    Random rnd{seed};
    const int per_family = 260;
    for (int i = 0; i < per_family; i++) cases.push_back(random_box(&rnd, kRectangle));
    for (int i = 0; i < per_family; i++) cases.push_back(random_box(&rnd, kEllipse));
    for (int i = 0; i < per_family; i++) cases.push_back(random_triangle(&rnd));
    for (int i = 0; i < per_family; i++) cases.push_back(random_line(&rnd));
    // Shapes far larger than the bitmap: clipping must keep the exact pixels.
    Random far_rnd{seed + 1};
    for (int i = 0; i < 60; i++) cases.push_back(far_line(&far_rnd));
    for (int i = 0; i < 60; i++) cases.push_back(far_ellipse(&far_rnd));
    for (size_t i = 0; i < cases.size(); i++) cases[i].id = (int)i;
    return cases;
}

std::string describe_case(const Case &c) {
    static const char *const calls[kFamilyCount] = {"Rectangle", "Ellipse", "Polygon", "Line"};
    std::string s = "#";
    append_int(&s, c.id);
    s += " ";
    s += c.family >= 0 && c.family < kFamilyCount ? calls[c.family] : "?";
    s += "(";
    for (int i = 0; i < c.count; i++) {
        if (i) s += c.family == kPolygon ? " " : ",";
        if (c.family == kPolygon || c.family == kLine) s += "(";
        append_int(&s, c.points[i].x);
        s += ",";
        append_int(&s, c.points[i].y);
        if (c.family == kPolygon || c.family == kLine) s += ")";
    }
    s += ") pen ";
    if (c.pen_width == kNullPen) {
        s += "null";
    } else {
        append_int(&s, c.pen_width);
    }
    if (c.family != kLine) s += c.solid_brush ? " brush solid" : " brush null";
    if (!c.name.empty()) s += " [" + c.name + "]";
    return s;
}

bool canvas_open(Canvas *canvas) {
    HDC screen = GetDC(nullptr);
    canvas->dc = CreateCompatibleDC(screen);
    canvas->bitmap = CreateCompatibleBitmap(screen, kCanvasWidth, kCanvasHeight);
    ReleaseDC(nullptr, screen);
    if (!canvas->dc || !canvas->bitmap) return false;
    canvas->previous_bitmap = SelectObject(canvas->dc, canvas->bitmap);
    canvas->background = CreateSolidBrush(kBackground);
    return canvas->background != nullptr;
}

void canvas_close(Canvas *canvas) {
    if (canvas->dc && canvas->previous_bitmap) SelectObject(canvas->dc, canvas->previous_bitmap);
    if (canvas->bitmap) DeleteObject(canvas->bitmap);
    if (canvas->background) DeleteObject(canvas->background);
    if (canvas->dc) DeleteDC(canvas->dc);
    *canvas = Canvas();
}

void draw_case(HDC dc, const Case &c) {
    HPEN pen = c.pen_width == kNullPen ? (HPEN)GetStockObject(NULL_PEN)
                                       : CreatePen(PS_SOLID, c.pen_width, kPenColor);
    HGDIOBJ previous_pen = SelectObject(dc, pen);
    if (c.family == kLine) {
        MoveToEx(dc, c.points[0].x, c.points[0].y, nullptr);
        LineTo(dc, c.points[1].x, c.points[1].y);
        SelectObject(dc, previous_pen);
        DeleteObject(pen);
        return;
    }
    HBRUSH brush = c.solid_brush ? CreateSolidBrush(kBrushColor) : (HBRUSH)GetStockObject(NULL_BRUSH);
    HGDIOBJ previous_brush = SelectObject(dc, brush);
    const POINT *p = c.points;
    if (c.family == kRectangle) {
        Rectangle(dc, p[0].x, p[0].y, p[1].x, p[1].y);
    } else if (c.family == kEllipse) {
        Ellipse(dc, p[0].x, p[0].y, p[1].x, p[1].y);
    } else {
        Polygon(dc, p, c.count);
    }
    SelectObject(dc, previous_pen);
    SelectObject(dc, previous_brush);
    DeleteObject(pen);
    DeleteObject(brush);
}

void render_case(Canvas *canvas, const Case &c, Pixels *pixels) {
    RECT all = {0, 0, kCanvasWidth, kCanvasHeight};
    FillRect(canvas->dc, &all, canvas->background);
    draw_case(canvas->dc, c);
    pixels->assign((size_t)kCanvasWidth * kCanvasHeight, kBackground);
    for (int y = 0; y < kCanvasHeight; y++) {
        for (int x = 0; x < kCanvasWidth; x++) {
            (*pixels)[(size_t)y * kCanvasWidth + x] = GetPixel(canvas->dc, x, y);
        }
    }
}

bool within_reach(const Case &c, const Pixels &pixels) {
    long reach = c.pen_width > 1 ? c.pen_width / 2 + 2 : 1;
    long x0 = c.points[0].x, x1 = x0, y0 = c.points[0].y, y1 = y0;
    for (int i = 1; i < c.count; i++) {
        x0 = std::min(x0, (long)c.points[i].x);
        x1 = std::max(x1, (long)c.points[i].x);
        y0 = std::min(y0, (long)c.points[i].y);
        y1 = std::max(y1, (long)c.points[i].y);
    }
    for (int y = 0; y < kCanvasHeight; y++) {
        for (int x = 0; x < kCanvasWidth; x++) {
            if (pixels[(size_t)y * kCanvasWidth + x] == kBackground) continue;
            if (x < x0 - reach || x > x1 + reach || y < y0 - reach || y > y1 + reach) return false;
        }
    }
    return true;
}

// Line format:
//   <id> <family> <name or -> <pen width or null> <solid|null> <n> x y ... | @y x+len C ...
// where C is P (pen colour), B (brush colour) or #bbggrr (any other COLORREF).
std::string format_case(const Case &c, const Pixels &pixels) {
    std::string s;
    append_int(&s, c.id);
    s += " ";
    s += family_name(c.family);
    s += " ";
    s += c.name.empty() ? "-" : c.name;
    s += " ";
    if (c.pen_width == kNullPen) {
        s += "null";
    } else {
        append_int(&s, c.pen_width);
    }
    s += c.solid_brush ? " solid " : " null ";
    append_int(&s, c.count);
    for (int i = 0; i < c.count; i++) {
        s += " ";
        append_int(&s, c.points[i].x);
        s += " ";
        append_int(&s, c.points[i].y);
    }
    s += " |";
    for (int y = 0; y < kCanvasHeight; y++) {
        bool row_started = false;
        int x = 0;
        while (x < kCanvasWidth) {
            COLORREF color = pixels[(size_t)y * kCanvasWidth + x];
            int end = x + 1;
            while (end < kCanvasWidth && pixels[(size_t)y * kCanvasWidth + end] == color) end++;
            if (color != kBackground) {
                if (!row_started) {
                    s += " @";
                    append_int(&s, y);
                    row_started = true;
                }
                s += " ";
                append_int(&s, x);
                s += "+";
                append_int(&s, end - x);
                if (color == kPenColor) {
                    s += "P";
                } else if (color == kBrushColor) {
                    s += "B";
                } else {
                    char hex[16];
                    std::snprintf(hex, sizeof hex, "#%06lx", (unsigned long)color);
                    s += hex;
                }
            }
            x = end;
        }
    }
    return s;
}

bool parse_case(const std::string &line, Case *c, Pixels *pixels, bool *unstable, std::string *error) {
    *unstable = line.compare(0, 2, "~ ") == 0;
    std::istringstream in(*unstable ? line.substr(2) : line);
    std::string family, name, pen, brush;
    *c = Case();
    if (!(in >> c->id >> family >> name >> pen >> brush >> c->count)) {
        *error = "bad case header";
        return false;
    }
    c->family = -1;
    for (int f = 0; f < kFamilyCount; f++) {
        if (family == kFamilyNames[f]) c->family = f;
    }
    if (c->family < 0) {
        *error = "unknown family '" + family + "'";
        return false;
    }
    if (name != "-") c->name = name;
    c->pen_width = pen == "null" ? kNullPen : std::atoi(pen.c_str());
    c->solid_brush = brush == "solid";
    if (c->count < 2 || c->count > kMaxPoints) {
        *error = "bad point count";
        return false;
    }
    for (int i = 0; i < c->count; i++) {
        long x, y;
        if (!(in >> x >> y)) {
            *error = "missing point";
            return false;
        }
        c->points[i] = {(LONG)x, (LONG)y};
    }
    std::string token;
    if (!(in >> token) || token != "|") {
        *error = "missing '|'";
        return false;
    }
    pixels->assign((size_t)kCanvasWidth * kCanvasHeight, kBackground);
    int y = -1;
    while (in >> token) {
        if (token[0] == '@') {
            y = std::atoi(token.c_str() + 1);
            if (y < 0 || y >= kCanvasHeight) {
                *error = "row out of range: " + token;
                return false;
            }
            continue;
        }
        int x = 0, length = 0;
        char color_text[16] = {};
        if (y < 0 || std::sscanf(token.c_str(), "%d+%d%15s", &x, &length, color_text) != 3 ||
            x < 0 || length <= 0 || x + length > kCanvasWidth) {
            *error = "bad run '" + token + "'";
            return false;
        }
        COLORREF color;
        if (std::strcmp(color_text, "P") == 0) {
            color = kPenColor;
        } else if (std::strcmp(color_text, "B") == 0) {
            color = kBrushColor;
        } else if (color_text[0] == '#') {
            color = (COLORREF)std::strtoul(color_text + 1, nullptr, 16);
        } else {
            *error = "bad colour in '" + token + "'";
            return false;
        }
        for (int i = 0; i < length; i++) (*pixels)[(size_t)y * kCanvasWidth + x + i] = color;
    }
    return true;
}

}  // namespace probe
