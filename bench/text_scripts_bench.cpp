// Lines beyond ASCII drawn by the layer's TextOutA and by Pango with Cairo on
// an image surface of the same size, in the same font and size: one line of
// Latin, Cyrillic and Chinese, one of Arabic. Each round draws a new line (a
// counter at its end), so neither side draws from a line laid out before.
#include <benchmark/benchmark.h>
#include <pango/pangocairo.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform_tools.h"

namespace {

const char *const kLines[] = {
    "Grüße, Привет мир, 你好世界 ",
    "مرحبا بالعالم، كيف حالك ",
};
const int kPixels = 20;  // em height of both fonts

// The line of a round: the script's words and the round's number.
int line_of(int which, long round, char *out, size_t size) {
    return snprintf(out, size, "%s%ld", kLines[which], round);
}

// The layer: a font and a bitmap of the package's back buffer's size; the
// pixels are read back every round, so that the batched text is drawn.
void BM_KaploLine(benchmark::State &state) {
    platform_use_headless();
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 601, 540);
    HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
    HFONT font = CreateFontA(-kPixels, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "DejaVu Sans");
    HGDIOBJ old_font = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    char text[128];
    long round = 0;
    for (auto _ : state) {
        int length = line_of(static_cast<int>(state.range(0)), round++, text, sizeof text);
        TextOutA(dc, 20, 260, text, length);
        benchmark::DoNotOptimize(GetPixel(dc, 20, 270));
    }
    SelectObject(dc, old_font);
    DeleteObject(font);
    SelectObject(dc, old_bitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}
BENCHMARK(BM_KaploLine)->Arg(0)->Arg(1)->ArgName("arabic");

// Pango with Cairo: one layout whose text changes every round, shown on an
// image surface, which is flushed as the layer's pixels are read.
void BM_PangoCairoLine(benchmark::State &state) {
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 601, 540);
    cairo_t *cr = cairo_create(surface);
    PangoLayout *layout = pango_cairo_create_layout(cr);
    PangoFontDescription *font = pango_font_description_from_string("DejaVu Sans");
    pango_font_description_set_absolute_size(font, kPixels * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    cairo_set_source_rgb(cr, 0, 0, 0);
    char text[128];
    long round = 0;
    for (auto _ : state) {
        int length = line_of(static_cast<int>(state.range(0)), round++, text, sizeof text);
        pango_layout_set_text(layout, text, length);
        cairo_move_to(cr, 20, 260);
        pango_cairo_show_layout(cr, layout);
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface)[0]);
    }
    pango_font_description_free(font);
    g_object_unref(layout);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_PangoCairoLine)->Arg(0)->Arg(1)->ArgName("arabic");

}  // namespace

BENCHMARK_MAIN();
