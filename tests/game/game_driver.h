// Plays the whole game through WinMain on the headless backend, as a user who
// makes exactly one event at a time.
//
// Whenever the game waits and nothing is queued, the backend calls our idle
// hook. The first time, the driver halts the animation, so that periodic
// events come only when asked for, and types one key to wake the game. From
// then on every idle call (but the second half of a tick) follows one
// delivered event whose frame has reached the window: the driver counts it,
// lets the test look at the newest frame and asks the test for the next step.
// A tick takes three idle calls: one asks for a single step, at the next the
// armed periodic event waits for its timer message, and after its delivery
// an empty message makes the event loop copy the new frame to the window
// (a key or a click leaves its release message for that).
#pragma once

#ifndef _WIN32

#include <functional>

#include "game_fixture.h"

enum StepKind {
    STEP_KEY,        // one typed character
    STEP_CLICK,      // a left click at a package point
    STEP_TICK,       // one periodic event (a single step of the animation)
    STEP_CLOSE_BOX,  // a click on the drawing window's close box
    STEP_MENU_QUIT,  // the Quit command of the "&Run" menu
};

struct Step {
    StepKind kind;
    int x;
    int y;
};

inline Step key_step() { return Step{STEP_KEY, 0, 0}; }
inline Step click_step(int x, int y) { return Step{STEP_CLICK, x, y}; }
inline Step tick_step() { return Step{STEP_TICK, 0, 0}; }
inline Step close_step() { return Step{STEP_CLOSE_BOX, 0, 0}; }
inline Step menu_quit_step() { return Step{STEP_MENU_QUIT, 0, 0}; }

// What the newest frame of the drawing window shows at a package point, as
// 0x00RRGGBB; 0xFFFFFFFF when there is no frame.
inline unsigned frame_rgb(HWND window, int x, int y) {
    DWORD pixel = 0xFFFFFFFFu;
    headless_frame_pixel(window, 0, 297 + x, 238 - y, &pixel);
    return (unsigned)pixel;
}

#define NO_BOX (-1000)

// Left edge of the panel's black box in the newest frame, found on the row
// just above its bottom edge, or NO_BOX when no panel is drawn there.
inline int box_left(HWND window) {
    for (int x = -145; x <= 20; x++) {
        if (frame_rgb(window, x, -204) == RGB_BLACK) return x;
    }
    return NO_BOX;
}

// Whether some pixel of the colour lies in the box of package points.
inline bool frame_has(HWND window, unsigned rgb, int left, int bottom, int right, int top) {
    for (int y = bottom; y <= top; y++) {
        for (int x = left; x <= right; x++) {
            if (frame_rgb(window, x, y) == rgb) return true;
        }
    }
    return false;
}

struct GameDriver;
// Called after each event with the number of events so far (0 before the
// first); returns the next step.
using NextStep = std::function<Step(GameDriver &driver, int events)>;

struct GameDriver {
    NextStep next_step;
    HWND window = nullptr;
    int idle_calls = 0;
    int events = 0;            // events made by the driver and delivered, wake key excluded
    int tick_phase = 0;        // idle calls of a tick still to come
    bool quit_sent = false;    // a quit step was made; nothing more should be asked of us
    int waits_after_quit = 0;  // times the game waited again after the quit

    // The hook: see the comment at the top of this file.
    static void on_idle(void *context) {
        GameDriver &d = *static_cast<GameDriver *>(context);
        d.idle_calls++;
        if (d.quit_sent) {
            // A game that went on after the quit: count it, and quit again so
            // that it still ends (a lost quit would otherwise wait forever).
            d.waits_after_quit++;
            if (d.waits_after_quit < 300) {
                PostQuitMessage(0);
            } else if (d.waits_after_quit == 300) {
                // An action that only ticks move on never ends without ticks.
                ADD_FAILURE() << "the game keeps waiting for events after the quit";
            }
            return;
        }
        if (d.tick_phase == 2) {
            // The step armed a periodic event; the next timer message delivers it.
            d.tick_phase = 1;
            return;
        }
        if (d.tick_phase == 1) {
            // The event was delivered and its frame drawn; have it copied out.
            d.tick_phase = 0;
            PostMessageA(d.window, WM_NULL, 0, 0);
            return;
        }
        if (d.window == nullptr) {
            d.window = FindWindowA("DrawWndClass", NULL);
            KAPLO_set_animation(ANIMATE_HALT);
            headless_type(d.window, "w");
            return;
        }
        if (d.idle_calls > 2) d.events++;
        d.make(d.next_step(d, d.events));
    }

    // Injects the input of one step.
    void make(const Step &step) {
        switch (step.kind) {
        case STEP_KEY:
            headless_type(window, "k");
            break;
        case STEP_CLICK:
            headless_click(window, 297 + step.x, 238 - step.y);
            break;
        case STEP_TICK:
            KAPLO_set_animation(ANIMATE_STEP);
            tick_phase = 2;
            break;
        case STEP_CLOSE_BOX:
            quit_sent = true;
            headless_close_box(window);
            break;
        case STEP_MENU_QUIT:
            quit_sent = true;
            headless_choose_menu(window, CMD_QUIT);
            break;
        }
    }
};

// Runs the game from WinMain to its end under the driver; returns WinMain's result.
inline int play_game(GameDriver &driver) {
    headless_set_idle_hook(&GameDriver::on_idle, &driver);
    char no_arguments[] = "";
    int result = WinMain(nullptr, nullptr, no_arguments, SW_SHOWNORMAL);
    headless_set_idle_hook(nullptr, nullptr);
    return result;
}

#endif
