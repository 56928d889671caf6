// Fills and blits: the span blitter every scan converter feeds, whole
// rectangles at memset speed, and block copies for BitBlt and ScrollDC.
#include <cstring>
#include <cwchar>

#include "gdi/raster_internal.h"

#if KAPLO_RASTER_AVX2
#include <immintrin.h>

// Fills n >= 16 pixels with 32-byte stores: an unaligned first store, an
// aligned run, and an overlapping last store.
__attribute__((target("avx2"))) void fill_pixels_avx2(uint32_t *p, int64_t n, uint32_t color) {
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

extern const bool raster_has_avx2 = __builtin_cpu_supports("avx2");
#endif

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>

// Fills n >= 16 pixels with 16-byte stores of WebAssembly's SIMD, the last
// store overlapping the ones before it (the C library's wmemset there is a
// plain loop).
void fill_pixels_simd128(uint32_t *p, int64_t n, uint32_t color) {
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
#endif

// Fills n >= 16 pixels with wmemset (the C library's vectorised 32-bit fill).
void fill_pixels_wmemset(uint32_t *p, int64_t n, uint32_t color) {
    static_assert(sizeof(wchar_t) == sizeof(uint32_t), "32-bit wchar_t expected");
    wmemset(reinterpret_cast<wchar_t *>(p), (wchar_t)color, (size_t)n);
}

namespace {

// The long fill for this processor: 32-byte stores where it has them, else wmemset.
typedef void (*LongFill)(uint32_t *, int64_t, uint32_t);
#if KAPLO_RASTER_AVX2
const LongFill g_fill_long = raster_has_avx2 ? fill_pixels_avx2 : fill_pixels_wmemset;
#elif defined(__wasm_simd128__)
const LongFill g_fill_long = fill_pixels_simd128;
#else
const LongFill g_fill_long = fill_pixels_wmemset;
#endif

}  // namespace

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
        const LongFill fill = g_fill_long ? g_fill_long : fill_pixels_wmemset;  // set before main
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
