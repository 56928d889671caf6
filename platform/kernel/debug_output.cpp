// OutputDebugStringA: text for whoever watches the program. On Windows that is
// a debugger; on the layer it is the sink a scripted run installs to write
// the log transcript. With no sink the text goes nowhere. A second watcher,
// the echo, may take the same text (the log copied to the terminal).
#include <windows.h>

#include "platform_tools.h"

namespace {
PlatformDebugSink sink = nullptr;
void *sink_context = nullptr;
PlatformDebugSink echo = nullptr;
}  // namespace

// Hands the text to the sink, if there is one.
void WINAPI OutputDebugStringA(LPCSTR text) {
    if (sink && text) sink(text, sink_context);
    if (echo && text) echo(text, nullptr);
}

// Sets where OutputDebugStringA's text goes (nullptr: nowhere).
void platform_set_debug_sink(PlatformDebugSink new_sink, void *context) {
    sink = new_sink;
    sink_context = context;
}

// Sets the second watcher (nullptr: none).
void platform_set_debug_echo(PlatformDebugSink new_echo) { echo = new_echo; }
