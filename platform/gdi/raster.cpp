// Scan converters (rectangles, ellipses, polygons, lines, wide pens) and the
// span blitter they all feed. Scratch storage kept between calls is per
// thread, so that two threads may rasterise different rows at once.
#include "gdi/raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>


namespace {

typedef __int128 i128;

// Floor division for a positive divisor.
int64_t floor_div(i128 n, i128 d) {
    i128 q = n / d;
    if ((n % d) != 0 && n < 0) q -= 1;
    return (int64_t)q;
}

// Floor division for a positive divisor, in 64 bits.
inline int64_t floor_div64(int64_t n, int64_t d) { return n / d - ((n % d != 0) && (n < 0)); }

}  // namespace

// ---- blitting ----------------------------------------------------------

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

namespace {

// Fills n >= 16 pixels with 32-byte stores: an unaligned first store, an
// aligned run, and an overlapping last store.
__attribute__((target("avx2"))) void fill_avx2(uint32_t *p, int64_t n, uint32_t color) {
    const __m256i v = _mm256_set1_epi32((int)color);
    uint32_t *end = p + n;
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), v);
    uint32_t *q = reinterpret_cast<uint32_t *>((reinterpret_cast<uintptr_t>(p) + 32) & ~uintptr_t(31));
    for (; q + 16 <= end; q += 16) {
        _mm256_store_si256(reinterpret_cast<__m256i *>(q), v);
        _mm256_store_si256(reinterpret_cast<__m256i *>(q + 8), v);
    }
    if (q + 8 <= end) _mm256_store_si256(reinterpret_cast<__m256i *>(q), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(end - 8), v);
}

const bool g_has_avx2 = __builtin_cpu_supports("avx2");

}  // namespace
#endif

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
namespace {

// Fills n >= 16 pixels with 16-byte stores of WebAssembly's SIMD, the last
// store overlapping the ones before it (the C library's wmemset there is a
// plain loop).
void fill_simd128(uint32_t *p, int64_t n, uint32_t color) {
    const v128_t v = wasm_i32x4_splat((int32_t)color);
    uint32_t *end = p + n;
    for (; p + 16 <= end; p += 16) {
        wasm_v128_store(p, v);
        wasm_v128_store(p + 4, v);
        wasm_v128_store(p + 8, v);
        wasm_v128_store(p + 12, v);
    }
    for (; p + 4 <= end; p += 4) wasm_v128_store(p, v);
    wasm_v128_store(end - 4, v);
}

}  // namespace
#endif

namespace {

// Fills n >= 16 pixels with wmemset (the C library's vectorised 32-bit fill).
void fill_wmemset(uint32_t *p, int64_t n, uint32_t color) {
    static_assert(sizeof(wchar_t) == sizeof(uint32_t), "32-bit wchar_t expected");
    wmemset(reinterpret_cast<wchar_t *>(p), (wchar_t)color, (size_t)n);
}

// The long fill for this processor: 32-byte stores where it has them, else wmemset.
typedef void (*LongFill)(uint32_t *, int64_t, uint32_t);
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
const LongFill g_fill_long = g_has_avx2 ? fill_avx2 : fill_wmemset;
#elif defined(__wasm_simd128__)
const LongFill g_fill_long = fill_simd128;
#else
const LongFill g_fill_long = fill_wmemset;
#endif

}  // namespace

// Fills n >= 16 pixels with one value.
void fill_pixels_long(uint32_t *p, int64_t n, uint32_t color) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (g_has_avx2) {
        fill_avx2(p, n, color);
        return;
    }
#elif defined(__wasm_simd128__)
    fill_simd128(p, n, color);
    return;
#endif
    fill_wmemset(p, n, color);
}

// Fills the rectangle [l, r) x [t, b): rows of 16 pixels or more call the
// long fill directly, narrower ones stay inline.
void raster_fill_rect(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, uint32_t color) {
    l = std::max(l, c.x0);
    r = std::min(r, c.x1);
    t = std::max(t, c.y0);
    b = std::min(b, c.y1);
    if (l >= r || t >= b) return;
    uint32_t *row = c.pixels + (t + c.org_y) * c.stride + (l + c.org_x);
    const int64_t n = r - l, stride = c.stride;
    if (n >= 16) {
        const LongFill fill = g_fill_long ? g_fill_long : fill_wmemset;  // set before main
        for (int64_t y = t; y < b; y++, row += stride) fill(row, n, color);
    } else if (n == 1) {
        for (int64_t y = t; y < b; y++, row += stride) *row = color;
    } else {
        for (int64_t y = t; y < b; y++, row += stride) fill_pixels(row, n, color);
    }
}

// Copies a w x h block inside or between pixel arrays, overlap-safe.
void copy_block(uint32_t *dst, int64_t dst_stride, const uint32_t *src, int64_t src_stride, int64_t w,
                int64_t h) {
    if (w <= 0 || h <= 0) return;
    size_t bytes = (size_t)w * sizeof(uint32_t);
    if (dst > src) {  // copy bottom-up so that an overlapping source is read before it is written
        for (int64_t y = h - 1; y >= 0; y--) memmove(dst + y * dst_stride, src + y * src_stride, bytes);
    } else {
        for (int64_t y = 0; y < h; y++) memmove(dst + y * dst_stride, src + y * src_stride, bytes);
    }
}

// ---- rectangles --------------------------------------------------------

// Rectangle with a one-pixel (or null) pen and an optional brush.
void raster_rectangle(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, bool pen,
                      uint32_t pen_color, bool brush, uint32_t brush_color) {
    if (r == l || b == t) return;
    if (!pen) {  // the brush alone covers one pixel less on the right and bottom
        if (brush) raster_fill_rect(c, l, t, r - 1, b - 1, brush_color);
        return;
    }
    if (r - l == 1 && b - t == 1) return;
    if (brush && pen_color == brush_color) {
        raster_fill_rect(c, l, t, r, b, pen_color);
        return;
    }
    if (brush) raster_fill_rect(c, l + 1, t + 1, r - 1, b - 1, brush_color);
    raster_fill_rect(c, l, t, r, t + 1, pen_color);           // top
    if (b - t > 1) raster_fill_rect(c, l, b - 1, r, b, pen_color);  // bottom
    raster_fill_rect(c, l, t + 1, l + 1, b - 1, pen_color);   // left
    if (r - l > 1) raster_fill_rect(c, r - 1, t + 1, r, b - 1, pen_color);  // right
}

// Rectangle with a wide pen: brush inside, then four bodies and round joins.
void raster_rectangle_wide(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, int64_t width,
                           uint32_t pen_color, bool brush, uint32_t brush_color) {
    if (r == l || b == t) return;
    if (brush) raster_fill_rect(c, l + 1, t + 1, r - 1, b - 1, brush_color);
    int64_t lo = width / 2;         // pixels before the path (top / left)
    int64_t hi = width - lo;        // pixels from the path on (bottom / right)
    int64_t x0 = l, x1 = r - 1, y0 = t, y1 = b - 1;
    raster_fill_rect(c, x0, y0 - lo, x1 + 1, y0 + hi, pen_color);  // top
    raster_fill_rect(c, x0, y1 - lo, x1 + 1, y1 + hi, pen_color);  // bottom
    raster_fill_rect(c, x0 - lo, y0, x0 + hi, y1 + 1, pen_color);  // left
    raster_fill_rect(c, x1 - lo, y0, x1 + hi, y1 + 1, pen_color);  // right
    raster_cap(c, x0, y0, width, pen_color);
    raster_cap(c, x1, y0, width, pen_color);
    raster_cap(c, x1, y1, width, pen_color);
    raster_cap(c, x0, y1, width, pen_color);
}

// ---- ellipses ----------------------------------------------------------

namespace {

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

// Visible rows of a box [t, b): the clip applied once.
void visible_rows(const Canvas &c, int64_t t, int64_t b, int64_t *from, int64_t *to) {
    *from = std::max(t, c.y0);
    *to = std::min(b, c.y1);
}

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
void stroke_ellipse(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, int64_t width,
                    uint32_t pen_color, bool brush, uint32_t brush_color);
void wide_body(const Canvas &c, int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t width, uint32_t color);

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

// ---- polygons ----------------------------------------------------------

namespace {

// Edges are also stepped in 32.32 fixed point, one addition a row: each
// value and step is rounded up, so after k steps a value exceeds the exact
// one by less than (k + 1) / 2^32; while that stays below 1 / den, the
// smallest distance from an exact value with denominator den to the next
// whole column, the column (the value shifted down by 32) is exact.
// kFixedLimit keeps columns and steps far from overflowing.
constexpr int64_t kFixedLimit = int64_t(1) << 29;

// Whether values with denominator den in columns (lo, hi) may be stepped in fixed point over rows rows.
inline bool fits_fixed(int64_t lo, int64_t hi, int64_t den, int64_t rows) {
    const int64_t two32 = int64_t(1) << 32;
    return lo > -kFixedLimit && hi < kFixedLimit && den < two32 && rows < two32 &&
           (uint64_t)den * (uint64_t)rows <= (uint64_t)two32;
}

// v + rem / den (0 <= rem < den <= 2^32) in 32.32 fixed point, rounded up.
inline int64_t fixed_from(int64_t v, int64_t rem, int64_t den) {
    return (int64_t)((uint64_t)v << 32) + (int64_t)((((uint64_t)rem << 32) + (uint64_t)den - 1) / (uint64_t)den);
}

// One non-horizontal edge, oriented downwards, stepping its exact x from row
// to row: x = q + r / den, 0 <= r < den, in pixels.
struct Edge {
    int64_t y_first, y_end;  // rows first <= y < end
    int64_t q, r, den;       // current x
    int64_t step_q, step_r;  // x advance per row
    int64_t x_lo, x_hi;      // ceil(x) stays within [x_lo, x_hi]
    int dir;                 // +1 for an edge going down in the input order
};

// Moves an edge's x on by n rows at once (n den <= 2^32).
inline void skip_edge(Edge &e, int64_t n) {
    e.q += n * e.step_q;
    e.r += n * e.step_r;
    int64_t carry = e.r / e.den;
    e.q += carry;
    e.r -= carry * e.den;
}

// ceil(x) of an edge, in fixed point.
inline int64_t edge_ceil_fixed(const Edge &e) {
    return e.r > 0 ? fixed_from(e.q + 1, e.r - 1, e.den) : fixed_from(e.q, e.den - 1, e.den);
}

// Fills [lo, hi) of a row: straight when the band lies inside the canvas
// (kInside), else clamped to its columns.
template <bool kInside>
inline void row_span(const Canvas &c, uint32_t *row, int64_t lo, int64_t hi, uint32_t color) {
    if (kInside)
        fill_pixels(row + lo, hi - lo, color);
    else
        blit_row(c, row, lo, hi, color);
}

template <bool kInside>
void ordered_side_rows(const Canvas &c, uint32_t *row, int64_t rows, int64_t ls, int64_t l_step, int64_t re,
                       int64_t r_step, uint32_t color);

// Rows of a two-edge band stepped in fixed point: [ceil(x) of one, ceil(x) of
// the other) in either order. The values are exactly linear in the row, so
// when one edge is left of the other on the band's first and last rows it
// is on every row, and the rows need no comparison. Clamped to the canvas's
// columns unless kInside. Kept out of line so that its few values stay in
// registers.
template <bool kInside>
[[gnu::noinline]] void fixed_edge_rows(const Canvas &c, uint32_t *row, int64_t rows, int64_t a, int64_t a_step,
                                       int64_t b, int64_t b_step, uint32_t color) {
    const int64_t stride = c.stride, n1 = rows - 1;
    const int64_t a1 = a + n1 * a_step, b1 = b + n1 * b_step;
    if ((a <= b && a1 <= b1) || (b <= a && b1 <= a1)) {  // the right edge is a run ending one column before
        if (b < a || b1 < a1)
            ordered_side_rows<kInside>(c, row, rows, b, b_step, a - (int64_t(1) << 32), a_step, color);
        else
            ordered_side_rows<kInside>(c, row, rows, a, a_step, b - (int64_t(1) << 32), b_step, color);
        return;
    }
    for (; rows > 0; rows--, row += stride) {
        int64_t lo = std::min(a, b) >> 32, hi = std::max(a, b) >> 32;
        row_span<kInside>(c, row, lo, hi, color);
        a += a_step;
        b += b_step;
    }
}

// Moves an edge's x on to the next row.
inline void step_edge(Edge &e) {
    e.q += e.step_q;
    e.r += e.step_r;
    if (e.r >= e.den) {
        e.r -= e.den;
        e.q++;
    }
}

// Smallest integer row n with n * kFixOne >= v.
int64_t ceil_row(int64_t v) { return v == INT64_MIN ? v >> kFixShift : -((-v) >> kFixShift); }

}  // namespace

// Fills a polygon by the alternate rule with an active edge list.
void raster_polygon_fill(const Canvas &c, const FixPoint *points, int64_t count, uint32_t color) {
    if (count < 3 || c.empty()) return;
    thread_local std::vector<Edge> edges;  // kept between calls: no allocation per polygon
    thread_local std::vector<Edge *> active;
    thread_local std::vector<int64_t> xs;
    edges.clear();
    active.clear();
    int64_t row_min = INT64_MAX, row_max = INT64_MIN;
    for (int64_t i = 0; i < count; i++) {
        FixPoint p = points[i], q = points[i + 1 < count ? i + 1 : 0];
        if (p.y == q.y) continue;
        int dir = 1;
        if (p.y > q.y) {
            std::swap(p, q);
            dir = -1;
        }
        Edge e;
        e.y_first = std::max(ceil_row(p.y), c.y0);
        e.y_end = std::min(ceil_row(q.y), c.y1);
        if (e.y_first >= e.y_end) continue;
        // x(Y) = p.x + (Y - p.y) * dx / dy in fixed units; in pixels that is
        // (p.x * dy + (Y - p.y) * dx) / (dy * kFixOne).
        int64_t dx = q.x - p.x, dy = q.y - p.y;
        const int64_t small = int64_t(1) << 29;
        if (p.x > -small && p.x < small && dx > -small && dx < small && dy < small && e.y_first > -(1 << 20) &&
            e.y_first < (1 << 20)) {  // the usual case fits 64 bits
            int64_t den = dy * kFixOne;
            int64_t num = p.x * dy + (e.y_first * kFixOne - p.y) * dx;
            int64_t step = dx * kFixOne;
            if (((p.x | p.y | q.x | q.y) & (kFixOne - 1)) == 0) {  // whole pixels: each term
                // carries kFixOne twice; without it the denominator is smaller
                den /= kFixOne * kFixOne;
                num /= kFixOne * kFixOne;
                step /= kFixOne * kFixOne;
            }
            e.den = den;
            e.q = floor_div64(num, den);
            e.r = num - e.q * den;
            e.step_q = floor_div64(step, den);
            e.step_r = step - e.step_q * den;
        } else {
            i128 den = (i128)dy * kFixOne;
            i128 num = (i128)p.x * dy + ((i128)e.y_first * kFixOne - p.y) * dx;
            e.den = (int64_t)den;
            e.q = floor_div(num, den);
            e.r = (int64_t)(num - (i128)e.q * den);
            i128 step = (i128)dx * kFixOne;
            e.step_q = floor_div(step, den);
            e.step_r = (int64_t)(step - (i128)e.step_q * den);
        }
        e.x_lo = ceil_row(std::min(p.x, q.x));  // ceil to whole pixels, like a row
        e.x_hi = ceil_row(std::max(p.x, q.x));
        e.dir = dir;
        edges.push_back(e);
        row_min = std::min(row_min, e.y_first);
        row_max = std::max(row_max, e.y_end);
    }
    if (edges.empty()) return;
    // By first row: insertion for the usual handful of edges, a full sort beyond.
    if (edges.size() <= 16) {
        for (size_t i = 1; i < edges.size(); i++) {
            Edge e = edges[i];
            size_t j = i;
            for (; j > 0 && edges[j - 1].y_first > e.y_first; j--) edges[j] = edges[j - 1];
            edges[j] = e;
        }
    } else {
        std::sort(edges.begin(), edges.end(), [](const Edge &a, const Edge &b) { return a.y_first < b.y_first; });
    }
    size_t next = 0;
    for (int64_t y = row_min; y < row_max; y++) {
        while (next < edges.size() && edges[next].y_first == y) active.push_back(&edges[next++]);
        if (active.empty()) {
            if (next >= edges.size()) break;
            y = edges[next].y_first - 1;  // jump over an empty band
            continue;
        }
        // Until the next edge starts or an active one ends, the same edges
        // cross every row: with two of them (any convex shape) the row is a
        // single span, filled straight from their stepped positions.
        int64_t band_end = next < edges.size() ? edges[next].y_first : row_max;
        for (Edge *e : active) band_end = std::min(band_end, e->y_end);
        // Edge rows are already clipped to the canvas: only columns are clamped.
        uint32_t *row = canvas_row(c, y);
        const int64_t rows = band_end - y;
        if (active.size() == 2 && fits_fixed(active[0]->x_lo, active[0]->x_hi, active[0]->den, rows) &&
            fits_fixed(active[1]->x_lo, active[1]->x_hi, active[1]->den, rows)) {
            Edge &ea = *active[0], &eb = *active[1];
            int64_t a = edge_ceil_fixed(ea), b = edge_ceil_fixed(eb);
            int64_t a_step = fixed_from(ea.step_q, ea.step_r, ea.den);
            int64_t b_step = fixed_from(eb.step_q, eb.step_r, eb.den);
            if (std::min(ea.x_lo, eb.x_lo) >= c.x0 && std::max(ea.x_hi, eb.x_hi) <= c.x1)
                fixed_edge_rows<true>(c, row, rows, a, a_step, b, b_step, color);
            else
                fixed_edge_rows<false>(c, row, rows, a, a_step, b, b_step, color);
            skip_edge(ea, rows);
            skip_edge(eb, rows);
            y = band_end;
        } else if (active.size() == 2) {
            Edge a = *active[0], b = *active[1];  // stepped in registers, written back below
            for (; y < band_end; y++, row += c.stride) {
                int64_t xa = a.q + (a.r > 0 ? 1 : 0), xb = b.q + (b.r > 0 ? 1 : 0);
                if (xa > xb) std::swap(xa, xb);
                blit_row(c, row, xa, xb, color);
                step_edge(a);
                step_edge(b);
            }
            *active[0] = a;
            *active[1] = b;
        } else {
            for (; y < band_end; y++, row += c.stride) {
                xs.clear();
                for (Edge *e : active) {  // ceil(x), kept sorted by insertion: rows have few crossings
                    int64_t x = e->q + (e->r > 0 ? 1 : 0);
                    xs.push_back(x);
                    size_t j = xs.size() - 1;
                    while (j > 0 && xs[j - 1] > x) {
                        xs[j] = xs[j - 1];
                        j--;
                    }
                    xs[j] = x;
                }
                for (size_t i = 0; i + 1 < xs.size(); i += 2) blit_row(c, row, xs[i], xs[i + 1], color);
                for (Edge *e : active) step_edge(*e);
            }
        }
        y--;  // the loop's own increment moves on to band_end
        size_t keep = 0;
        for (Edge *e : active)
            if (e->y_end > band_end) active[keep++] = e;
        active.resize(keep);
    }
}

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

// Rows of a band whose runs are known in order: each row from the left run's
// start to the right run's end. Clamped to the canvas's columns unless kInside.
template <bool kInside>
void ordered_side_rows(const Canvas &c, uint32_t *row, int64_t rows, int64_t ls, int64_t l_step, int64_t re,
                       int64_t r_step, uint32_t color) {
    const int64_t stride = c.stride;
    re += int64_t(1) << 32;  // one column on: the run's end becomes the span's end
    for (; rows > 0; rows--, row += stride) {
        int64_t lo = ls >> 32, hi = re >> 32;
        row_span<kInside>(c, row, lo, hi, color);
        ls += l_step;
        re += r_step;
    }
}

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

// Fills a parallelogram with whole-pixel corners near the origin by walking
// its two sides from the top corner down, band by band; anything else goes
// to raster_polygon_fill, whose pixels these are.
void raster_parallelogram_fill(const Canvas &c, const FixPoint *points, uint32_t color) {
    const int64_t near = int64_t(1) << 24;  // keeps every product below in 64 bits
    int64_t x[4], y[4];
    bool usable = true;
    for (int i = 0; i < 4; i++) {
        usable = usable && ((points[i].x | points[i].y) & (kFixOne - 1)) == 0;
        x[i] = points[i].x >> kFixShift;
        y[i] = points[i].y >> kFixShift;
        usable = usable && x[i] > -near && x[i] < near && y[i] > -near && y[i] < near;
    }
    // A parallelogram (opposite sides equal) of non-zero area is convex: each
    // row crosses one side of each chain from the top corner to the bottom one.
    // (Worked out only for near corners: far ones overflow 64 bits.)
    usable = usable && x[0] + x[2] == x[1] + x[3] && y[0] + y[2] == y[1] + y[3] &&
             (x[1] - x[0]) * (y[3] - y[0]) != (y[1] - y[0]) * (x[3] - x[0]);
    int top = 0, bottom = 0;
    for (int i = 1; i < 4; i++) {
        if (y[i] < y[top]) top = i;
        if (y[i] > y[bottom]) bottom = i;
    }
    const int64_t first = std::max(y[top], c.y0), end = std::min(y[bottom], c.y1);
    if (usable && first < end && (y[bottom] - y[top]) * (end - first) > (int64_t(1) << 32)) usable = false;
    if (!usable) {
        raster_polygon_fill(c, points, 4, color);
        return;
    }
    if (first >= end) return;
    const int64_t x_min = std::min({x[0], x[1], x[2], x[3]}), x_max = std::max({x[0], x[1], x[2], x[3]});
    const bool inside = x_min >= c.x0 && x_max <= c.x1;
    // Each chain: its current corner and the next one along it (one chain forwards, one backwards).
    int a_from = top, b_from = top;
    auto next = [](int i, int dir) { return (i + dir + 4) & 3; };
    int64_t y_now = first;
    while (y_now < end) {
        while (y[next(a_from, 1)] <= y_now) a_from = next(a_from, 1);  // the side covering row y_now
        while (y[next(b_from, -1)] <= y_now) b_from = next(b_from, -1);
        const int a_to = next(a_from, 1), b_to = next(b_from, -1);
        const int64_t band_end = std::min({y[a_to], y[b_to], end});
        // ceil(x) at row y_now and its step, in fixed point: x = x0 + (y - y0) dx / dy.
        auto start = [&](int from, int to, int64_t *step) {
            const int64_t dx = x[to] - x[from], dy = y[to] - y[from];
            const int64_t num = x[from] * dy + (y_now - y[from]) * dx + dy - 1;  // ceil by flooring num / dy
            const int64_t v = floor_div64(num, dy), step_q = floor_div64(dx, dy);
            *step = fixed_from(step_q, dx - step_q * dy, dy);
            return fixed_from(v, num - v * dy, dy);
        };
        int64_t a_step, b_step;
        const int64_t a = start(a_from, a_to, &a_step), b = start(b_from, b_to, &b_step);
        if (inside)
            fixed_edge_rows<true>(c, canvas_row(c, y_now), band_end - y_now, a, a_step, b, b_step, color);
        else
            fixed_edge_rows<false>(c, canvas_row(c, y_now), band_end - y_now, a, a_step, b, b_step, color);
        y_now = band_end;
    }
}

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

// ---- lines -------------------------------------------------------------

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

namespace {

// The w x w disc of a round cap: for row j (0..w-1) its columns
// [start, w - start). Cached per width since the same few widths recur.
struct Disc {
    int64_t width = -1;
    std::vector<int64_t> start;
};

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

}  // namespace

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
// after step, and a batch drawn in bands asks again for each of its wide
// lines in every band the line crosses.
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
