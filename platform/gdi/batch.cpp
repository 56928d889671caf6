// Batched drawing on memory bitmaps, drawn in bands of rows by up to two
// threads (see batch.h).
#include "gdi/batch.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform_tools.h"

namespace {

// A pending shape, the surface box [col0, col1) x [row0, row1) it may touch,
// and the box [cover_l, cover_r) x [cover0, cover1) it paints over
// completely, which hides whatever earlier shapes drew there.
struct Entry {
    Shape shape;
    size_t first_point = 0;
    int64_t col0 = 0, col1 = 0, row0 = 0, row1 = 0;
    int64_t cover_l = 0, cover_r = 0, cover0 = 0, cover1 = 0;
};

// Rectangles narrower than this do not hide what lies below them: cutting
// the shapes below around them would cost more than it saves.
constexpr int64_t kCoverMinimumWidth = 256;

// A block to copy out of the bitmap as its bands are drawn.
struct CopyJob {
    uint32_t *to = nullptr;
    int64_t to_stride = 0;
    const uint32_t *from = nullptr;
    int64_t from_stride = 0;
    int64_t from_row = 0, w = 0, h = 0;
};

// Past these, a batch is drawn before it grows further.
constexpr size_t kMaxShapes = 4096;
constexpr size_t kMaxPoints = size_t(1) << 20;
// Below this many pixels of bounding boxes, the second thread is not woken:
// waking it costs more than it would draw.
constexpr int64_t kWorkerMinimumArea = 40000;

struct Batch {
    const Surface *target = nullptr;
    std::vector<Entry> entries;
    std::vector<PixelPoint> points;
    int64_t area = 0;  // sum of the shapes' visible bounding boxes
    CopyJob copy;
    bool copying = false;
    // Band height with two threads; a single thread draws one band, so
    // that every shape is set up once.
    int64_t band_rows = 64;
    // Bands of the flush in progress.
    int64_t flush_rows = 0;
    int64_t band_count = 0;
    std::atomic<int64_t> next_band{0};
};

Batch batch;
// 0: shapes drawn at once; 1: batched, drawn by the calling thread; 2:
// batched, drawn by two threads.
int mode_setting = 1;

// Draws one shape on a canvas.
void render(const Shape &s, const Canvas &c, const PixelPoint *points) {
    switch (s.kind) {
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
void reach_of(const Shape &s, const PixelPoint *points, int64_t *x0, int64_t *y0, int64_t *x1, int64_t *y1) {
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

// Draws one entry clipped to surface columns [c0, c1) and rows [r0, r1).
void draw_entry(const Entry &e, int64_t c0, int64_t c1, int64_t r0, int64_t r1) {
    Canvas c = e.shape.canvas;
    c.x0 = std::max(c.x0, c0 - c.org_x);
    c.x1 = std::min(c.x1, c1 - c.org_x);
    c.y0 = std::max(c.y0, r0 - c.org_y);
    c.y1 = std::min(c.y1, r1 - c.org_y);
    if (!c.empty()) render(e.shape, c, batch.points.data() + e.first_point);
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

// Draws band `band` of the flush in progress, then its share of the copy.
// On each row, what the last wide solid rectangle across it paints over is
// never seen, so the shapes before it are drawn only around it.
void draw_band(int64_t band) {
    const int64_t s0 = band * batch.flush_rows;
    const int64_t s1 = std::min<int64_t>(s0 + batch.flush_rows, batch.target->height);
    thread_local std::vector<size_t> cover;  // per row of the band: covering entry + 1, or 0
    cover.assign((size_t)(s1 - s0), 0);
    for (size_t i = 0; i < batch.entries.size(); i++) {
        const Entry &e = batch.entries[i];
        for (int64_t r = std::max(e.cover0, s0); r < std::min(e.cover1, s1); r++) cover[(size_t)(r - s0)] = i + 1;
    }
    for (int64_t r = s0; r < s1;) {  // runs of rows under the same rectangle
        size_t k = cover[(size_t)(r - s0)];
        int64_t end = r + 1;
        while (end < s1 && cover[(size_t)(end - s0)] == k) end++;
        draw_rows(r, end, k > 0 ? k - 1 : 0, k > 0);
        r = end;
    }
    if (!batch.copying) return;
    const CopyJob &j = batch.copy;
    int64_t from = std::max(s0, j.from_row), to = std::min(s1, j.from_row + j.h);
    if (from < to)
        copy_block(j.to + (from - j.from_row) * j.to_stride, j.to_stride, j.from + (from - j.from_row) * j.from_stride,
                   j.from_stride, j.w, to - from);
}

// Takes bands until none is left.
void draw_bands() {
    for (;;) {
        int64_t band = batch.next_band.fetch_add(1, std::memory_order_relaxed);
        if (band >= batch.band_count) return;
        draw_band(band);
    }
}

// The second rendering thread: asleep until a flush hands it bands.
struct Worker {
    std::mutex mutex;
    std::condition_variable wake, finished;
    bool pending = false;  // a flush waits to be taken
    bool busy = false;     // drawing bands of the current flush
    bool stop = false;
    std::thread thread;

    // Waits for flushes and helps draw them.
    void run() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return stop || pending; });
            if (stop) return;
            pending = false;
            busy = true;
            lock.unlock();
            draw_bands();
            lock.lock();
            busy = false;
            finished.notify_one();
        }
    }

    // Offers the current flush to the thread, starting it on first use.
    void begin() {
        if (!thread.joinable()) thread = std::thread([this] { run(); });
        std::lock_guard<std::mutex> lock(mutex);
        pending = true;
        wake.notify_one();
    }

    // Withdraws the offer if the thread has not woken yet, else waits until
    // it has left the flush.
    void end() {
        std::unique_lock<std::mutex> lock(mutex);
        pending = false;
        finished.wait(lock, [&] { return !busy; });
    }

    // Stops the thread at exit.
    ~Worker() {
        if (!thread.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
            wake.notify_one();
        }
        thread.join();
    }
};

Worker worker;

// Draws the batch (and the copy, if one is set) and empties it.
void run_batch() {
    if (batch.target != nullptr && (!batch.entries.empty() || batch.copying)) {
        int64_t height = batch.target->height;
        int64_t work = batch.area + (batch.copying ? batch.copy.w * batch.copy.h : 0);
        bool two = mode_setting >= 2 && work >= kWorkerMinimumArea;
        batch.flush_rows = two ? batch.band_rows : std::max<int64_t>(height, 1);
        batch.band_count = (height + batch.flush_rows - 1) / batch.flush_rows;
        batch.next_band.store(0, std::memory_order_relaxed);
        if (two) worker.begin();
        draw_bands();
        if (two) worker.end();
    }
    batch.entries.clear();
    batch.points.clear();
    batch.area = 0;
    batch.copying = false;
    batch.target = nullptr;
}

}  // namespace

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

// Draws at once on windows or when batching is off; otherwise adds to the batch.
void batch_draw(const Surface *target, const Shape &shape, const PixelPoint *points) {
    if (shape.canvas.empty()) return;
    if (target == nullptr || mode_setting < 1) {
        if (target != nullptr) batch_flush(target);
        render(shape, shape.canvas, points);
        return;
    }
    if (batch.target != target || batch.entries.size() >= kMaxShapes ||
        batch.points.size() + (size_t)shape.point_count > kMaxPoints)
        run_batch();
    int64_t x0, y0, x1, y1;
    reach_of(shape, points, &x0, &y0, &x1, &y1);
    const Canvas &c = shape.canvas;
    x0 = std::max(x0, c.x0);
    x1 = std::min(x1, c.x1);
    y0 = std::max(y0, c.y0);
    y1 = std::min(y1, c.y1);
    if (x0 >= x1 || y0 >= y1) return;  // nothing of it can show
    batch.target = target;
    Entry e;
    e.shape = shape;
    e.first_point = batch.points.size();
    e.col0 = x0 + c.org_x;
    e.col1 = x1 + c.org_x;
    e.row0 = y0 + c.org_y;
    e.row1 = y1 + c.org_y;
    cover_of(shape, &e.cover_l, &e.cover0, &e.cover_r, &e.cover1);
    e.cover_l += c.org_x;
    e.cover_r += c.org_x;
    e.cover0 += c.org_y;
    e.cover1 += c.org_y;
    if (shape.kind == ShapeKind::Polygon) batch.points.insert(batch.points.end(), points, points + shape.point_count);
    batch.entries.push_back(e);
    batch.area += (x1 - x0) * (y1 - y0);
}

// Draws what is pending on the surface (or on any surface).
void batch_flush(const Surface *surface) {
    if (batch.target == nullptr || (surface != nullptr && surface != batch.target)) return;
    run_batch();
}

// Draws the source's pending shapes band by band, copying each band out after it.
bool batch_flush_and_copy(const Surface *source, uint32_t *to, int64_t to_stride, const uint32_t *from,
                          int64_t from_stride, int64_t from_row, int64_t w, int64_t h) {
    if (source == nullptr || batch.target != source || batch.entries.empty()) return false;
    batch.copy = CopyJob{to, to_stride, from, from_stride, from_row, w, h};
    batch.copying = true;
    run_batch();
    return true;
}

// Drops the pending shapes of a bitmap that is being freed.
void batch_forget(const Surface *surface) {
    if (surface == nullptr || batch.target != surface) return;
    batch.entries.clear();
    batch.points.clear();
    batch.area = 0;
    batch.target = nullptr;
}

// Sets how shapes on bitmaps are drawn and the band height; pending shapes
// are drawn first.
void platform_set_batching(int mode, int band_rows) {
    batch_flush(nullptr);
    mode_setting = std::min(std::max(mode, 0), 2);
    if (band_rows > 0) batch.band_rows = band_rows;
}
