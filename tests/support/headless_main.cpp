// Test programs on the portable layer start on the headless backend.
#include <gtest/gtest.h>

#include "platform_tools.h"

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    platform_use_headless();
    return RUN_ALL_TESTS();
}
