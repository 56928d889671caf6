// What the rasteriser's scan converters share and nothing else needs: the
// 64- and 128-bit division helpers, the 32.32 fixed-point stepping of edges,
// the rows of an inscribed ellipse, the round-cap discs, and the few converters
// that one family calls from another (a wide ellipse is stroked with the line
// family's wide bodies and discs, a cap larger than its cache is an ellipse).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "gdi/raster.h"

// The small helpers below have internal linkage: each converter file keeps
// its own copy, which the compiler fits to that file's callers.

typedef __int128 i128;

// Floor division for a positive divisor.
static inline int64_t floor_div(i128 n, i128 d) {
    i128 q = n / d;
    if ((n % d) != 0 && n < 0) q -= 1;
    return (int64_t)q;
}

// Floor division for a positive divisor, in 64 bits.
static inline int64_t floor_div64(int64_t n, int64_t d) { return n / d - ((n % d != 0) && (n < 0)); }

// ---- 32.32 fixed point -------------------------------------------------

// Edges are also stepped in 32.32 fixed point, one addition a row: each
// value and step is rounded up, so after k steps a value exceeds the exact
// one by less than (k + 1) / 2^32; while that stays below 1 / den, the
// smallest distance from an exact value with denominator den to the next
// whole column, the column (the value shifted down by 32) is exact.
// kFixedLimit keeps columns and steps far from overflowing.
constexpr int64_t kFixedLimit = int64_t(1) << 29;

// Whether values with denominator den in columns (lo, hi) may be stepped in fixed point over rows rows.
static inline bool fits_fixed(int64_t lo, int64_t hi, int64_t den, int64_t rows) {
    const int64_t two32 = int64_t(1) << 32;
    return lo > -kFixedLimit && hi < kFixedLimit && den < two32 && rows < two32 &&
           (uint64_t)den * (uint64_t)rows <= (uint64_t)two32;
}

// v + rem / den (0 <= rem < den <= 2^32) in 32.32 fixed point, rounded up.
static inline int64_t fixed_from(int64_t v, int64_t rem, int64_t den) {
    return (int64_t)((uint64_t)v << 32) + (int64_t)((((uint64_t)rem << 32) + (uint64_t)den - 1) / (uint64_t)den);
}

// Fills [lo, hi) of a row: straight when the band lies inside the canvas
// (kInside), else clamped to its columns.
template <bool kInside>
static inline void row_span(const Canvas &c, uint32_t *row, int64_t lo, int64_t hi, uint32_t color) {
    if (kInside)
        fill_pixels(row + lo, hi - lo, color);
    else
        blit_row(c, row, lo, hi, color);
}

// Rows of a band whose runs are known in order: each row from the left run's
// start to the right run's end. Clamped to the canvas's columns unless kInside.
// Kept out of line, so that its loop keeps its few values in registers.
template <bool kInside>
[[gnu::noinline]] static void ordered_side_rows(const Canvas &c, uint32_t *row, int64_t rows, int64_t ls,
                                                int64_t l_step, int64_t re, int64_t r_step, uint32_t color) {
    const int64_t stride = c.stride;
    re += int64_t(1) << 32;  // one column on: the run's end becomes the span's end
    for (; rows > 0; rows--, row += stride) {
        int64_t lo = ls >> 32, hi = re >> 32;
        row_span<kInside>(c, row, lo, hi, color);
        ls += l_step;
        re += r_step;
    }
}

// ---- ellipse rows ------------------------------------------------------

// The rows of an ellipse inscribed in a box of pixels [left, left + a] x
// [top, top + b]: for each row, how far in from the box's left edge its
// outline starts (lmin) and ends (lmax); the right side mirrors the left.
// Rows are counted by k outwards from the middle row(s). Small ellipses take
// the exact quadrant walk; boxes too large to walk use the closed form.
struct EllipseRows {
    int64_t left = 0, top = 0, a = 0, b = 0;
    int64_t half = 0;  // largest k
    bool walked = false;
    std::vector<int64_t> lmin, lmax;  // walked: per k, -1 for a row with no pixel

    // Row offset k of pixel row y (which must lie within the box).
    int64_t row_k(int64_t y) const {
        int64_t up = top + b / 2, low = top + (b + 1) / 2;
        return y <= up ? up - y : y - low;
    }
    // Closed-form start of row k; -1 beyond the top.
    int64_t formula_lmin(int64_t k) const {
        if (k > half) return -1;
        long double A = (long double)a / 2, B = (long double)b / 2;
        long double d = (long double)k + ((b & 1) ? 0.5L : 0.0L);
        long double t = 1.0L - (d / B) * (d / B);
        if (t < 0) t = 0;
        long double v = A - A * std::sqrt(t);
        return (int64_t)std::floor(v + 0.5L);
    }
    // Outline start and end of row k; false when the row has no pixel.
    bool row(int64_t k, int64_t *min_out, int64_t *max_out) const {
        if (k < 0 || k > half) return false;
        if (walked) {
            if (lmin[k] < 0) return false;
            *min_out = lmin[k];
            *max_out = lmax[k];
            return true;
        }
        int64_t m = formula_lmin(k);
        int64_t next = k < half ? formula_lmin(k + 1) : a / 2 + 1;
        *min_out = m;
        *max_out = std::max(m, std::min(next - 1, a / 2));
        return true;
    }
};

// Prepares the rows of the ellipse in box [l, r) x [t, bottom) (at least 3 x 3).
void make_rows(EllipseRows &e, int64_t l, int64_t t, int64_t r, int64_t bottom);

// Visible rows of a box [t, b): the clip applied once.
static inline void visible_rows(const Canvas &c, int64_t t, int64_t b, int64_t *from, int64_t *to) {
    *from = std::max(t, c.y0);
    *to = std::min(b, c.y1);
}

// Filled ellipse region (outline included) in one colour, or a box when a
// side is 2 or less.
void fill_ellipse_region(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, uint32_t color);

// Wide ellipse outline: the one-pixel outline stroked with round caps, the
// brush inside it first.
void stroke_ellipse(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, int64_t width,
                    uint32_t pen_color, bool brush, uint32_t brush_color);

// ---- round caps and wide bodies ----------------------------------------

// The w x w disc of a round cap: for row j (0..w-1) its columns
// [start, w - start). Cached per width since the same few widths recur.
struct Disc {
    int64_t width = -1;
    std::vector<int64_t> start;
};

// The cached disc of a width (at most 4096).
const Disc &disc_for(int64_t width);
// The rows of a cached disc placed on (x, y) as a round cap.
void disc_rows(const Canvas &c, const Disc &d, int64_t x, int64_t y, uint32_t color);
// The body of a wide line (the band of the pen's width along it), without caps.
void wide_body(const Canvas &c, int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t width, uint32_t color);
