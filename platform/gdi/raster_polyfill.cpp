// The polygon fill by the alternate rule: the general active-edge fill on
// 24.8 fixed-point corners, and the faster walk of parallelograms (the
// bodies of wide lines).
#include "gdi/raster_internal.h"

namespace {

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
