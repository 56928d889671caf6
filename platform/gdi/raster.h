// The rasteriser: clip -> spans -> blit.
//
// A Canvas is the visible part of a DC's pixels (clip already applied, in DC
// coordinates). Each scan converter below walks only the rows of the canvas
// that its shape can touch and hands horizontal spans to blit_span, which
// clamps them to the canvas and fills them at memset speed; text hands rows
// of glyph coverage to blit_coverage, which clamps them the same way and
// blends (raster_blend.cpp). One file per family: raster_fill.cpp (fills,
// blits, block copies), raster_rect.cpp, raster_ellipse.cpp,
// raster_polygon.cpp (Polygon) and raster_polyfill.cpp (the fill),
// raster_line.cpp (lines and caps); what they share sits in
// raster_internal.h. All geometry is done in 64-bit (128-bit where products
// need it), so any int32 input is safe and costs no more than its visible
// part.
#pragma once

#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

struct Canvas {
    uint32_t *pixels = nullptr;  // pixel of surface (0, 0)
    int64_t stride = 0;          // in pixels
    int64_t org_x = 0, org_y = 0;  // DC (0, 0) on the surface
    // Clip in DC coordinates, end exclusive; empty when x0 >= x1 or y0 >= y1.
    int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    bool empty() const { return x0 >= x1 || y0 >= y1; }
};

// A point in 24.8 fixed point, for polygons with sub-pixel corners.
struct FixPoint {
    int64_t x;
    int64_t y;
};
constexpr int kFixShift = 8;

// A corner on whole pixels, laid out as Win32's POINT.
struct PixelPoint {
    int32_t x;
    int32_t y;
};
constexpr int64_t kFixOne = int64_t(1) << kFixShift;

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KAPLO_RASTER_AVX2 1
// Fills n >= 16 pixels with 32-byte stores (processors with AVX2 only).
void fill_pixels_avx2(uint32_t *p, int64_t n, uint32_t color);
// Whether the processor has AVX2; false until static data is set up.
extern const bool raster_has_avx2;
#else
#define KAPLO_RASTER_AVX2 0
#endif
#if defined(__wasm_simd128__)
// Fills n >= 16 pixels with WebAssembly's 16-byte stores.
void fill_pixels_simd128(uint32_t *p, int64_t n, uint32_t color);
#endif
// Fills n >= 16 pixels with wmemset (the C library's vectorised 32-bit fill).
void fill_pixels_wmemset(uint32_t *p, int64_t n, uint32_t color);

// Fills n >= 16 pixels with one value at memset speed: the processor is
// asked here, in the caller, so that the fill itself is one direct call.
inline void fill_pixels_long(uint32_t *p, int64_t n, uint32_t color) {
#if KAPLO_RASTER_AVX2
    if (raster_has_avx2) {
        fill_pixels_avx2(p, n, color);
        return;
    }
#elif defined(__wasm_simd128__)
    fill_pixels_simd128(p, n, color);
    return;
#endif
    fill_pixels_wmemset(p, n, color);
}

// Fills n pixels with one value; short runs stay inline, long ones go to memset.
inline void fill_pixels(uint32_t *p, int64_t n, uint32_t color) {
#if defined(__SSE2__)
    const __m128i four = _mm_set1_epi32((int)color);  // first, so that a loop of fills makes it once
#endif
    if (n >= 16) {
        fill_pixels_long(p, n, color);
        return;
    }
#if defined(__SSE2__)
    if (n >= 4) {  // four pixels a store: two stores from each end, overlapping in the middle
        if (n >= 8) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 4), four);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(p + n - 8), four);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p), four);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p + n - 4), four);
        return;
    }
    if (n > 0) {  // one to three pixels: first, middle and last
        p[0] = color;
        p[n >> 1] = color;
        p[n - 1] = color;
    }
#else
    for (int64_t i = 0; i < n; i++) p[i] = color;
#endif
}

// Fills [xa, xb) of a row whose first pixel is row[0], clamped to the canvas's columns.
inline void blit_row(const Canvas &c, uint32_t *row, int64_t xa, int64_t xb, uint32_t color) {
    if (xa < c.x0) xa = c.x0;
    if (xb > c.x1) xb = c.x1;
    if (xa < xb) fill_pixels(row + xa, xb - xa, color);
}

// Pixel (0, y) of the canvas in DC coordinates, as a row base for blit_row.
inline uint32_t *canvas_row(const Canvas &c, int64_t y) { return c.pixels + (y + c.org_y) * c.stride + c.org_x; }

// Fills [xa, xb) of row y, clamped to the canvas.
inline void blit_span(const Canvas &c, int64_t y, int64_t xa, int64_t xb, uint32_t color) {
    if (y < c.y0 || y >= c.y1) return;
    blit_row(c, canvas_row(c, y), xa, xb, color);
}
// A mask of coverage for one colour (a glyph): rows of width bytes, 0 (none)
// to 255 (full), and optionally the vector blender's weights for them
// (coverage_weights), which blend the same pixels eight at a time.
struct CoverageMask {
    const uint8_t *coverage = nullptr;
    const uint32_t *weights = nullptr;  // null: blended a pixel at a time
    int64_t width = 0, rows = 0;
};

// Blends w x h pixels from dst (rows stride apart) with the mask from its
// (mx, my) on; the room pixels from dst on lie inside the canvas.
void blend_coverage(uint32_t *dst, int64_t stride, const CoverageMask &m, int64_t mx, int64_t my, int64_t w,
                    int64_t h, int64_t room, uint32_t color);

// The coverage blit beside the span blit: the mask with its top-left at
// (x, y), clamped to the canvas, blended over the pixels in one colour.
inline void blit_coverage(const Canvas &c, const CoverageMask &m, int64_t x, int64_t y, uint32_t color) {
    const int64_t xa = x > c.x0 ? x : c.x0, xb = x + m.width < c.x1 ? x + m.width : c.x1;
    const int64_t ya = y > c.y0 ? y : c.y0, yb = y + m.rows < c.y1 ? y + m.rows : c.y1;
    if (xa >= xb || ya >= yb) return;
    blend_coverage(canvas_row(c, ya) + xa, c.stride, m, xa - x, ya - y, xb - xa, yb - ya, c.x1 - xa, color);
}

// Whether masks with weights are blended eight pixels at a time.
bool raster_vector_blend(void);
// Turns that off, or back on where the processor has it (AVX2); returns whether it was on.
bool raster_set_vector_blend(bool on);
// The weights of a width x rows coverage mask for the vector blender: two
// planes of width x rows words, each followed by eight spare words.
void coverage_weights(const uint8_t *coverage, int64_t width, int64_t rows, std::vector<uint32_t> *weights);

// Fills the rectangle [l, r) x [t, b).
void raster_fill_rect(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, uint32_t color);

// Rectangle(l, t, r, b) with a one-pixel (or null) pen and a (possibly null)
// brush; corners already normalised.
void raster_rectangle(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, bool pen,
                      uint32_t pen_color, bool brush, uint32_t brush_color);
// Rectangle with a pen wider than one pixel: brush inside, then the outline
// stroked with round joins, centred on the one-pixel path.
void raster_rectangle_wide(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, int64_t width,
                           uint32_t pen_color, bool brush, uint32_t brush_color);

// Ellipse inscribed in the normalised box [l, r) x [t, b); pen width 0 means
// no pen, 1 a one-pixel outline, more a band centred on that outline.
void raster_ellipse(const Canvas &c, int64_t l, int64_t t, int64_t r, int64_t b, int64_t pen_width,
                    uint32_t pen_color, bool brush, uint32_t brush_color);

// Fills a polygon (fixed-point corners) by the alternate rule: on row y the
// spans run from ceil(x_left) to ceil(x_right), edges covering top <= y < bottom.
void raster_polygon_fill(const Canvas &c, const FixPoint *points, int64_t count, uint32_t color);

// The same for a parallelogram (four corners, opposite sides equal), faster
// when its corners are whole pixels near the origin.
void raster_parallelogram_fill(const Canvas &c, const FixPoint *points, uint32_t color);

// Polygon(): the brush fills by the alternate rule, then the pen (0: none)
// outlines it edge by edge.
void raster_polygon(const Canvas &c, const PixelPoint *points, int64_t count, int64_t pen_width,
                    uint32_t pen_color, bool brush, uint32_t brush_color);

// One-pixel line from (x0, y0) towards (x1, y1), end pixel left out; a tie
// goes to the smaller minor coordinate.
void raster_line(const Canvas &c, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t color);
// Wide line: its body plus a round cap on each end (end point covered).
void raster_wide_line(const Canvas &c, int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t width,
                      uint32_t color);
// Round cap (a width x width disc) on the point, placed as a wide body is.
void raster_cap(const Canvas &c, int64_t x, int64_t y, int64_t width, uint32_t color);

// Copies a w x h block inside or between pixel arrays, overlap-safe.
void copy_block(uint32_t *dst, int64_t dst_stride, const uint32_t *src, int64_t src_stride, int64_t w,
                int64_t h);
