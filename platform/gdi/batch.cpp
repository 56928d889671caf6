// Batched drawing on memory bitmaps, drawn in bands of rows by up to two
// threads (see batch.h).
#include "gdi/batch_internal.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sched.h>
#endif

#include "gdi/text.h"
#include "platform_tools.h"

namespace {

// A pending shape (its polygon corners or characters start at `first_data`
// in the batch's arrays), the surface columns [col0, col1) it may touch, and
// the columns [cover_l, cover_r) it paints over completely on its covered
// rows, which hides whatever earlier shapes drew there.
struct Entry {
    Shape shape;
    size_t first_data = 0;
    int64_t col0 = 0, col1 = 0;
    int64_t cover_l = 0, cover_r = 0;
};

// The surface rows [row0, row1) an entry may touch and [cover0, cover1) it
// covers. Kept apart from the entries, so that a band finds its own in a few
// cache lines rather than one line per entry.
struct Rows {
    int64_t row0 = 0, row1 = 0;
    int64_t cover0 = 0, cover1 = 0;
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
constexpr size_t kMaxChars = size_t(1) << 20;
// Below this many pixels of bounding boxes, the second thread is not woken:
// waking it costs more than it would draw.
constexpr int64_t kWorkerMinimumArea = 40000;

struct Batch {
    const Surface *target = nullptr;
    std::vector<Entry> entries;
    std::vector<Rows> rows;  // one per entry
    std::vector<PixelPoint> points;
    std::vector<char> chars;
    int64_t area = 0;  // sum of the shapes' visible bounding boxes
    // Where the bitmap's parts are drawn: the whole of it on itself, unless
    // a copy to a window takes part of it there.
    Part parts[5];
    int part_count = 1;
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

// The processors this process may run on.
int processors() {
#ifdef __linux__
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
#endif
    return (int)std::thread::hardware_concurrency();
}

// 0: shapes drawn at once; 1: batched, drawn by the calling thread; 2:
// batched, drawn by two threads (the default where the process may use two
// processors).
const int default_mode = processors() >= 2 ? 2 : 1;
int mode_setting = default_mode;

// Text drawn by either rendering thread: the glyph cache, its scratch
// buffers and FreeType's faces serve one thread at a time.
std::mutex text_mutex;

// Draws a run of characters (a text shape; its cell at (l, t) of the canvas).
void render_text(const Shape &s, const Canvas &c, const char *text) {
    std::lock_guard<std::mutex> hold(text_mutex);
    text_draw(s.face, c, s.l, s.t, text, (int)s.point_count, s.pen_color, s.brush, s.brush_color);
}

// Draws one shape on a canvas; `data` holds a polygon's corners or a text's characters.
void render(const Shape &s, const Canvas &c, const void *data) {
    const PixelPoint *points = static_cast<const PixelPoint *>(data);
    switch (s.kind) {
    case ShapeKind::Text:
        render_text(s, c, static_cast<const char *>(data));
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
        if (batch.rows[i].row1 <= r0 || batch.rows[i].row0 >= r1) continue;
        const Entry &e = batch.entries[i];
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
    for (size_t i = 0; i < batch.rows.size(); i++) {
        const Rows &e = batch.rows[i];
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

// How long either rendering thread watches for the other before it sleeps.
// Waking a sleeping thread takes several microseconds, tens on a busy
// virtual machine: a good share of a frame. A program that draws frame
// after frame hands each to a thread still awake; one that draws now and
// then leaves it asleep, at the cost of this much watching per flush.
constexpr auto kWatchTime = std::chrono::microseconds(50);

// Tells the processor that the thread is waiting in a loop.
inline void spin_pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    __asm__ __volatile__("yield");
#endif
}

// Checks `done` until it holds (true) or kWatchTime has passed (false).
template <class Done>
bool watch(Done done) {
    const auto until = std::chrono::steady_clock::now() + kWatchTime;
    for (unsigned i = 1;; i++) {
        if (done()) return true;
        if (i % 64 == 0 && std::chrono::steady_clock::now() >= until) return false;
        spin_pause();
    }
}

// The second rendering thread, which a flush offers to share its bands with.
struct Worker {
    enum : int { kIdle, kOffered, kTaken };  // the current flush: none, offered, being drawn
    std::atomic<int> state{kIdle};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable wake, finished;
    std::thread thread;

    // Waits for flushes, watching first, and helps draw them.
    void run() {
        auto offered = [&] { return stop.load() || state.load() == kOffered; };
        for (;;) {
            if (!watch(offered)) {
                std::unique_lock<std::mutex> lock(mutex);
                wake.wait(lock, offered);
            }
            if (stop.load()) return;
            int expected = kOffered;
            if (!state.compare_exchange_strong(expected, kTaken)) continue;  // withdrawn meanwhile
            draw_bands();
            std::lock_guard<std::mutex> lock(mutex);
            state.store(kIdle);
            finished.notify_one();
        }
    }

    // Offers the current flush to the thread, starting it on first use.
    void begin() {
        if (!thread.joinable()) thread = std::thread([this] { run(); });
        state.store(kOffered);
        std::lock_guard<std::mutex> lock(mutex);
        wake.notify_one();
    }

    // Withdraws the offer if the thread has not taken it, else waits until
    // it has drawn its last band.
    void end() {
        int expected = kOffered;
        if (state.compare_exchange_strong(expected, kIdle)) return;
        auto left = [&] { return state.load() == kIdle; };
        if (watch(left)) return;
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, left);
    }

    // Stops the thread at exit.
    ~Worker() {
        if (!thread.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop.store(true);
            wake.notify_one();
        }
        thread.join();
    }
};

Worker worker;

// Draws the batch, each part of the bitmap where it goes (and the copy, if one is set).
void draw_batch() {
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
}

// Empties the batch.
void clear_batch() {
    batch.entries.clear();
    batch.rows.clear();
    batch.points.clear();
    batch.chars.clear();
    batch.area = 0;
    batch.copying = false;
    batch.target = nullptr;
}

// Draws the batch on its bitmap (which first takes its pixels back from a
// window it was shown on) and empties it.
void run_batch() {
    if (batch.target != nullptr) shown_settle(batch.target);
    draw_batch();
    clear_batch();
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

namespace {

// Draws at once on windows, when batching is off, or when the shape's
// corners or characters alone would fill a batch; otherwise adds it to the
// batch. `data` holds `count` polygon corners or characters.
template <class T>
void add(const Surface *target, const Shape &shape, const T *data, size_t count, std::vector<T> &store,
         size_t limit) {
    if (shape.canvas.empty()) return;
    if (target == nullptr || mode_setting < 1 || count > limit) {
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
    Rows rows;
    rows.row0 = y0 + c.org_y;
    rows.row1 = y1 + c.org_y;
    cover_of(shape, &e.cover_l, &rows.cover0, &e.cover_r, &rows.cover1);
    e.cover_l += c.org_x;
    e.cover_r += c.org_x;
    rows.cover0 += c.org_y;
    rows.cover1 += c.org_y;
    if (count > 0) store.insert(store.end(), data, data + count);
    batch.entries.push_back(e);
    batch.rows.push_back(rows);
    batch.area += (x1 - x0) * (y1 - y0);
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

// Draws the source's pending shapes band by band, copying each band out after it.
bool batch_flush_and_copy(const Surface *source, uint32_t *to, int64_t to_stride, const uint32_t *from,
                          int64_t from_stride, int64_t from_row, int64_t w, int64_t h) {
    if (source == nullptr || batch.target != source || batch.entries.empty()) return false;
    batch.copy = CopyJob{to, to_stride, from, from_stride, from_row, w, h};
    batch.copying = true;
    run_batch();
    return true;
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

// Whether shapes on bitmaps are batched at all.
bool batch_enabled(void) { return mode_setting >= 1; }

// Sets how shapes on bitmaps are drawn and the band height; pending shapes
// are drawn first.
void platform_set_batching(int mode, int band_rows) {
    batch_flush(nullptr);
    mode_setting = std::min(std::max(mode, 0), 2);
    if (band_rows > 0) batch.band_rows = band_rows;
}

int platform_default_batching(void) { return default_mode; }
