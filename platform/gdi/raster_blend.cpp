// The blender: a coverage mask (0..255 a pixel) of one colour over the
// pixels, clamped to the canvas like every span; eight pixels at a time on
// processors with AVX2, from weights made once per glyph.
#include <cstddef>
#include <vector>

#include "gdi/raster.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KAPLO_VECTOR_BLEND 1
#else
#define KAPLO_VECTOR_BLEND 0
#endif

namespace {

#if KAPLO_VECTOR_BLEND
// Whether masks with weights are blended eight pixels at a time (processors with AVX2).
bool g_vector_blend = __builtin_cpu_supports("avx2");
#else
bool g_vector_blend = false;
#endif

// Blends a coverage value (0..255) of colour over a destination pixel; red
// and blue are weighed together in one multiply, green in another.
inline uint32_t blend(uint32_t dst, uint32_t src, unsigned alpha) {
    unsigned a = alpha + (alpha >> 7);  // 0..256
    unsigned rest = 256 - a;
    uint32_t rb = (((src & 0xFF00FF) * a + (dst & 0xFF00FF) * rest + 0x800080) >> 8) & 0xFF00FF;
    uint32_t g = (((src & 0x00FF00) * a + (dst & 0x00FF00) * rest + 0x008000) >> 8) & 0x00FF00;
    return rb | g;
}

// Blends a box of coverage (rows of pitch bytes) over a box of pixels (rows of
// stride pixels), one pixel at a time.
void blend_box(uint32_t *dst, int64_t stride, const uint8_t *cov, int64_t pitch, int64_t width,
               int64_t rows, uint32_t color) {
    for (int64_t row = 0; row < rows; ++row, dst += stride, cov += pitch) {
        for (int64_t col = 0; col < width; ++col) {
            unsigned alpha = cov[col];
            if (alpha == 255) dst[col] = color;
            else if (alpha) dst[col] = blend(dst[col], color, alpha);
        }
    }
}

#if KAPLO_VECTOR_BLEND

// Lane masks: eight lanes from kLaneMask + 8 - n take the first n of a group.
alignas(32) const int32_t kLaneMask[16] = {-1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0};

// Eight pixels d blended with their weights (see make_weights). Per channel
// it is blend()'s (s * a' + d * (256 - a') + 128) >> 8, computed as
// d + (((s - d) * a' + 128) >> 8) in 16-bit lanes, which is what vpmulhrsw
// of s - d and 128 a' gives. Blue and red sit in the low byte of each 16-bit
// lane, green and the top byte in the high byte.
__attribute__((target("avx2"), always_inline)) inline __m256i blend_eight_avx2(
    __m256i d, const uint32_t *br_weights, const uint32_t *gt_weights, __m256i src_br,
    __m256i src_gt) {
    __m256i d_br = _mm256_and_si256(d, _mm256_set1_epi32(0x00FF00FF));
    __m256i d_gt = _mm256_srli_epi16(d, 8);
    __m256i br_w = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(br_weights));
    __m256i gt_w = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(gt_weights));
    __m256i br = _mm256_add_epi16(d_br, _mm256_mulhrs_epi16(_mm256_sub_epi16(src_br, d_br), br_w));
    __m256i gt = _mm256_add_epi16(d_gt, _mm256_mulhrs_epi16(_mm256_sub_epi16(src_gt, d_gt), gt_w));
    return _mm256_or_si256(br, _mm256_slli_epi16(gt, 8));
}

// Blends a box of a mask eight pixels at a time: rows of width pixels from
// dst (stride apart) with the weights from (wx, wy) of the mask on. Each
// row's last group is cut to the width; where the clip leaves room (room
// pixels from dst on), it is read and written whole with the pixels past the
// width written back as they were, since masked stores are slow on some
// processors; else only its first pixels are read and written.
__attribute__((target("avx2"))) void blend_box_avx2(uint32_t *dst, int64_t stride, const CoverageMask &g,
                                                    int64_t wx, int64_t wy, int64_t width,
                                                    int64_t rows, int64_t room, uint32_t color) {
    const __m256i src_br = _mm256_set1_epi32(static_cast<int>(color & 0x00FF00FF));
    const __m256i src_gt = _mm256_set1_epi32(static_cast<int>((color >> 8) & 0xFF));
    const __m256i tail = _mm256_loadu_si256(
        reinterpret_cast<const __m256i *>(kLaneMask + 7 - ((width - 1) & 7)));
    const int64_t last = (width - 1) & ~int64_t(7);  // the last group's first column (width > 0)
    const bool tail_fits = last + 8 <= room;
    const int64_t pitch = g.width;
    const int64_t plane = g.width * g.rows + 8;  // blue-red to green-top
    const uint32_t *br = g.weights + wy * pitch + wx;
    uint32_t *const end = dst + rows * stride;
    if (last == 0 && tail_fits) {
        // Narrow glyphs with room, as most are: one group a row.
        for (; dst != end; dst += stride, br += pitch) {
            __m256i *p = reinterpret_cast<__m256i *>(dst);
            __m256i d = _mm256_loadu_si256(p);
            __m256i out = blend_eight_avx2(d, br, br + plane, src_br, src_gt);
            _mm256_storeu_si256(p, _mm256_blendv_epi8(d, out, tail));
        }
        return;
    }
    for (; dst != end; dst += stride, br += pitch) {
        for (int64_t col = 0; col < last; col += 8) {
            __m256i *p = reinterpret_cast<__m256i *>(dst + col);
            _mm256_storeu_si256(p, blend_eight_avx2(_mm256_loadu_si256(p), br + col, br + plane + col,
                                                    src_br, src_gt));
        }
        if (tail_fits) {
            __m256i *p = reinterpret_cast<__m256i *>(dst + last);
            __m256i d = _mm256_loadu_si256(p);
            __m256i out = blend_eight_avx2(d, br + last, br + plane + last, src_br, src_gt);
            _mm256_storeu_si256(p, _mm256_blendv_epi8(d, out, tail));
        } else {
            int *p = reinterpret_cast<int *>(dst + last);
            __m256i d = _mm256_maskload_epi32(p, tail);
            _mm256_maskstore_epi32(p, tail, blend_eight_avx2(d, br + last, br + plane + last, src_br, src_gt));
        }
    }
}

#endif

}  // namespace

// Blends a box of pixels through a mask: eight at a time where the mask has
// weights and the processor AVX2, else one at a time.
void blend_coverage(uint32_t *dst, int64_t stride, const CoverageMask &m, int64_t mx, int64_t my, int64_t w,
                    int64_t h, int64_t room, uint32_t color) {
#if KAPLO_VECTOR_BLEND
    if (g_vector_blend && m.weights) {
        blend_box_avx2(dst, stride, m, mx, my, w, h, room, color);
        return;
    }
#endif
    (void)room;
    blend_box(dst, stride, m.coverage + my * m.width + mx, m.width, w, h, color);
}

// Per pixel a' = a + (a >> 7) (0..256) as a 16-bit fraction of 32768: 128 a',
// with 256 (full coverage) as 32767, which vpmulhrsw rounds just the same
// for differences of up to 255. Blue, red and green weigh a' each; the top
// byte weighs 256 wherever a > 0, so that it ends up cleared there and kept
// where a = 0, as blend() and the plain store leave it.
void coverage_weights(const uint8_t *coverage, int64_t width, int64_t rows, std::vector<uint32_t> *weights) {
    const size_t pixels = (size_t)(width * rows), plane = pixels + 8;
    weights->assign(2 * plane, 0);
    uint32_t *w = weights->data();
    for (size_t i = 0; i < pixels; ++i) {
        uint32_t a = coverage[i];
        uint32_t weight = a == 255 ? 32767 : (a + (a >> 7)) << 7;
        uint32_t top = a ? 32767 : 0;
        w[i] = weight | weight << 16;
        w[plane + i] = weight | top << 16;
    }
}

// Whether masks with weights are blended eight pixels at a time.
bool raster_vector_blend(void) { return g_vector_blend; }

// Turns the vector blender off or back on (where the processor has it); returns whether it was on.
bool raster_set_vector_blend(bool on) {
#if KAPLO_VECTOR_BLEND
    bool was = g_vector_blend;
    g_vector_blend = on && __builtin_cpu_supports("avx2");
    return was;
#else
    (void)on;
    return false;
#endif
}
