// Whether the program still asks for messages, for a watcher on another
// thread (the desktop's "not responding" check). Apart from user.h, whose
// Window record would clash with Xlib's Window in the watcher.
#pragma once

#include <cstdint>

// Milliseconds on a clock that only moves forward (real time, on every backend).
uint64_t user_steady_ms();
// GetMessageA starts waiting; returns with input still queued or not.
void user_begin_asking();
void user_end_asking(bool input_still_queued);
// Whether the program asks for a message now; if not, when it last stopped
// (user_steady_ms, 0 for never) and whether input was still queued then.
bool user_asking(uint64_t *last, bool *left);
