// What the batch and the window redirect (batch_redirect.cpp) share: the
// parts a bitmap's pending shapes are drawn in, each on the bitmap or on the
// window it was copied to.
#pragma once

#include "gdi/batch.h"

// A block of surface pixels, [l, r) x [t, b).
struct Block {
    int64_t l = INT64_MIN, t = INT64_MIN, r = INT64_MAX, b = INT64_MAX;
    bool operator==(const Block &o) const { return l == o.l && t == o.t && r == o.r && b == o.b; }
};

// A part of a bitmap, and where its pixels are drawn: on the bitmap itself,
// or (when `redirect`) on a window's surface, whose pixel (x + shift_x,
// y + shift_y) stands for the bitmap's (x, y).
struct Part {
    Block block;
    const Surface *redirect = nullptr;
    int64_t shift_x = 0, shift_y = 0;
};

// Draws the bitmap's pending shapes with its parts placed as given (at most
// five), then empties the batch; false, with nothing drawn, when none are
// pending.
bool batch_draw_in_parts(const Surface *bitmap, const Part *parts, int count);
// Whether shapes on bitmaps are batched at all.
bool batch_enabled(void);

// The bitmap (nullptr: whichever) takes its pixels back from the window it
// was shown on, and the link ends.
void shown_settle(const Surface *bitmap);
// The bitmap is going away: its link to a window ends without a copy.
void shown_forget(const Surface *bitmap);
