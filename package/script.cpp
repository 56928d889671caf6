// Script recording and playback (not yet built: no script is written or read).
#include "package.h"

void script_write_event(int, int, int, char) {}

int script_read_event(void) { return 0; }

void script_stop_playback(void) {
    package_state.playing_back = 0;
    package_state.play_one = 0;
}

void script_close(void) {}
