// Times the battle game's frame (bench/battle_frame.h) on a 601 x 540 memory
// DC and prints the median and quartiles in microseconds. On Windows (or
// Wine) the bitmap is a 32-bit DIB section, which GDI draws on in software;
// on the portable layer it is a compatible bitmap on the headless backend.
//   frame_timer [frames]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "battle_frame.h"

#ifndef _WIN32
#include "platform_tools.h"
#endif

namespace {

HBITMAP make_bitmap(HDC dc) {
#ifdef _WIN32
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = battle::kWidth;
    info.bmiHeader.biHeight = -battle::kHeight;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
#else
    return CreateCompatibleBitmap(dc, battle::kWidth, battle::kHeight);
#endif
}

// Makes sure the frame's pixels are drawn: GDI may queue calls (Windows) or
// batch shapes (the portable layer) until the bitmap is read.
void finish(HDC dc) {
#ifdef _WIN32
    GdiFlush();
#endif
    GetPixel(dc, 0, 0);
}

}  // namespace

int main(int argc, char **argv) {
    const int frames = argc > 1 ? std::max(atoi(argv[1]), 20) : 2000;
#if defined(__EMSCRIPTEN__)
    platform_use_desktop();  // in a web page: the page's backend, no window needed
#elif !defined(_WIN32)
    platform_use_headless();
#endif
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HBITMAP bitmap = make_bitmap(dc);
    if (dc == nullptr || bitmap == nullptr) {
        fprintf(stderr, "frame_timer: no memory DC or bitmap\n");
        return 1;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    std::vector<double> times;
    double total = 0;
    for (int i = 0; i < frames; i++) {
        auto start = std::chrono::steady_clock::now();
        battle::battle_frame(dc, false);
        finish(dc);
        auto end = std::chrono::steady_clock::now();
        if (i < frames / 10) continue;
        times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        total += times.back();
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    std::sort(times.begin(), times.end());
    const size_t n = times.size();
    // The mean too: where the clock is coarse (a web page's), only it is exact.
    printf("frames %zu median %.1f p25 %.1f p75 %.1f mean %.1f us\n", n, times[n / 2], times[n / 4],
           times[n * 3 / 4], total / n);
    return 0;
}
