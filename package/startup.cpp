// Package state, start-up and shutdown, animation requests.
#include "package.h"

PackageState package_state;

// Registers one of the package's window classes.
static void register_window_class(const char *class_name, WNDPROC procedure, HINSTANCE instance,
                                  HBRUSH background) {
    WNDCLASSA window_class = {};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = procedure;
    window_class.cbClsExtra = 0;
    window_class.cbWndExtra = 0;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = background;
    window_class.lpszMenuName = "generic";
    window_class.lpszClassName = class_name;
    RegisterClassA(&window_class);
}

// Opens the drawing and text windows, builds the back buffer and starts the timer.
int KAPLO_begin(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
    PackageState &state = package_state;
    (void)command_line;
    if (previous == nullptr) {
        HBRUSH background = CreateSolidBrush(color_value(WHITE));
        register_window_class("DrawWndClass", draw_window_proc, instance, background);
        register_window_class("TextWndClass", text_window_proc, instance, background);
    }
    int screen_height = GetSystemMetrics(SM_CYSCREEN);
    state.running = 0;
    state.single_step = 0;

    state.drawing_window =
        CreateWindowExA(0, "DrawWndClass", "KAPLO Graphics", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                        0, 0, DRAW_WIDTH, DRAW_HEIGHT, nullptr, nullptr, instance, nullptr);
    state.text_window = CreateWindowExA(0, "TextWndClass", "KAPLO Text", WS_OVERLAPPEDWINDOW, 0,
                                        550, DRAW_WIDTH, screen_height / 3, nullptr, nullptr,
                                        instance, nullptr);
    state.instance = instance;

    state.window_dc = GetDC(state.drawing_window);
    state.back_buffer = CreateCompatibleBitmap(state.window_dc, DRAW_WIDTH, DRAW_HEIGHT);
    state.back_buffer_dc = CreateCompatibleDC(state.window_dc);
    SelectObject(state.back_buffer_dc, state.back_buffer);

    ShowWindow(state.text_window, show);
    ShowWindow(state.drawing_window, show);
    SetTimer(state.drawing_window, PERIODIC_TIMER_ID, TICK_MS, nullptr);
    return 1;
}

// Releases the drawing window's device context and closes the script file,
// with a recording's pending periodic run written first.
int KAPLO_end(void) {
    PackageState &state = package_state;
    if (state.window_dc != nullptr) {
        ReleaseDC(state.drawing_window, state.window_dc);
        state.window_dc = nullptr;  // a second call must not release it again
    }
    script_write_pending_run();
    script_close();
    return 1;
}

// Applies an animation request: halt, single step, run or quit.
int KAPLO_set_animation(int request) {
    PackageState &state = package_state;
    if (state.drawing_window == nullptr) return 0;
    switch (request) {
    case ANIMATE_HALT:
        state.running = 0;
        state.single_step = 0;
        break;
    case ANIMATE_STEP:
        state.single_step = 1;
        break;
    case ANIMATE_RUN:
        state.running = 1;
        break;
    case ANIMATE_QUIT:
        state.quit_requested = 1;
        break;
    default:
        break;
    }
    return 1;
}
