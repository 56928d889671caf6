// Batched drawing on memory bitmaps, drawn in bands of rows by up to two
// threads (see batch.h).
#include "gdi/batch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform_tools.h"

namespace {

// A pending shape and the surface rows [row0, row1) it may touch.
struct Entry {
    Shape shape;
    size_t first_point = 0;
    int64_t row0 = 0, row1 = 0;
};

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
    // Bands of the flush in progress.
    int64_t band_rows = 64;
    int64_t band_count = 0;
    std::atomic<int64_t> next_band{0};
};

Batch batch;
int thread_setting = std::thread::hardware_concurrency() >= 2 ? 2 : 1;

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

// Draws band `band` of the flush in progress: every shape clipped to its
// rows, then the band's share of the copy.
void draw_band(int64_t band) {
    const int64_t s0 = band * batch.band_rows;
    const int64_t s1 = std::min<int64_t>(s0 + batch.band_rows, batch.target->height);
    for (const Entry &e : batch.entries) {
        if (e.row1 <= s0 || e.row0 >= s1) continue;
        Canvas c = e.shape.canvas;
        c.y0 = std::max(c.y0, s0 - c.org_y);
        c.y1 = std::min(c.y1, s1 - c.org_y);
        if (!c.empty()) render(e.shape, c, batch.points.data() + e.first_point);
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
        bool two = thread_setting >= 2 && work >= kWorkerMinimumArea;
        batch.band_count = two ? (height + batch.band_rows - 1) / batch.band_rows : 1;
        int64_t saved_rows = batch.band_rows;
        if (!two) batch.band_rows = height;  // one band: every shape is set up once
        batch.next_band.store(0, std::memory_order_relaxed);
        if (two) worker.begin();
        draw_bands();
        if (two) worker.end();
        batch.band_rows = saved_rows;
    }
    batch.entries.clear();
    batch.points.clear();
    batch.area = 0;
    batch.copying = false;
    batch.target = nullptr;
}

}  // namespace

// Draws at once on windows or with one thread; otherwise adds to the batch.
void batch_draw(const Surface *target, const Shape &shape, const PixelPoint *points) {
    if (shape.canvas.empty()) return;
    if (target == nullptr || thread_setting < 2) {
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
    e.row0 = y0 + c.org_y;
    e.row1 = y1 + c.org_y;
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

// Sets the thread count and band height; pending shapes are drawn first.
void platform_set_render_threads(int threads, int band_rows) {
    batch_flush(nullptr);
    if (threads > 0) thread_setting = threads >= 2 ? 2 : 1;
    if (band_rows > 0) batch.band_rows = band_rows;
}
