// The window redirect: a bitmap copied onto a window stays linked to the
// place it went to, and the next copy of the same block there draws the
// bitmap's pending shapes straight onto the window (see batch.h). The
// bitmap's own pixels in the block catch up only when something needs them.
#include "gdi/batch_internal.h"

namespace {

// The bitmap last copied onto a window: `block` of it went to (x, y) of the
// window's surface. While `behind`, batches drew that block straight onto the
// window (and the rest on the bitmap): the window holds the block's pixels,
// and the bitmap's own are old.
struct Shown {
    const Surface *bitmap = nullptr;
    const Surface *window = nullptr;
    Block block;
    int64_t x = 0, y = 0;
    bool behind = false;
};

Shown shown;

// Gives the shown bitmap its pixels back from the window and ends the link.
void settle() {
    if (shown.bitmap == nullptr) return;
    if (shown.behind) {
        const Surface &b = *shown.bitmap, &w = *shown.window;
        const Block &k = shown.block;
        copy_block(b.pixels + k.t * b.stride + k.l, b.stride, w.pixels + shown.y * w.stride + shown.x, w.stride,
                   k.r - k.l, k.b - k.t);
    }
    shown = Shown{};
}

}  // namespace

// Settles the link when it is the bitmap's (or any, for nullptr).
void shown_settle(const Surface *bitmap) {
    if (shown.bitmap != nullptr && (bitmap == nullptr || bitmap == shown.bitmap)) settle();
}

// Ends the bitmap's link without copying: its pixels are going away.
void shown_forget(const Surface *bitmap) {
    if (shown.bitmap == bitmap) shown = Shown{};
}

// A copy of `block` of the bitmap to where it was last shown: the pending
// shapes are drawn straight onto the window inside the block, and onto the
// bitmap around it.
bool batch_show(const Surface *bitmap, int64_t l, int64_t t, int64_t r, int64_t b, const Surface *window,
                int64_t x, int64_t y) {
    const Block k{l, t, r, b};
    if (bitmap == nullptr || shown.bitmap != bitmap || shown.window != window || !(shown.block == k) ||
        shown.x != x || shown.y != y)
        return false;
    const int64_t w = bitmap->width, h = bitmap->height;
    const Block around[4] = {{0, 0, w, t}, {0, b, w, h}, {0, t, l, b}, {r, t, w, b}};  // above, below, left, right
    Part parts[5] = {Part{k, window, x - l, y - t}};
    int count = 1;
    for (const Block &rest : around)
        if (rest.l < rest.r && rest.t < rest.b) parts[count++] = Part{rest};
    if (batch_draw_in_parts(bitmap, parts, count)) shown.behind = true;
    return true;
}

// `block` of the bitmap was just copied to (x, y) of the window: both hold the same pixels there.
void batch_shown(const Surface *bitmap, int64_t l, int64_t t, int64_t r, int64_t b, const Surface *window,
                 int64_t x, int64_t y) {
    if (bitmap == nullptr || window == nullptr || !batch_enabled() || l >= r || t >= b) return;
    if (shown.bitmap != nullptr && shown.bitmap != bitmap) settle();
    shown = Shown{bitmap, window, Block{l, t, r, b}, x, y, false};
}

// A window's pixels are about to change: the bitmap shown there takes its pixels back.
void batch_window_changing(const uint32_t *window_pixels) {
    if (shown.bitmap != nullptr && shown.window->pixels == window_pixels) settle();
}

