// Fuzzes the package's drawing operations: each input is a run of calls with
// arbitrary int32 arguments and arbitrary strings, drawn into the back buffer
// of a package started once on the headless backend.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "package.h"
#include "platform_tools.h"

// Calls drawn from one input at most, so that no input runs for long.
#define MAX_CALLS 64

// Starts the package once; the log window and the log ring stay in use throughout.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    platform_use_headless();
    KAPLO_begin(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
    return 0;
}

// An int32 that is often one of the interesting values, otherwise any.
static int pick_int(FuzzedDataProvider &data) {
    static const int interesting[] = {0, 1, -1, 2, 127, 128, 300, -300, 601, 540, 32767, -32768, 65536,
                                      1 << 27, -(1 << 27), INT32_MAX, INT32_MIN, INT32_MAX - 1, INT32_MIN + 1};
    if (data.ConsumeBool()) return data.PickValueInArray(interesting);
    return data.ConsumeIntegral<int32_t>();
}

// Runs the calls the input describes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    KAPLO_set_logging(data.ConsumeBool() ? 1 : 0);
    for (int call = 0; call < MAX_CALLS && data.remaining_bytes() > 0; call++) {
        int kind = data.ConsumeIntegralInRange<int>(0, 9);
        int color = pick_int(data);
        switch (kind) {
        case 0: {
            int x = pick_int(data), y = pick_int(data), radius = pick_int(data);
            KAPLO_circle(color, x, y, radius);
            break;
        }
        case 1: {
            int x1 = pick_int(data), y1 = pick_int(data), x2 = pick_int(data), y2 = pick_int(data);
            int x3 = pick_int(data), y3 = pick_int(data), width = pick_int(data);
            KAPLO_triangle(color, x1, y1, x2, y2, x3, y3, width);
            break;
        }
        case 2: {
            int x1 = pick_int(data), y1 = pick_int(data), x2 = pick_int(data), y2 = pick_int(data);
            KAPLO_rectangle(color, x1, y1, x2, y2, pick_int(data));
            break;
        }
        case 3: {
            int x1 = pick_int(data), y1 = pick_int(data), x2 = pick_int(data), y2 = pick_int(data);
            KAPLO_oval(color, x1, y1, x2, y2, pick_int(data));
            break;
        }
        case 4: {
            int x1 = pick_int(data), y1 = pick_int(data), x2 = pick_int(data), y2 = pick_int(data);
            KAPLO_line(color, x1, y1, x2, y2, pick_int(data));
            break;
        }
        case 5: {
            int x = pick_int(data), y = pick_int(data), ptsize = pick_int(data);
            std::string text = data.ConsumeRandomLengthString(300);
            KAPLO_text(color, x, y, ptsize, text.c_str());
            break;
        }
        case 6: {
            int x = pick_int(data), y = pick_int(data), ptsize = pick_int(data);
            std::string text = data.ConsumeRandomLengthString(1200);
            KAPLO_textf(color, x, y, ptsize, "%s|%d", text.c_str(), pick_int(data));
            break;
        }
        case 7: {
            std::string text = data.ConsumeRandomLengthString(1200);
            KAPLO_log("%s", text.c_str());
            break;
        }
        case 8:
            KAPLO_wipe();
            break;
        default:
            // Lets the windows take their paint and timer messages, as the game's loop would.
            PostMessageA(package_state.drawing_window, WM_NULL, 0, 0);
            KAPLO_set_animation(ANIMATE_HALT);
            pump_message();
            break;
        }
    }
    // Shapes on the back buffer are batched: reading a pixel draws them now,
    // so that a fault shows with the input that made it.
    GetPixel(package_state.back_buffer_dc, 0, 0);
    return 0;
}
