// GDI benchmarks: each primitive family on a 601 x 540 back buffer, and a
// whole frame of the battle game (battle_frame.h). Run: build/bench/gdi_bench
#include <benchmark/benchmark.h>
#include <windows.h>

#include <cstring>

#include "battle_frame.h"
#include "platform_tools.h"

namespace {

using namespace battle;

// The back buffer: a memory DC with a 601 x 540 bitmap.
struct BackBuffer {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    BackBuffer() {
        platform_use_headless();
        dc = CreateCompatibleDC(GetDC(nullptr));
        bitmap = CreateCompatibleBitmap(dc, kWidth, kHeight);
        old = SelectObject(dc, bitmap);
    }
    ~BackBuffer() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

// Reads a pixel back: shapes on a bitmap are batched, so this is where the
// frame's pixels are sure to be drawn.
void finish(HDC dc) { benchmark::DoNotOptimize(GetPixel(dc, 0, 0)); }

void BM_BattleFrame(benchmark::State &state) {
    BackBuffer bb;
    for (auto _ : state) {
        battle_frame(bb.dc, false);
        finish(bb.dc);
    }
}
BENCHMARK(BM_BattleFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_BattleFrameWithText(benchmark::State &state) {
    BackBuffer bb;
    for (auto _ : state) {
        battle_frame(bb.dc, true);
        finish(bb.dc);
    }
}
BENCHMARK(BM_BattleFrameWithText)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// The floor: filling the frame's area once with memset.
void BM_FrameMemset(benchmark::State &state) {
    std::vector<uint32_t> pixels((size_t)kWidth * kHeight);
    for (auto _ : state) {
        memset(pixels.data(), (int)state.iterations() & 0xFF, pixels.size() * 4);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_FrameMemset)->Unit(benchmark::kMillisecond);

void BM_FilledRectangle(benchmark::State &state) {
    BackBuffer bb;
    for (auto _ : state) {
        rect(bb.dc, kSeaGreen, -300, -250, 300, 250, 0);
        finish(bb.dc);
    }
}
BENCHMARK(BM_FilledRectangle);

void BM_SmallOutlineRectangle(benchmark::State &state) {
    BackBuffer bb;
    for (auto _ : state) {
        rect(bb.dc, kSeaGreen, -125, -150, -15, -176, 1);
        finish(bb.dc);
    }
}
BENCHMARK(BM_SmallOutlineRectangle);

void BM_FilledTriangle(benchmark::State &state) {
    BackBuffer bb;
    for (auto _ : state) {
        triangle(bb.dc, kBrown, -300, -50, 300, -50, 75, 166, 0);
        finish(bb.dc);
    }
}
BENCHMARK(BM_FilledTriangle);

void BM_Campfire(benchmark::State &state) {
    BackBuffer bb;
    for (auto _ : state) campfire(bb.dc);
}
BENCHMARK(BM_Campfire);

void BM_SmallTriangle(benchmark::State &state) {
    BackBuffer bb;
    for (auto _ : state) {
        triangle(bb.dc, kOrange, 90, 40, 102, 38, 80, 83, 0);
        finish(bb.dc);
    }
}
BENCHMARK(BM_SmallTriangle);

void BM_FilledCircle(benchmark::State &state) {
    BackBuffer bb;
    for (auto _ : state) {
        circle(bb.dc, kGold, 20, 0, 10);
        finish(bb.dc);
    }
}
BENCHMARK(BM_FilledCircle);

void BM_WideOval(benchmark::State &state) {
    BackBuffer bb;
    for (auto _ : state) {
        oval(bb.dc, kRed, 120, -220, 240, -25, 11);
        finish(bb.dc);
    }
}
BENCHMARK(BM_WideOval);

void BM_ThinLine(benchmark::State &state) {
    BackBuffer bb;
    for (auto _ : state) {
        line(bb.dc, kGray20, -280, 200, 270, -230, 1);
        finish(bb.dc);
    }
}
BENCHMARK(BM_ThinLine);

void BM_WideLine(benchmark::State &state) {
    BackBuffer bb;
    for (auto _ : state) {
        line(bb.dc, kGray20, -115, 145, -105, -80, 10);
        finish(bb.dc);
    }
}
BENCHMARK(BM_WideLine);

void BM_SetPixel(benchmark::State &state) {
    BackBuffer bb;
    int i = 0;
    for (auto _ : state) SetPixel(bb.dc, i++ % kWidth, 100, kRed);
}
BENCHMARK(BM_SetPixel);

void BM_BitBltFrame(benchmark::State &state) {
    BackBuffer a, b;
    for (auto _ : state) BitBlt(b.dc, 0, 0, 595, 476, a.dc, 0, 0, SRCCOPY);
}
BENCHMARK(BM_BitBltFrame);

}  // namespace

BENCHMARK_MAIN();
