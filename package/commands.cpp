// The "&Run" menu of the drawing window and its commands, chosen from the menu
// or typed as Ctrl+letter.
#include "package.h"

// One entry of the "&Run" menu: its flags, command id and text.
struct MenuEntry {
    UINT flags;
    UINT id;
    const char *text;
};

// The "&Run" menu, top to bottom. Check marks are added from the flags when it is built.
static const MenuEntry run_menu_entries[] = {
    {MF_STRING, CMD_ANIMATE, "&Animate\tCtrl+A"},
    {MF_STRING, CMD_HALT, "&Halt animation\tCtrl+H"},
    {MF_STRING, CMD_STEP, "Advance one &frame\tCtrl+F"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_STRING, CMD_LOGGING, "&Logging\tCtrl+L"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_STRING, CMD_RECORD, "&Record Script\tCtrl+R"},
    {MF_STRING, CMD_PLAYBACK, "&Playback Script\tCtrl+P"},
    {MF_STRING, CMD_PLAY_ONE, "Play &One Script\tCtrl+O"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_STRING, CMD_QUIT, "&Quit\tCtrl+Q"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_STRING | MF_GRAYED, CMD_INFO, "KAPLO graphics package 1.0"},
    {MF_STRING | MF_GRAYED, CMD_INFO, "MAC: docs/building.md"},
    {MF_STRING | MF_GRAYED, CMD_INFO, "WINDOWS: docs/building.md#windows"},
    {MF_STRING | MF_GRAYED, CMD_INFO, "UPDATES: README.md"},
};

// The check-mark flag that shows a flag's value.
static UINT check_flag(int on) {
    return MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED);
}

// Builds the menu bar with its "&Run" pop-up and attaches it to the window.
static void build_run_menu(HWND hwnd) {
    PackageState &state = package_state;
    HMENU bar = CreateMenu();
    HMENU run = CreatePopupMenu();
    state.run_menu = run;
    int count = (int)(sizeof run_menu_entries / sizeof run_menu_entries[0]);
    for (int i = 0; i < count; i++) {
        const MenuEntry &entry = run_menu_entries[i];
        UINT flags = entry.flags;
        if ((entry.id == CMD_LOGGING && state.logging) || (entry.id == CMD_RECORD && state.recording) ||
            (entry.id == CMD_PLAYBACK && state.playing_back)) {
            flags |= MF_CHECKED;
        }
        AppendMenuA(run, flags, entry.id, entry.text);
    }
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)run, "&Run");
    SetMenu(hwnd, bar);
    DrawMenuBar(hwnd);
}

// Switches recording on, or off with the pending periodic run written and the file closed.
static void toggle_recording(void) {
    PackageState &state = package_state;
    if (!state.recording) {
        // A stream left open for reading by a playback that is over (it met the
        // end, or was stopped by Play One) would refuse every line of the new
        // recording: close it, so that the recording starts a fresh file.
        if (state.script_file != nullptr && !state.script_writing && !state.playing_back && !state.play_one) {
            script_close();
        }
        state.recording = 1;
        CheckMenuItem(state.run_menu, CMD_RECORD, check_flag(1));
        return;
    }
    state.recording = 0;
    CheckMenuItem(state.run_menu, CMD_RECORD, check_flag(0));
    if (state.periodic_count > 0) {
        script_write_event(KAPLO_PERIODIC, 0, 0, 0);
        state.periodic_count = 0;
    }
    // Whatever its mode: a played stream closed here is opened anew from its
    // first line by the next read.
    script_close();
}

// Switches playback on (halting the animation), or off with the file closed.
static void toggle_playback(void) {
    PackageState &state = package_state;
    if (!state.playing_back) {
        state.running = 0;
        state.single_step = 0;
        state.playing_back = 1;
        CheckMenuItem(state.run_menu, CMD_PLAYBACK, check_flag(1));
        return;
    }
    state.playing_back = 0;
    CheckMenuItem(state.run_menu, CMD_PLAYBACK, check_flag(0));
    // A stream open for writing belongs to the recording and stays open.
    if (!state.script_writing) script_close();
}

// Carries out one control command; ids outside 1..8 do nothing.
static void run_command(WPARAM id) {
    PackageState &state = package_state;
    switch (id) {
    case CMD_ANIMATE:
        state.running = 1;
        break;
    case CMD_HALT:
        state.running = 0;
        break;
    case CMD_STEP:
        state.running = 0;
        state.single_step = 1;
        break;
    case CMD_LOGGING:
        state.logging = !state.logging;
        CheckMenuItem(state.run_menu, CMD_LOGGING, check_flag(state.logging));
        break;
    case CMD_RECORD:
        toggle_recording();
        break;
    case CMD_PLAYBACK:
        toggle_playback();
        break;
    case CMD_PLAY_ONE:
        state.play_one = 1;
        state.running = 0;
        state.single_step = 0;
        break;
    case CMD_QUIT:
        PostQuitMessage(0);
        break;
    default:
        break;
    }
}

// The command of a Ctrl+letter key (upper- or lower-case code), or 0 for none.
static int command_of_key(WPARAM key) {
    switch (key) {
    case 'A': case 'a': return CMD_ANIMATE;
    case 'H': case 'h': return CMD_HALT;
    case 'F': case 'f': return CMD_STEP;
    case 'L': case 'l': return CMD_LOGGING;
    case 'R': case 'r': return CMD_RECORD;
    case 'P': case 'p': return CMD_PLAYBACK;
    case 'O': case 'o': return CMD_PLAY_ONE;
    case 'Q': case 'q': return CMD_QUIT;
    default: return 0;
    }
}

// Handles the drawing window's creation, key and command messages; 1 when handled.
int control_message(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    PackageState &state = package_state;
    (void)lparam;
    switch (message) {
    case WM_CREATE:
        build_run_menu(hwnd);
        return 1;
    case WM_KEYDOWN:
        if (wparam == VK_CONTROL) {
            state.ctrl_down = 1;
        } else if (state.ctrl_down) {
            int command = command_of_key(wparam);
            if (command != 0) run_command((WPARAM)command);
        }
        return 1;
    case WM_KEYUP:
        if (wparam == VK_CONTROL) state.ctrl_down = 0;
        return 1;
    case WM_COMMAND:
        run_command(wparam);
        return 1;
    default:
        return 0;
    }
}
