// Batched drawing on memory bitmaps (see batch.h).
#include "gdi/batch_internal.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "gdi/text.h"
#include "platform_tools.h"

namespace {

// A pending shape (its polygon corners or characters start at `first_data`
// in the batch's arrays), the surface box [col0, col1) x [row0, row1) it may
// touch, and the box [cover_l, cover_r) x [cover0, cover1) it paints over
// completely, which hides whatever earlier shapes drew there.
struct Entry {
    Shape shape;
    size_t first_data = 0;
    int64_t col0 = 0, col1 = 0, row0 = 0, row1 = 0;
    int64_t cover_l = 0, cover_r = 0, cover0 = 0, cover1 = 0;
};

// Rectangles narrower than this do not hide what lies below them: cutting
// the shapes below around them would cost more than it saves.
constexpr int64_t kCoverMinimumWidth = 256;

// Past these, a batch is drawn before it grows further.
constexpr size_t kMaxShapes = 4096;
constexpr size_t kMaxPoints = size_t(1) << 20;
constexpr size_t kMaxChars = size_t(1) << 20;

struct Batch {
    const Surface *target = nullptr;
    std::vector<Entry> entries;
    std::vector<PixelPoint> points;
    std::vector<char> chars;
    // Where the bitmap's parts are drawn: the whole of it on itself, unless
    // a copy to a window takes part of it there.
    Part parts[5];
    int part_count = 1;
};

Batch batch;

// Whether shapes on bitmaps are batched (else drawn at once).
bool batching = true;

// Draws one shape on a canvas; `data` holds a polygon's corners or a text's characters.
void render(const Shape &s, const Canvas &c, const void *data) {
    const PixelPoint *points = static_cast<const PixelPoint *>(data);
    switch (s.kind) {
    case ShapeKind::Text:
        text_draw(s.face, c, s.l, s.t, static_cast<const char *>(data), (int)s.point_count, s.pen_color, s.brush,
                  s.brush_color);
        break;
    case ShapeKind::FillRect:
        raster_fill_rect(c, s.l, s.t, s.r, s.b, s.brush_color);
        break;
    case ShapeKind::Rectangle:
        if (s.pen_width > 1)
            raster_rectangle_wide(c, s.l, s.t, s.r, s.b, s.pen_width, s.pen_color, s.brush, s.brush_color);
        else
            raster_rectangle(c, s.l, s.t, s.r, s.b, s.pen_width == 1, s.pen_color, s.brush, s.brush_color);
        break;
    case ShapeKind::Ellipse:
        raster_ellipse(c, s.l, s.t, s.r, s.b, s.pen_width, s.pen_color, s.brush, s.brush_color);
        break;
    case ShapeKind::Polygon:
        raster_polygon(c, points, s.point_count, s.pen_width, s.pen_color, s.brush, s.brush_color);
        break;
    case ShapeKind::Line:
        if (s.pen_width == 1)
            raster_line(c, s.l, s.t, s.r, s.b, s.pen_color);
        else if (s.pen_width > 1)
            raster_wide_line(c, s.l, s.t, s.r, s.b, s.pen_width, s.pen_color);
        break;
    }
}

// A box that holds every pixel the shape can touch, in DC coordinates:
// [*x0, *x1) x [*y0, *y1). A wide pen reaches at most its width beyond the
// path on every side.
inline __attribute__((always_inline)) void reach_of(const Shape &s, const PixelPoint *points, int64_t *x0,
                                                   int64_t *y0, int64_t *x1, int64_t *y1) {
    int64_t l = s.l, t = s.t, r = s.r, b = s.b;
    if (s.kind == ShapeKind::Polygon) {
        l = t = INT64_MAX;
        r = b = INT64_MIN;
        for (int64_t i = 0; i < s.point_count; i++) {
            l = std::min<int64_t>(l, points[i].x);
            r = std::max<int64_t>(r, points[i].x);
            t = std::min<int64_t>(t, points[i].y);
            b = std::max<int64_t>(b, points[i].y);
        }
    } else if (s.kind == ShapeKind::Line) {
        if (l > r) std::swap(l, r);
        if (t > b) std::swap(t, b);
    }
    int64_t margin = s.pen_width + 2;
    *x0 = l - margin;
    *y0 = t - margin;
    *x1 = r + margin;
    *y1 = b + margin;
}

// The entry's canvas cut to surface columns [c0, c1) and rows [r0, r1).
Canvas clipped(const Entry &e, int64_t c0, int64_t c1, int64_t r0, int64_t r1) {
    Canvas c = e.shape.canvas;
    c.x0 = std::max(c.x0, c0 - c.org_x);
    c.x1 = std::min(c.x1, c1 - c.org_x);
    c.y0 = std::max(c.y0, r0 - c.org_y);
    c.y1 = std::min(c.y1, r1 - c.org_y);
    return c;
}

// Draws one entry clipped to surface columns [c0, c1) and rows [r0, r1), each
// part of the bitmap where it goes.
void draw_entry(const Entry &e, int64_t c0, int64_t c1, int64_t r0, int64_t r1) {
    const void *data = e.shape.kind == ShapeKind::Text ? (const void *)(batch.chars.data() + e.first_data)
                                                        : (const void *)(batch.points.data() + e.first_data);
    if (batch.part_count == 1 && batch.parts[0].redirect == nullptr) {  // the whole bitmap on itself
        Canvas c = clipped(e, c0, c1, r0, r1);
        if (!c.empty()) render(e.shape, c, data);
        return;
    }
    for (int i = 0; i < batch.part_count; i++) {
        const Part &part = batch.parts[i];
        const Block &k = part.block;
        Canvas c = clipped(e, std::max(c0, k.l), std::min(c1, k.r), std::max(r0, k.t), std::min(r1, k.b));
        if (c.empty()) continue;
        if (part.redirect) {
            c.pixels = part.redirect->pixels;
            c.stride = part.redirect->stride;
            c.org_x += part.shift_x;
            c.org_y += part.shift_y;
        }
        render(e.shape, c, data);
    }
}

// Draws every shape over surface rows [r0, r1). Shapes before entry `cover`
// (when it is one) are drawn only outside the columns it paints over.
void draw_rows(int64_t r0, int64_t r1, size_t cover, bool covered) {
    const int64_t left = covered ? batch.entries[cover].cover_l : 0;
    const int64_t right = covered ? batch.entries[cover].cover_r : 0;
    for (size_t i = 0; i < batch.entries.size(); i++) {
        const Entry &e = batch.entries[i];
        if (e.row1 <= r0 || e.row0 >= r1) continue;
        if (!covered || i >= cover) {
            draw_entry(e, INT64_MIN, INT64_MAX, r0, r1);
            continue;
        }
        if (e.col0 < left) draw_entry(e, INT64_MIN, left, r0, r1);
        if (e.col1 > right) draw_entry(e, right, INT64_MAX, r0, r1);
    }
}

// Draws the batch, each part of the bitmap where it goes. On each row, what
// the last wide solid rectangle across it paints over is never seen, so the
// shapes before it are drawn only around it.
void draw_batch() {
    if (batch.target == nullptr || batch.entries.empty()) return;
    const int64_t height = batch.target->height;
    static std::vector<size_t> cover;  // per row: covering entry + 1, or 0
    cover.assign((size_t)std::max<int64_t>(height, 0), 0);
    for (size_t i = 0; i < batch.entries.size(); i++) {
        const Entry &e = batch.entries[i];
        for (int64_t r = std::max<int64_t>(e.cover0, 0); r < std::min(e.cover1, height); r++) cover[(size_t)r] = i + 1;
    }
    for (int64_t r = 0; r < height;) {  // runs of rows under the same rectangle
        size_t k = cover[(size_t)r];
        int64_t end = r + 1;
        while (end < height && cover[(size_t)end] == k) end++;
        draw_rows(r, end, k > 0 ? k - 1 : 0, k > 0);
        r = end;
    }
}

// Empties the batch.
void clear_batch() {
    batch.entries.clear();
    batch.points.clear();
    batch.chars.clear();
    batch.target = nullptr;
}

// Draws the batch on its bitmap (which first takes its pixels back from a
// window it was shown on) and empties it.
void run_batch() {
    if (batch.target != nullptr) shown_settle(batch.target);
    draw_batch();
    clear_batch();
}

// The box of the DC that a solid rectangle paints over completely, clipped
// to its canvas: [*l, *r) x [*t, *b), empty for any other shape.
void cover_of(const Shape &s, int64_t *l, int64_t *t, int64_t *r, int64_t *b) {
    *l = *t = *r = *b = 0;
    if (s.kind == ShapeKind::FillRect) {
        *l = s.l, *t = s.t, *r = s.r, *b = s.b;
    } else if (s.kind == ShapeKind::Rectangle && s.brush && s.pen_width == 1 && s.r - s.l >= 2 && s.b - s.t >= 2) {
        *l = s.l, *t = s.t, *r = s.r, *b = s.b;  // outline and brush together
    } else if (s.kind == ShapeKind::Rectangle && s.brush && s.pen_width == 0) {
        *l = s.l, *t = s.t, *r = s.r - 1, *b = s.b - 1;  // the brush leaves out the right column and bottom row
    }
    const Canvas &c = s.canvas;
    *l = std::max(*l, c.x0);
    *r = std::min(*r, c.x1);
    *t = std::max(*t, c.y0);
    *b = std::min(*b, c.y1);
    if (*r - *l < kCoverMinimumWidth || *t >= *b) *l = *t = *r = *b = 0;
}

// Draws at once on windows, when batching is off, or when the shape's
// corners or characters alone would fill a batch; otherwise adds it to the
// batch. `data` holds `count` polygon corners or characters. A bitmap's
// canvas comes without pixels (see gdi_canvas): they are the target's.
template <class T>
void add(const Surface *target, const Shape &given, const T *data, size_t count, std::vector<T> &store,
         size_t limit) {
    if (given.canvas.empty()) return;
    Shape shape = given;
    if (target != nullptr) {
        shape.canvas.pixels = target->pixels;
        shape.canvas.stride = target->stride;
    }
    if (target == nullptr || !batching || count > limit) {
        if (target != nullptr)
            batch_flush(target);
        else
            batch_window_changing(shape.canvas.pixels);
        render(shape, shape.canvas, data);
        return;
    }
    if (batch.target != target || batch.entries.size() >= kMaxShapes || store.size() + count > limit) run_batch();
    int64_t x0, y0, x1, y1;
    if (shape.kind == ShapeKind::Text) {  // any column (ink may start left of the pen), the run's rows
        text_rows(shape.face, shape.t, &y0, &y1);
        x0 = INT64_MIN;
        x1 = INT64_MAX;
    } else {
        reach_of(shape, reinterpret_cast<const PixelPoint *>(data), &x0, &y0, &x1, &y1);
    }
    const Canvas &c = shape.canvas;
    x0 = std::max(x0, c.x0);
    x1 = std::min(x1, c.x1);
    y0 = std::max(y0, c.y0);
    y1 = std::min(y1, c.y1);
    if (x0 >= x1 || y0 >= y1) return;  // nothing of it can show
    batch.target = target;
    Entry e;
    e.shape = shape;
    e.first_data = store.size();
    e.col0 = x0 + c.org_x;
    e.col1 = x1 + c.org_x;
    e.row0 = y0 + c.org_y;
    e.row1 = y1 + c.org_y;
    cover_of(shape, &e.cover_l, &e.cover0, &e.cover_r, &e.cover1);
    e.cover_l += c.org_x;
    e.cover_r += c.org_x;
    e.cover0 += c.org_y;
    e.cover1 += c.org_y;
    if (count > 0) store.insert(store.end(), data, data + count);
    batch.entries.push_back(e);
}

}  // namespace

void batch_draw(const Surface *target, const Shape &shape, const PixelPoint *points) {
    size_t count = shape.kind == ShapeKind::Polygon ? (size_t)shape.point_count : 0;
    add(target, shape, points, count, batch.points, kMaxPoints);
}

void batch_text(const Surface *target, const Shape &shape, const char *text) {
    add(target, shape, text, (size_t)shape.point_count, batch.chars, kMaxChars);
}

// Draws what is pending on the surface (or on any surface); the bitmap gets
// its own pixels back from a window it was shown on.
void batch_flush(const Surface *surface) {
    shown_settle(surface);
    if (batch.target == nullptr || (surface != nullptr && surface != batch.target)) return;
    run_batch();
}

// Drops the pending shapes of a bitmap that is being freed, and its link to a window.
void batch_forget(const Surface *surface) {
    if (surface == nullptr) return;
    shown_forget(surface);
    if (batch.target == surface) clear_batch();
}

// Draws the bitmap's pending shapes with its parts placed as given, then
// empties the batch; false, with nothing drawn, when none are pending.
bool batch_draw_in_parts(const Surface *bitmap, const Part *parts, int count) {
    if (batch.target != bitmap || batch.entries.empty()) return false;
    std::copy(parts, parts + count, batch.parts);
    batch.part_count = count;
    draw_batch();
    batch.parts[0] = Part{};
    batch.part_count = 1;
    clear_batch();
    return true;
}

bool batch_enabled(void) { return batching; }

// Turns batching on or off; pending shapes are drawn first.
void platform_set_batching(int on) {
    batch_flush(nullptr);
    batching = on != 0;
}
