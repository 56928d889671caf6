// Cost of text as the package draws it: a font created, selected, used for one
// label and deleted on every call, so the layer's face and glyph caches carry it.
#include <benchmark/benchmark.h>

#include <windows.h>

#include <cstring>

#include "../platform/gdi/text.h"
#include "platform_tools.h"

namespace {

const char kLabel[] = "Laser Blast Attack";
const int kLabelLength = static_cast<int>(sizeof kLabel - 1);

// A memory DC with a bitmap the size of the package's back buffer.
struct MemoryCanvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old_bitmap;
    MemoryCanvas() {
        platform_use_headless();
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, 601, 540);
        old_bitmap = SelectObject(dc, bitmap);
    }
    ~MemoryCanvas() {
        SelectObject(dc, old_bitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

// CreateFontA + SelectObject + TextOutA + DeleteObject, as the executor does it.
void BM_CreateSelectTextOutDelete(benchmark::State &state) {
    MemoryCanvas canvas;
    SetBkMode(canvas.dc, TRANSPARENT);
    for (auto _ : state) {
        HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "KAPLO-font");
        HGDIOBJ previous = SelectObject(canvas.dc, font);
        TextOutA(canvas.dc, 250, 260, kLabel, kLabelLength);
        SelectObject(canvas.dc, previous);
        DeleteObject(font);
    }
}
BENCHMARK(BM_CreateSelectTextOutDelete);

// The same label with the text layer alone: request lookup and glyph blending.
void BM_TextFaceAndDraw(benchmark::State &state) {
    static uint32_t pixels[601 * 540];
    Surface surface = {pixels, 601, 540, 601};
    RECT clip = {0, 0, 601, 540};
    FontRequest request;
    request.height = -static_cast<int>(state.range(0));
    std::strcpy(request.face, "KAPLO-font");
    for (auto _ : state) {
        FontFace *face = text_face(request);
        text_draw(face, &surface, clip, 250, 260, kLabel, kLabelLength, 0x000000, false, 0xFFFFFF);
    }
    benchmark::DoNotOptimize(pixels[260 * 601 + 255]);
}
BENCHMARK(BM_TextFaceAndDraw)->Arg(12)->Arg(40);

// A log line as the log window draws it: the stock fixed font, opaque cells.
void BM_FixedFontOpaqueLine(benchmark::State &state) {
    MemoryCanvas canvas;
    const char line[] = "Red text at (-116,-171), \"Laser Blast Attack\"";
    HGDIOBJ previous = SelectObject(canvas.dc, GetStockObject(ANSI_FIXED_FONT));
    SetBkMode(canvas.dc, OPAQUE);
    for (auto _ : state) TextOutA(canvas.dc, 5, 400, line, static_cast<int>(sizeof line - 1));
    SelectObject(canvas.dc, previous);
}
BENCHMARK(BM_FixedFontOpaqueLine);

// A megabyte string starting far left of the surface: skipped without drawing.
void BM_LongStringOutside(benchmark::State &state) {
    static uint32_t pixels[64 * 64];
    static char text[1 << 20];
    std::memset(text, 'x', sizeof text);
    Surface surface = {pixels, 64, 64, 64};
    RECT clip = {0, 0, 64, 64};
    FontRequest request;
    request.height = -12;
    FontFace *face = text_face(request);
    for (auto _ : state)
        text_draw(face, &surface, clip, -2000000000, 10, text, sizeof text, 0, true, 0xFFFFFF);
}
BENCHMARK(BM_LongStringOutside);

}  // namespace

BENCHMARK_MAIN();
