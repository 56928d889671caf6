// Polygon(): the brush fills by the alternate rule (raster_polyfill.cpp),
// then the pen outlines edge by edge; a triangle that the pen outlines in
// the brush's colour (the game's most common shape) is walked in one pass
// instead: each side's one-pixel outline runs and the fill between them, the
// run ends stepped in 32.32 fixed point, 64-bit arithmetic for corners near
// the origin and 128-bit otherwise.
#include "gdi/raster_internal.h"

namespace {

// Floor division by a positive divisor.
inline int64_t floor_by(int64_t n, int64_t d) { return floor_div64(n, d); }
// Floor division by a positive divisor, in 64 bits when the dividend fits.
inline int64_t floor_by(i128 n, int64_t d) {
    if (n == (i128)(int64_t)n) return floor_div64((int64_t)n, d);
    return floor_div(n, d);
}

// One side of a triangle as its one-pixel outline draws it, end points
// included: on row top + k its pixels are the run [S(k), E(k)], where
// S(k) = floor((s0 + k step) / den) and E(k) = floor((e0 + k step) / den).
// A side that leans less than 45 degrees (x-major) covers every column whose
// rounded row is this one; a steeper side covers one pixel a row, its column
// rounded (a tie to the smaller value), so S = E. Away from its end rows a
// run needs no clamping; on them it is clamped to the side's columns. W is
// int64_t for corners near the origin, __int128 for any others.
template <class W>
struct Side {
    int64_t top, bottom;  // rows covered, both included
    int64_t xmin, xmax;   // columns covered
    bool flat;            // horizontal: one run on row top
    W s0, e0;
    int64_t step, den;
};

// The side from p to q (in any order).
template <class W>
Side<W> make_side(PixelPoint p, PixelPoint q) {
    if (p.y > q.y) std::swap(p, q);
    Side<W> s;
    s.top = p.y;
    s.bottom = q.y;
    s.xmin = std::min(p.x, q.x);
    s.xmax = std::max(p.x, q.x);
    s.flat = p.y == q.y;
    if (s.flat) return s;
    const int64_t xt = p.x, mx = (int64_t)q.x - p.x, dy = (int64_t)q.y - p.y, dx = mx < 0 ? -mx : mx;
    s.den = 2 * dy;
    const W d = s.den;
    if (dx < dy) {  // steep: column xt + round(k mx / dy)
        s.step = 2 * mx;
        s.s0 = s.e0 = d * xt + dy - 1;
    } else if (mx >= 0) {  // run from T(k) to T(k + 1) - 1 columns right of xt,
        // where T(k) = floor(((2k - 1) dx + 2 dy) / 2 dy)
        s.step = 2 * dx;
        s.s0 = d * xt - dx + 2 * dy;
        s.e0 = d * (xt - 1) + dx + 2 * dy;
    } else {  // the same run mirrored: columns left of xt
        s.step = -2 * dx;
        s.s0 = d * (xt + 2) - 1 - dx - 2 * dy;
        s.e0 = d * (xt + 1) - 1 + dx - 2 * dy;
    }
    return s;
}

// Widens [*lo, *hi] by the side's run on row y, if it covers that row.
template <class W>
void add_side_run(const Side<W> &s, int64_t y, int64_t *lo, int64_t *hi) {
    if (y < s.top || y > s.bottom) return;
    int64_t a = s.xmin, b = s.xmax;
    if (!s.flat) {
        W k = y - s.top;
        a = std::max(a, floor_by(s.s0 + k * s.step, s.den));
        b = std::min(b, floor_by(s.e0 + k * s.step, s.den));
    }
    *lo = std::min(*lo, a);
    *hi = std::max(*hi, b);
}

// A run end stepped row by row: v = floor(n / den) with n = v den + rem.
struct RunEnd {
    int64_t v, rem;
};

// The run end of a numerator n.
template <class W>
RunEnd run_end_of(W n, int64_t den) {
    int64_t v = floor_by(n, den);
    return {v, (int64_t)(n - (W)v * den)};
}

// Whether a side's run ends may be stepped in fixed point over rows rows.
template <class W>
bool side_fits_fixed(const Side<W> &s, int64_t rows) {
    return fits_fixed(s.xmin, s.xmax, s.den, rows);
}

// n / den in 32.32 fixed point, rounded up (den <= 2^32, the quotient below 2^30).
template <class W>
int64_t fixed_up(W n, int64_t den) {
    const int64_t small = int64_t(1) << 30;
    if (n > -small && n < small) return floor_div64((int64_t)n * (int64_t(1) << 32) + den - 1, den);  // one division
    RunEnd e = run_end_of(n, den);
    return fixed_from(e.v, e.rem, den);
}

// A side's run ends on the current row in fixed point, and their step a row.
struct FixedRun {
    int64_t s, e, step;
};

// Rows of a band stepped in fixed point: each row from the smaller run start
// to the larger run end; a and b are left on the row after the band. The
// values are exactly linear in the row, so when one run starts left of the
// other on the band's first and last rows it does on every row, and the
// same for the ends: then each row needs no comparison. Clamped to the
// canvas's columns unless kInside.
template <bool kInside>
void fixed_side_rows(const Canvas &c, uint32_t *row, int64_t rows, FixedRun &a, FixedRun &b, uint32_t color) {
    const int64_t n1 = rows - 1, a_step = a.step, b_step = b.step;
    const int64_t as1 = a.s + n1 * a_step, ae1 = a.e + n1 * a_step, bs1 = b.s + n1 * b_step, be1 = b.e + n1 * b_step;
    if (a.s <= b.s && as1 <= bs1 && b.e >= a.e && be1 >= ae1) {
        ordered_side_rows<kInside>(c, row, rows, a.s, a_step, b.e, b_step, color);
    } else if (b.s <= a.s && bs1 <= as1 && a.e >= b.e && ae1 >= be1) {
        ordered_side_rows<kInside>(c, row, rows, b.s, b_step, a.e, a_step, color);
    } else {
        const int64_t stride = c.stride;
        int64_t as = a.s, ae = a.e, bs = b.s, be = b.e;
        for (int64_t n = rows; n > 0; n--, row += stride) {
            int64_t lo = std::min(as, bs) >> 32, hi = (std::max(ae, be) >> 32) + 1;
            row_span<kInside>(c, row, lo, hi, color);
            as += a_step;
            ae += a_step;
            bs += b_step;
            be += b_step;
        }
    }
    a = {as1 + a_step, ae1 + a_step, a_step};
    b = {bs1 + b_step, be1 + b_step, b_step};
}

// A side's run ends at row y in fixed point; a flat side's are its ends, unmoving.
template <class W>
FixedRun fixed_run_at(const Side<W> &s, int64_t y) {
    if (s.flat) return {(int64_t)((uint64_t)s.xmin << 32), (int64_t)((uint64_t)s.xmax << 32), 0};
    W k = y - s.top;
    int64_t start = fixed_up(s.s0 + k * s.step, s.den);
    int64_t end = s.e0 == s.s0 ? start : fixed_up(s.e0 + k * s.step, s.den);  // a steep side's run is one pixel
    return {start, end, fixed_up((W)s.step, s.den)};
}

// Widens [*lo, *hi] by a side's run on a row it covers, clamped to its columns.
template <class W>
void add_fixed_run(const Side<W> &s, const FixedRun &r, int64_t *lo, int64_t *hi) {
    *lo = std::min(*lo, std::max(r.s >> 32, s.xmin));
    *hi = std::max(*hi, std::min(r.e >> 32, s.xmax));
}

// Moves a side's run ends on by one row.
inline void step_fixed(FixedRun &r) {
    r.s += r.step;
    r.e += r.step;
}

// Fills rows [from, to) where sides a and b both cover the row but neither
// ends on it: each row is the union of their two runs.
template <class W>
void fill_side_band(const Canvas &c, const Side<W> &a, const Side<W> &b, int64_t from, int64_t to, bool inside,
                    uint32_t color) {
    if (from >= to) return;
    uint32_t *row = canvas_row(c, from);
    const W ka = from - a.top, kb = from - b.top;
    if (side_fits_fixed(a, to - from) && side_fits_fixed(b, to - from)) {
        FixedRun ra = fixed_run_at(a, from), rb = fixed_run_at(b, from);
        if (inside)
            fixed_side_rows<true>(c, row, to - from, ra, rb, color);
        else
            fixed_side_rows<false>(c, row, to - from, ra, rb, color);
        return;
    }
    RunEnd as = run_end_of(a.s0 + ka * a.step, a.den), ae = run_end_of(a.e0 + ka * a.step, a.den);
    RunEnd bs = run_end_of(b.s0 + kb * b.step, b.den), be = run_end_of(b.e0 + kb * b.step, b.den);
    const RunEnd a_step = run_end_of(a.step, a.den), b_step = run_end_of(b.step, b.den);
    for (int64_t y = from; y < to; y++, row += c.stride) {
        int64_t lo = std::min(as.v, bs.v), hi = std::max(ae.v, be.v) + 1;
        if (inside)
            fill_pixels(row + lo, hi - lo, color);
        else
            blit_row(c, row, lo, hi, color);
        for (RunEnd *e : {&as, &ae}) {
            e->v += a_step.v;
            e->rem += a_step.rem;
            if (e->rem >= a.den) e->rem -= a.den, e->v++;
        }
        for (RunEnd *e : {&bs, &be}) {
            e->v += b_step.v;
            e->rem += b_step.rem;
            if (e->rem >= b.den) e->rem -= b.den, e->v++;
        }
    }
}

// Rows of the bands between the corners' rows, one span a row.
template <bool kInside>
void fixed_band(const Canvas &c, int64_t from, int64_t to, FixedRun &a, FixedRun &b, uint32_t color) {
    if (from < to) fixed_side_rows<kInside>(c, canvas_row(c, from), to - from, a, b, color);
}

// The triangle's visible rows [first, last] in one pass down, the run ends
// stepped in fixed point: the long side throughout, the upper side to the
// middle corner's row, the lower side from it. On the corners' rows sides end
// and runs are clamped to their columns.
template <class W, bool kInside>
void fixed_triangle_rows(const Canvas &c, const Side<W> &long_side, const Side<W> &upper, const Side<W> &lower,
                         int64_t first, int64_t last, uint32_t color) {
    const int64_t ya = long_side.top, yb = upper.bottom, yc = long_side.bottom;
    FixedRun l = fixed_run_at(long_side, first), u = {0, 0, 0}, w = {0, 0, 0};
    if (first <= yb) u = fixed_run_at(upper, first);
    int64_t y = first;
    if (y == ya) {  // top corner's row, with the flat upper side if there is one
        int64_t lo = INT64_MAX, hi = INT64_MIN;
        add_fixed_run(long_side, l, &lo, &hi);
        add_fixed_run(upper, u, &lo, &hi);
        if (yb == ya) add_fixed_run(lower, fixed_run_at(lower, ya), &lo, &hi);
        blit_row(c, canvas_row(c, y), lo, hi + 1, color);
        step_fixed(l);
        step_fixed(u);
        y++;
    }
    if (y <= yb) {  // the upper band, then the middle corner's row
        int64_t to = std::min(yb, last + 1);
        fixed_band<kInside>(c, y, to, l, u, color);
        y = to;
        if (y == yb && y <= last) {
            int64_t lo = INT64_MAX, hi = INT64_MIN;
            add_fixed_run(long_side, l, &lo, &hi);
            add_fixed_run(upper, u, &lo, &hi);
            w = fixed_run_at(lower, yb);
            add_fixed_run(lower, w, &lo, &hi);
            blit_row(c, canvas_row(c, y), lo, hi + 1, color);
            step_fixed(l);
            step_fixed(w);
            y++;
        }
    } else {
        w = fixed_run_at(lower, y);
    }
    if (y > last) return;
    int64_t to = std::min(yc, last + 1);  // the lower band, then the bottom corner's row
    fixed_band<kInside>(c, y, to, l, w, color);
    if (to == yc && yc <= last) {
        int64_t lo = INT64_MAX, hi = INT64_MIN;
        add_fixed_run(long_side, l, &lo, &hi);
        add_fixed_run(lower, w, &lo, &hi);
        blit_row(c, canvas_row(c, yc), lo, hi + 1, color);
    }
}

// The triangle's rows: one span a row, from the corners' rows and the bands between them.
template <class W>
void triangle_rows(const Canvas &c, PixelPoint a, PixelPoint b, PixelPoint d, uint32_t color) {
    const Side<W> long_side = make_side<W>(a, d), upper = make_side<W>(a, b), lower = make_side<W>(b, d);
    const bool inside = std::min(long_side.xmin, upper.xmin) >= c.x0 && std::max(long_side.xmax, upper.xmax) < c.x1;
    const int64_t first = std::max<int64_t>(a.y, c.y0), last = std::min<int64_t>(d.y, c.y1 - 1);
    if (first > last || a.y == d.y) {  // nothing visible, or a single row (drawn below)
    } else if (side_fits_fixed(long_side, last - first + 1) &&
               (upper.flat || side_fits_fixed(upper, last - first + 1)) &&
               (lower.flat || side_fits_fixed(lower, last - first + 1))) {
        if (inside)
            fixed_triangle_rows<W, true>(c, long_side, upper, lower, first, last, color);
        else
            fixed_triangle_rows<W, false>(c, long_side, upper, lower, first, last, color);
        return;
    }
    // The corners' rows, where sides end and runs are clamped.
    const int64_t corner_rows[3] = {a.y, b.y, d.y};
    for (int i = 0; i < 3; i++) {
        int64_t y = corner_rows[i];
        if ((i > 0 && y == corner_rows[i - 1]) || y < c.y0 || y >= c.y1) continue;
        int64_t lo = INT64_MAX, hi = INT64_MIN;
        add_side_run(long_side, y, &lo, &hi);
        add_side_run(upper, y, &lo, &hi);
        add_side_run(lower, y, &lo, &hi);
        blit_row(c, canvas_row(c, y), lo, hi + 1, color);
    }
    fill_side_band(c, long_side, upper, std::max<int64_t>((int64_t)a.y + 1, c.y0), std::min<int64_t>(b.y, c.y1),
                   inside, color);
    fill_side_band(c, long_side, lower, std::max<int64_t>((int64_t)b.y + 1, c.y0), std::min<int64_t>(d.y, c.y1),
                   inside, color);
}

// A triangle whose brush and one-pixel pen share a colour: the fill and the
// outline drawn over it, in one pass. On every row the outline's runs and
// the fill's span join into one span: each side's run holds the pixel where
// the side crosses the row, rounded, and the fill starts and ends within one
// pixel of those crossings. So a row is simply from the leftmost run start
// to the rightmost run end of the sides that cover it.
void filled_outlined_triangle(const Canvas &c, const PixelPoint *points, uint32_t color) {
    PixelPoint a = points[0], b = points[1], d = points[2];
    if (a.x == b.x && a.x == d.x && a.y == b.y && a.y == d.y) return;  // a point: no line, no fill
    if (a.y > b.y) std::swap(a, b);
    if (b.y > d.y) std::swap(b, d);
    if (a.y > b.y) std::swap(a, b);
    const int32_t near = 1 << 24;  // corners this near the origin keep every product in 64 bits
    auto is_near = [&](int32_t v) { return v > -near && v < near; };
    if (is_near(a.x) && is_near(b.x) && is_near(d.x) && is_near(a.y) && is_near(d.y))
        triangle_rows<int64_t>(c, a, b, d, color);
    else
        triangle_rows<i128>(c, a, b, d, color);
}

}  // namespace

// Filled polygon on whole-pixel corners, then its outline.
void raster_polygon(const Canvas &c, const PixelPoint *points, int64_t count, int64_t pen_width,
                    uint32_t pen_color, bool brush, uint32_t brush_color) {
    if (c.empty()) return;
    if (count == 3 && brush && pen_width == 1 && pen_color == brush_color) {
        filled_outlined_triangle(c, points, brush_color);
        return;
    }
    if (brush && count >= 3) {
        thread_local std::vector<FixPoint> fix;  // reused between calls
        fix.resize((size_t)count);
        for (int64_t i = 0; i < count; i++)
            fix[(size_t)i] = {(int64_t)points[i].x * kFixOne, (int64_t)points[i].y * kFixOne};
        raster_polygon_fill(c, fix.data(), count, brush_color);
    }
    for (int64_t i = 0; pen_width > 0 && i < count; i++) {
        const PixelPoint &p = points[i], &q = points[(i + 1) % count];
        if (pen_width == 1)
            raster_line(c, p.x, p.y, q.x, q.y, pen_color);
        else
            raster_wide_line(c, p.x, p.y, q.x, q.y, pen_width, pen_color);
    }
}
