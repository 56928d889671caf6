// Ellipses: the inscribed outline's rows (walked exactly, or in closed form
// for boxes too large to walk), filled regions, one-pixel outlines, and wide
// pens as a stroke of round caps or, very wide, a band between two ellipses.
// Scratch rows are kept between calls, so that they keep their storage.
#include "gdi/raster_internal.h"

namespace {

constexpr int64_t kWalkLimit = 65536;

// Walks one quadrant from the middle row(s) out to the top with an integer
// error term (the classic error-driven ellipse walk for a box of a x b),
// recording each row's first and last column. The walk stops at the middle
// column; rows it never reaches (the tips of very thin boxes) stay empty.
void walk_quadrant(EllipseRows &e) {
    const int64_t a = e.a, b = e.b, b1 = b & 1;
    e.lmin.assign(e.half + 1, -1);
    e.lmax.assign(e.half + 1, -1);
    int64_t dx = 4 * (1 - a) * b * b, dy = 4 * (b1 + 1) * a * a;
    int64_t err = dx + dy + b1 * a * a;
    const int64_t a8 = 8 * a * a, b8 = 8 * b * b;
    const int64_t last = a - (a + 1) / 2;  // the walk ends past the middle column
    int64_t x = 0, k = 0;
    while (x <= last) {
        if (k <= e.half) {
            if (e.lmin[k] < 0) e.lmin[k] = x;
            e.lmax[k] = x;
        }
        int64_t e2 = 2 * err;
        if (e2 >= dx) {
            x++;
            dx += b8;
            err += dx;
        }
        if (e2 <= dy) {
            k++;
            dy += a8;
            err += dy;
        }
    }
}

}  // namespace

// Prepares the rows of the ellipse in box [l, r) x [t, bottom) (at least 3 x 3).
void make_rows(EllipseRows &e, int64_t l, int64_t t, int64_t r, int64_t bottom) {
    e.left = l;
    e.top = t;
    e.a = r - l - 1;
    e.b = bottom - t - 1;
    e.half = e.b / 2;
    e.walked = (r - l) <= kWalkLimit && (bottom - t) <= kWalkLimit;
    if (e.walked) walk_quadrant(e);
}

namespace {

// The rows of the ellipse in box [l, r) x [t, b) (at least 3 x 3). The walk
// depends only on the box's size and the same few sizes recur frame after
// frame, so the last eight walked sizes are kept.
const EllipseRows &rows_for(int64_t l, int64_t t, int64_t r, int64_t b) {
    thread_local EllipseRows cache[8];
    thread_local int next = 0;
    for (EllipseRows &e : cache) {
        if (e.walked && e.a == r - l - 1 && e.b == b - t - 1) {
            e.left = l;
            e.top = t;
            return e;
        }
    }
    EllipseRows &e = cache[next];
    next = (next + 1) & 7;
    make_rows(e, l, t, r, b);
    return e;
}

}  // namespace

// Filled ellipse region (outline included) in one colour, or a box when a
// side is 2 or less.
void fill_ellipse_region(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, uint32_t color) {
    if (r <= l || b <= t) return;
    if (r - l <= 2 || b - t <= 2) {
        raster_fill_rect(c, l, t, r, b, color);
        return;
    }
    const EllipseRows &e = rows_for(l, t, r, b);
    int64_t from, to;
    visible_rows(c, t, b, &from, &to);
    if (from >= to) return;
    uint32_t *row = canvas_row(c, from);
    const int64_t up = t + e.b / 2, low = t + (e.b + 1) / 2;  // the middle row(s), k = 0
    const int64_t right = l + e.a + 1;
    if (e.walked) {
        const int64_t *lmin = e.lmin.data();
        for (int64_t y = from; y < to; y++, row += c.stride) {
            int64_t mn = lmin[y <= up ? up - y : y - low];  // rows lie within the box: k <= half
            if (mn >= 0) blit_row(c, row, l + mn, right - mn, color);
        }
        return;
    }
    for (int64_t y = from; y < to; y++, row += c.stride) {
        int64_t mn, mx;
        if (e.row(y <= up ? up - y : y - low, &mn, &mx)) blit_row(c, row, l + mn, right - mn, color);
    }
}

namespace {

// Pixels of row y inside the filled ellipse region of a box: [*xa, *xb).
bool region_row(const EllipseRows &e, bool boxed, int64_t l, int64_t t, int64_t r, int64_t b, int64_t y,
                int64_t *xa, int64_t *xb) {
    if (r <= l || b <= t || y < t || y >= b) return false;
    if (boxed) {
        *xa = l;
        *xb = r;
        return true;
    }
    int64_t mn, mx;
    if (!e.row(e.row_k(y), &mn, &mx)) return false;
    *xa = l + mn;
    *xb = l + e.a - mn + 1;
    return true;
}

}  // namespace

constexpr int64_t kStrokeLimit = 256;

// Ellipse: a one-pixel outline with the brush between, or a wide band.
void raster_ellipse(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, int64_t pen_width,
                    uint32_t pen_color, bool brush, uint32_t brush_color) {
    if (r == l || b == t) return;
    if (pen_width <= 0) {  // no pen: the brush covers the region the outline would enclose
        if (brush && (r - l <= 2 || b - t <= 2))
            raster_fill_rect(c, l, t, r - 1, b - 1, brush_color);  // a rectangle's rule
        else if (brush)
            fill_ellipse_region(c, l, t, r, b, brush_color);
        return;
    }
    if (pen_width == 1) {
        if (r - l <= 2 || b - t <= 2) {
            raster_rectangle(c, l, t, r, b, true, pen_color, brush, brush_color);
            return;
        }
        if (brush && brush_color == pen_color) {
            fill_ellipse_region(c, l, t, r, b, pen_color);
            return;
        }
        thread_local EllipseRows e;  // reused: its rows keep their storage
        make_rows(e, l, t, r, b);
        int64_t from, to;
        visible_rows(c, t, b, &from, &to);
        for (int64_t y = from; y < to; y++) {
            int64_t mn, mx;
            if (!e.row(e.row_k(y), &mn, &mx)) continue;
            int64_t right_end = l + e.a - mn;     // last outline pixel on the right
            int64_t right_start = l + e.a - mx;   // first outline pixel on the right
            if (l + mx + 1 >= right_start) {      // the two sides meet: one run
                blit_span(c, y, l + mn, right_end + 1, pen_color);
                continue;
            }
            blit_span(c, y, l + mn, l + mx + 1, pen_color);
            if (brush) blit_span(c, y, l + mx + 1, right_start, brush_color);
            blit_span(c, y, right_start, right_end + 1, pen_color);
        }
        return;
    }
    // Wide pen of a usual width: the one-pixel outline stroked with round
    // caps. Very wide pens: the band between the ellipse grown by the pen's
    // outer half and the ellipse shrunk by its inner half, which is what that
    // stroke tends to and costs nothing per unit of width.
    if (pen_width <= kStrokeLimit) {
        stroke_ellipse(c, l, t, r, b, pen_width, pen_color, brush, brush_color);
        return;
    }
    int64_t lo = pen_width / 2, hi = pen_width - lo - 1;
    int64_t ol = l - lo, ot = t - lo, or_ = r + hi, ob = b + hi;
    int64_t il = ol + pen_width, it = ot + pen_width, ir = or_ - pen_width, ib = ob - pen_width;
    bool inner = ir > il && ib > it;
    thread_local EllipseRows outer_rows, inner_rows;  // reused storage
    bool outer_boxed = or_ - ol <= 2 || ob - ot <= 2;
    bool inner_boxed = inner && (ir - il <= 2 || ib - it <= 2);
    if (!outer_boxed) make_rows(outer_rows, ol, ot, or_, ob);
    if (inner && !inner_boxed) make_rows(inner_rows, il, it, ir, ib);
    int64_t from, to;
    visible_rows(c, ot, ob, &from, &to);
    for (int64_t y = from; y < to; y++) {
        int64_t oa, ob2;
        if (!region_row(outer_rows, outer_boxed, ol, ot, or_, ob, y, &oa, &ob2)) continue;
        int64_t ia, ib2;
        if (!inner || !region_row(inner_rows, inner_boxed, il, it, ir, ib, y, &ia, &ib2)) {
            blit_span(c, y, oa, ob2, pen_color);
            continue;
        }
        blit_span(c, y, oa, ia, pen_color);
        if (brush) blit_span(c, y, ia, ib2, brush_color);
        blit_span(c, y, ib2, ob2, pen_color);
    }
}

// Wide ellipse outline: every pixel of the one-pixel outline carries a round
// cap (a width x width disc); on each row the caps of the outline rows they
// reach merge into one span per side. The brush fills inside the one-pixel
// outline first.
void stroke_ellipse(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, int64_t width,
                    uint32_t pen_color, bool brush, uint32_t brush_color) {
    bool boxed = r - l <= 2 || b - t <= 2;
    thread_local EllipseRows e;  // reused: its rows keep their storage
    if (!boxed) make_rows(e, l, t, r, b);
    // The outline's runs on row y: left [*la, *lb] and right [*ra, *rb].
    auto runs = [&](int64_t y, int64_t *la, int64_t *lb, int64_t *ra, int64_t *rb) {
        if (y < t || y >= b) return false;
        if (boxed) {
            bool edge = y == t || y == b - 1;
            *la = l;
            *lb = edge ? r - 1 : l;
            *ra = edge ? l : r - 1;
            *rb = r - 1;
            return true;
        }
        int64_t mn, mx;
        if (!e.row(e.row_k(y), &mn, &mx)) return false;
        *la = l + mn;
        *lb = l + mx;
        *ra = l + e.a - mx;
        *rb = l + e.a - mn;
        return true;
    };
    int64_t from, to;
    if (brush) {
        visible_rows(c, t, b, &from, &to);
        for (int64_t y = from; y < to; y++) {
            int64_t la, lb, ra, rb;
            if (runs(y, &la, &lb, &ra, &rb) && lb + 1 < ra) blit_span(c, y, lb + 1, ra, brush_color);
        }
    }
    const Disc &d = disc_for(width);
    const int64_t lo = width / 2;
    visible_rows(c, t - lo - 1, b - lo + width, &from, &to);
    for (int64_t y = from; y < to; y++) {
        bool any = false;
        int64_t left_a = INT64_MAX, left_b = INT64_MIN, right_a = INT64_MAX, right_b = INT64_MIN;
        for (int64_t j = 0; j < width; j++) {
            int64_t la, lb, ra, rb;
            if (!runs(y - j + lo, &la, &lb, &ra, &rb)) continue;
            int64_t s = d.start[(size_t)j];
            if (s >= width - s) continue;
            any = true;
            left_a = std::min(left_a, la - lo + s);
            left_b = std::max(left_b, lb - lo + width - s);
            right_a = std::min(right_a, ra - lo + s);
            right_b = std::max(right_b, rb - lo + width - s);
        }
        if (!any) continue;
        if (left_b >= right_a) {
            blit_span(c, y, left_a, right_b, pen_color);
        } else {
            blit_span(c, y, left_a, left_b, pen_color);
            blit_span(c, y, right_a, right_b, pen_color);
        }
    }
    // Where the outline steps diagonally from one row to the next, the pen's
    // body along that step widens the stroke a little beyond the caps.
    if (boxed) return;
    int64_t first = std::max(t, c.y0 - width - 1), last = std::min(b, c.y1 + width + 1);
    for (int64_t y = first; y < last; y++) {
        int64_t k = e.row_k(y), mn, mx, next_mn, next_mx;
        if (!e.row(k, &mn, &mx) || !e.row(k + 1, &next_mn, &next_mx) || next_mn != mx + 1) continue;
        int64_t outer = y <= e.top + e.b / 2 ? y - 1 : y + 1;
        wide_body(c, l + mx, y, l + mx + 1, outer, width, pen_color);
        wide_body(c, l + e.a - mx, y, l + e.a - mx - 1, outer, width, pen_color);
    }
}
