// Test programs on the portable layer start on the headless backend; GDI's
// own tests (KAPLO_TEST_GDI_ALONE) run on GDI alone, with no backend linked.
#include <gtest/gtest.h>

#include "platform_tools.h"

#if defined(__SANITIZE_ADDRESS__)
#define KAPLO_LEAK_CHECK_BEFORE_EXIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KAPLO_LEAK_CHECK_BEFORE_EXIT 1
#endif
#endif
#ifdef KAPLO_LEAK_CHECK_BEFORE_EXIT
#include <sanitizer/lsan_interface.h>
#endif

// Runs the tests; in a sanitizer build, looks for leaks while the layer's
// tables still hold what a program leaves to process exit (windows, the back
// buffer), so that only memory nothing points to any more is reported.
int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
#ifndef KAPLO_TEST_GDI_ALONE
    platform_use_headless();
#endif
    int result = RUN_ALL_TESTS();
#ifdef KAPLO_LEAK_CHECK_BEFORE_EXIT
    __lsan_do_leak_check();
#endif
    return result;
}
