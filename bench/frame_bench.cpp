// Cost of one whole frame of the battle game drawn through the package into its
// back buffer on the headless backend: the scene, both fighters and the action
// panel, as the main loop draws them after every event.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "game.h"
#include "package.h"
#include "platform_tools.h"

namespace {

// Reads a pixel of the back buffer: shapes on a bitmap are batched, so this
// is where a frame's pixels are sure to be drawn.
void finish_frame() { benchmark::DoNotOptimize(GetPixel(package_state.back_buffer_dc, 0, 0)); }

// The game's scene state, set up as WinMain sets it up.
struct Scene {
    int flyer_x, flyer_y;
    int star_x[STAR_COUNT], star_y[STAR_COUNT];
    int star_size[STAR_COUNT], star_color[STAR_COUNT];
    int base_x[FLAME_COUNT] = {78, 87, 94, 103, 110, 116, 125, 132};
    int base_y[FLAME_COUNT] = {74, 67, 77, 75, 69, 72, 70, 73};
    int tip_x[FLAME_COUNT], tip_y[FLAME_COUNT];
    int box_x = -135;
    int box_y = -145;
    int box_direction = 1;

    // Places everything with a fixed seed, so every run draws the same frames.
    Scene() {
        srand(1);
        place_flyer(flyer_x, flyer_y);
        place_stars(star_x, star_y);
        twinkle_stars(star_size, star_color);
        jitter_flames(tip_x, tip_y, base_x, base_y);
    }

    // One periodic tick of the main loop.
    void tick() {
        move_flyer(flyer_x, flyer_y);
        twinkle_stars(star_size, star_color);
        jitter_flames(tip_x, tip_y, base_x, base_y);
        slide_box(box_x, box_direction);
    }

    // The main loop's full redraw: its drawing calls, whose shapes may still
    // be pending in the back buffer's batch.
    void draw() {
        draw_scene(flyer_x, flyer_y, star_x, star_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
        draw_right_fighter(185, -110);
        draw_left_fighter(-185, -110);
        draw_action_panel(box_x, box_y);
    }

    // The full redraw, up to its pixels in the back buffer.
    void redraw() {
        draw();
        finish_frame();
    }
};

// Starts the package on a fresh headless layer with logging off, as the game does.
void begin_package() {
    for (HGLOBAL &line : package_state.log_lines) {
        if (line != nullptr) GlobalFree(line);
        line = nullptr;
    }
    package_state = PackageState{};
    platform_use_headless();
    KAPLO_begin(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
    KAPLO_set_logging(0);
    KAPLO_wipe();
}

// The same frame drawn again and again: each shape at once, and batched.
void BM_FullRedraw(benchmark::State &state) {
    begin_package();
    platform_set_batching((int)state.range(0));
    Scene scene;
    for (auto _ : state) scene.redraw();
    state.SetItemsProcessed(state.iterations());
    platform_set_batching(1);
    KAPLO_end();
}
BENCHMARK(BM_FullRedraw)->ArgName("batching")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();

// A tick of the scene, then its redraw: the frame moves as in a running game.
void BM_TickAndRedraw(benchmark::State &state) {
    begin_package();
    Scene scene;
    for (auto _ : state) {
        scene.tick();
        scene.redraw();
    }
    state.SetItemsProcessed(state.iterations());
    KAPLO_end();
}
BENCHMARK(BM_TickAndRedraw)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();

// The parts of the frame on their own, to see which one costs what.
void BM_SceneOnly(benchmark::State &state) {
    begin_package();
    Scene scene;
    for (auto _ : state) {
        draw_scene(scene.flyer_x, scene.flyer_y, scene.star_x, scene.star_y, scene.star_size, scene.star_color,
                   scene.tip_x, scene.tip_y, scene.base_x, scene.base_y);
        finish_frame();
    }
    KAPLO_end();
}
BENCHMARK(BM_SceneOnly)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();

// Both fighters.
void BM_FightersOnly(benchmark::State &state) {
    begin_package();
    for (auto _ : state) {
        draw_right_fighter(185, -110);
        draw_left_fighter(-185, -110);
        finish_frame();
    }
    KAPLO_end();
}
BENCHMARK(BM_FightersOnly)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();

// The action panel: one filled box, four outlines and four labels.
void BM_PanelOnly(benchmark::State &state) {
    begin_package();
    for (auto _ : state) {
        draw_action_panel(-135, -145);
        finish_frame();
    }
    KAPLO_end();
}
BENCHMARK(BM_PanelOnly)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();

// The copy of the back buffer to the drawing window, as made with each shape
// drawn at once (batched, a window that already holds the back buffer takes
// no copy at all).
void BM_CopyToWindow(benchmark::State &state) {
    begin_package();
    platform_set_batching(0);
    for (auto _ : state) {
        BitBlt(package_state.window_dc, 0, 0, DRAW_WIDTH, DRAW_HEIGHT, package_state.back_buffer_dc, 0, 0,
               SRCCOPY);
    }
    platform_set_batching(1);
    KAPLO_end();
}
BENCHMARK(BM_CopyToWindow)->Unit(benchmark::kMicrosecond);

// What every event costs the main loop: the full redraw and the copy of the
// back buffer to the drawing window. Batched, the window already holds the
// back buffer from the event before, so the pending shapes are drawn straight
// onto it. The headless backend keeps no frames here.
void BM_RedrawAndCopy(benchmark::State &state) {
    begin_package();
    platform_set_batching((int)state.range(0));
    headless_set_frame_history(0);
    Scene scene;
    for (auto _ : state) {
        scene.tick();
        scene.draw();
        BitBlt(package_state.window_dc, 0, 0, DRAW_WIDTH, DRAW_HEIGHT, package_state.back_buffer_dc, 0, 0,
               SRCCOPY);
    }
    state.SetItemsProcessed(state.iterations());
    headless_set_frame_history(4);
    platform_set_batching(1);
    KAPLO_end();
}
BENCHMARK(BM_RedrawAndCopy)->ArgName("batching")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();

// Yardstick for this machine: a memset of the back buffer's size, about the
// frame's fill volume (the sky alone covers most of it, the hills and the
// fighters most of it again).
void BM_MemsetBackBuffer(benchmark::State &state) {
    static uint32_t pixels[DRAW_WIDTH * DRAW_HEIGHT];
    uint32_t value = 0;
    for (auto _ : state) {
        memset(pixels, (int)(value++ & 0xFF), sizeof pixels);
        benchmark::DoNotOptimize(pixels);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemsetBackBuffer)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
