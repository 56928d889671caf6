// Lines and caps: one-pixel lines walked only over their visible steps,
// round caps from cached discs, and wide lines as a body plus two caps.
#include "gdi/raster_internal.h"

namespace {

// Minor-axis offset of step i on a line of major length n (> 0) and minor
// delta m: round(i * m / n), a tie going to the smaller value.
int64_t minor_at(int64_t i, int64_t m, int64_t n) {
    const int64_t small = int64_t(1) << 30;
    if (i < small && m < small && m > -small && n < small) {  // the usual case fits 64 bits
        int64_t num = 2 * i * m + n - 1, den = 2 * n;
        return num / den - ((num % den != 0) && (num < 0));
    }
    return floor_div((i128)2 * i * m + n - 1, (i128)2 * n);
}

// First i in [lo, hi) with pred(i) true, for a predicate monotone false -> true; hi if none.
template <class Pred>
int64_t first_true(int64_t lo, int64_t hi, Pred pred) {
    while (lo < hi) {
        int64_t mid = lo + (hi - lo) / 2;
        if (pred(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

}  // namespace

// One-pixel line; only the steps whose pixel lies inside the canvas are walked.
void raster_line(const Canvas &c, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t color) {
    int64_t dx = x1 - x0, dy = y1 - y0;
    if ((dx == 0 && dy == 0) || c.empty()) return;
    bool x_major = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    // Work in (major, minor) coordinates.
    int64_t a0 = x_major ? x0 : y0, b0 = x_major ? y0 : x0;
    int64_t da = x_major ? dx : dy, db = x_major ? dy : dx;
    int64_t sa = da < 0 ? -1 : 1, n = da < 0 ? -da : da;
    int64_t amin = x_major ? c.x0 : c.y0, aend = x_major ? c.x1 : c.y1;
    int64_t bmin = x_major ? c.y0 : c.x0, bend = x_major ? c.y1 : c.x1;
    // Steps i in [0, n) with the major coordinate a0 + sa * i inside [amin, aend).
    int64_t lo, hi;
    if (sa > 0) {
        lo = amin - a0;
        hi = aend - a0;
    } else {
        lo = a0 - (aend - 1);
        hi = a0 - amin + 1;
    }
    lo = std::max<int64_t>(lo, 0);
    hi = std::min<int64_t>(hi, n);
    if (lo >= hi) return;
    // The minor coordinate is monotone in i: narrow to the steps inside
    // [bmin, bend), unless the whole line lies inside them.
    int64_t b_end = b0 + db;
    bool minor_inside = std::min(b0, b_end) >= bmin && std::max(b0, b_end) < bend;
    if (minor_inside) {
    } else if (db >= 0) {
        lo = first_true(lo, hi, [&](int64_t i) { return b0 + minor_at(i, db, n) >= bmin; });
        hi = first_true(lo, hi, [&](int64_t i) { return b0 + minor_at(i, db, n) >= bend; });
    } else {
        lo = first_true(lo, hi, [&](int64_t i) { return b0 + minor_at(i, db, n) < bend; });
        hi = first_true(lo, hi, [&](int64_t i) { return b0 + minor_at(i, db, n) < bmin; });
    }
    if (lo >= hi) return;
    // Walk with an integer error term: minor = floor((2 i db + n - 1) / 2n).
    int64_t den = 2 * n;
    int64_t q, r;
    const int64_t small = int64_t(1) << 30;
    if (n < small && db < small && db > -small) {  // the usual case fits 64 bits
        int64_t num0 = 2 * lo * db + n - 1;
        q = floor_div64(num0, den);
        r = num0 - q * den;
    } else {
        i128 num0 = (i128)2 * lo * db + n - 1;
        q = floor_div(num0, den);
        r = (int64_t)(num0 - (i128)q * den);
    }
    int64_t step = 2 * db;  // |2 db| <= 2 n
    int64_t step_q = floor_div64(step, den);
    int64_t step_r = step - step_q * den;
    // Step a pointer: one pixel along the major axis each time, one along the
    // minor axis whenever the error term carries.
    int64_t a = a0 + sa * lo, b = b0 + q;
    uint32_t *p = x_major ? c.pixels + (b + c.org_y) * c.stride + a + c.org_x
                          : c.pixels + (a + c.org_y) * c.stride + b + c.org_x;
    const int64_t major_step = x_major ? sa : sa * c.stride;
    const int64_t minor_unit = x_major ? c.stride : 1;
    const int64_t minor_step = step_q * minor_unit;
    if (db == 0) {  // horizontal or vertical
        if (x_major) {
            fill_pixels(sa > 0 ? p : p - (hi - lo - 1), hi - lo, color);
        } else {
            for (int64_t i = lo; i < hi; i++, p += major_step) *p = color;
        }
        return;
    }
    for (int64_t i = lo; i < hi; i++) {
        *p = color;
        p += major_step + minor_step;
        r += step_r;
        if (r >= den) {
            r -= den;
            p += minor_unit;
        }
    }
}

// The disc of a width, made once per width and kept per thread.
const Disc &disc_for(int64_t width) {
    thread_local Disc cache[64];
    Disc &d = cache[width & 63];
    if (d.width == width) return d;
    d.width = width;
    d.start.assign((size_t)width, 0);
    if (width > 2) {
        thread_local EllipseRows e;  // reused: its rows keep their storage
        make_rows(e, 0, 0, width, width);
        for (int64_t j = 0; j < width; j++) {
            int64_t mn, mx;
            d.start[(size_t)j] = e.row(e.row_k(j), &mn, &mx) ? mn : width;
        }
    }
    return d;
}

// The rows of a cached disc placed on (x, y) as a round cap.
void disc_rows(const Canvas &c, const Disc &d, int64_t x, int64_t y, uint32_t color) {
    const int64_t width = d.width, left = x - width / 2, top = y - width / 2;
    int64_t from = std::max(top, c.y0), to = std::min(top + width, c.y1);
    if (from >= to) return;
    const int64_t *start = d.start.data() + (from - top);
    uint32_t *row = canvas_row(c, from);
    if (left >= c.x0 && left + width <= c.x1) {  // the disc lies within the canvas's columns
        for (int64_t yy = from; yy < to; yy++, row += c.stride, start++)
            fill_pixels(row + left + *start, width - 2 * *start, color);
        return;
    }
    for (int64_t yy = from; yy < to; yy++, row += c.stride, start++)
        blit_row(c, row, left + *start, left + width - *start, color);
}
// Round cap: a width x width disc whose rows and columns run from
// p - width / 2 to p - width / 2 + width - 1, like a wide body's.
void raster_cap(const Canvas &c, int64_t x, int64_t y, int64_t width, uint32_t color) {
    if (width <= 0) return;
    int64_t lo = width / 2;
    int64_t left = x - lo, top = y - lo;
    if (width > 4096) {  // too wide to cache: draw the disc directly
        fill_ellipse_region(c, left, top, left + width, top + width, color);
        return;
    }
    disc_rows(c, disc_for(width), x, y, color);
}

namespace {

// The pen's width split across the normal of a line of extents (adx, ady):
// each component's narrow half round(w/2) and wide half round((w+1)/2).
// Answers are kept for a few extents: a wide ellipse asks the same one step
// after step, and a batch asks again for a wide line in every run of rows
// it draws it in (around a rectangle that hides part of it).
void body_offsets(int64_t adx, int64_t ady, int64_t width, int64_t *narrow_x, int64_t *narrow_y, int64_t *wide_x,
                  int64_t *wide_y) {
    struct Answer {
        int64_t adx = -1, ady = -1, width = -1, halves[4];
    };
    thread_local Answer answers[16];
    Answer &a = answers[((uint64_t)adx * 5 + (uint64_t)ady * 3 + (uint64_t)width) % 16];
    if (adx != a.adx || ady != a.ady || width != a.width) {
        long double dx = (long double)adx, dy = (long double)ady;
        long double len = std::sqrt(dx * dx + dy * dy);
        long double width_x = (long double)width * dy / len;
        long double width_y = (long double)width * dx / len;
        auto round_half = [](long double v) { return (int64_t)std::floor(v + 0.5L); };
        a.halves[0] = round_half(width_x / 2);
        a.halves[1] = round_half(width_y / 2);
        a.halves[2] = round_half((width_x + 1) / 2);
        a.halves[3] = round_half((width_y + 1) / 2);
        a.adx = adx;
        a.ady = ady;
        a.width = width;
    }
    *narrow_x = a.halves[0];
    *narrow_y = a.halves[1];
    *wide_x = a.halves[2];
    *wide_y = a.halves[3];
}

}  // namespace

// The body of a wide line: the band of the pen's width along it (rows
// y - w/2 .. y - w/2 + w - 1 for a horizontal one), without caps.
void wide_body(const Canvas &c, int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t width, uint32_t color) {
    int64_t lo = width / 2, hi = width - lo;
    if (y0 == y1 && x0 != x1) {
        raster_fill_rect(c, std::min(x0, x1), y0 - lo, std::max(x0, x1) + 1, y0 + hi, color);
    } else if (x0 == x1 && y0 != y1) {
        raster_fill_rect(c, x0 - lo, std::min(y0, y1), x0 + hi, std::max(y0, y1) + 1, color);
    } else if (x0 != x1) {
        // A parallelogram whose corners sit on whole pixels: the pen's width
        // split across the line's normal into a narrow half (round(w/2) of
        // each component) and a wide half (round((w+1)/2)), the wide half on
        // the top-right side, mirrored with the line's direction.
        int64_t narrow_x, narrow_y, wide_x, wide_y;
        body_offsets(x1 - x0 < 0 ? x0 - x1 : x1 - x0, y1 - y0 < 0 ? y0 - y1 : y1 - y0, width, &narrow_x, &narrow_y,
                     &wide_x, &wide_y);
        int64_t dx = x1 - x0, dy = y1 - y0;
        if (dx < 0) {
            narrow_y = -narrow_y;
            wide_y = -wide_y;
        }
        if (dy < 0) {
            std::swap(narrow_x, wide_x);
            std::swap(narrow_y, wide_y);
            narrow_x = -narrow_x;
            wide_x = -wide_x;
        }
        FixPoint p[4];
        p[0] = {(x0 + wide_x) * kFixOne, (y0 - wide_y) * kFixOne};
        p[1] = {(x0 - narrow_x) * kFixOne, (y0 + narrow_y) * kFixOne};
        p[2] = {(x1 - narrow_x) * kFixOne, (y1 + narrow_y) * kFixOne};
        p[3] = {(x1 + wide_x) * kFixOne, (y1 - wide_y) * kFixOne};
        raster_parallelogram_fill(c, p, color);
    }
}

// Wide line: its body closed by a round cap at each end.
void raster_wide_line(const Canvas &c, int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t width,
                      uint32_t color) {
    if (c.empty()) return;
    int64_t lo = width / 2, hi = width - lo;
    // Nothing can reach the canvas when the bounding box misses it.
    if (std::max(x0, x1) + hi < c.x0 || std::min(x0, x1) - lo - 1 > c.x1 ||
        std::max(y0, y1) + hi < c.y0 || std::min(y0, y1) - lo - 1 > c.y1)
        return;
    wide_body(c, x0, y0, x1, y1, width, color);
    if (width > 4096) {
        raster_cap(c, x0, y0, width, color);
        raster_cap(c, x1, y1, width, color);
        return;
    }
    const Disc &d = disc_for(width);
    disc_rows(c, d, x0, y0, color);
    disc_rows(c, d, x1, y1, color);
}
