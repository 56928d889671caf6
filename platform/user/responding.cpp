// Whether the program still asks for messages: GetMessageA notes when it
// starts and stops asking, and a watcher on another thread (the desktop's
// "not responding" check) reads when that was. Atomics only, so the watcher
// never touches the queue itself.
#include <atomic>
#include <chrono>

#include "user/responding.h"

namespace {

std::atomic<bool> asking{false};
std::atomic<uint64_t> last_asked{0};  // user_steady_ms() when it last stopped asking; 0: never asked
std::atomic<bool> input_left{false};  // input was still queued then

}  // namespace

// Milliseconds on a clock that only moves forward (real time, on every backend).
uint64_t user_steady_ms() {
    using namespace std::chrono;
    return (uint64_t)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// GetMessageA starts waiting for a message.
void user_begin_asking() { asking.store(true); }

// GetMessageA returns a message; input_still_queued tells whether more input waits.
void user_end_asking(bool input_still_queued) {
    input_left.store(input_still_queued);
    last_asked.store(user_steady_ms());
    asking.store(false);
}

// Whether the program is asking for a message now; if not, when it last
// stopped (0: never) and whether it left input queued then.
bool user_asking(uint64_t *last, bool *left) {
    if (asking.load()) return true;
    *last = last_asked.load();
    *left = input_left.load();
    return asking.load();  // it may have begun again meanwhile
}
