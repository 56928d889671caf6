// The public header from C.
#include "package_fixture.h"

extern "C" int c_header_check(void);

using CHeaderTest = PackageTest;

TEST_F(CHeaderTest, ProgramWrittenInCUsesThePackage) {
    EXPECT_EQ(c_header_check(), 16 + 24000 + 300000);
    EXPECT_EQ(log_line(2), "from C: 7 ok\n");
    EXPECT_EQ(log_line(1), "sea green text at (0,0), \"10\"\n");
    EXPECT_EQ(log_line(0), "Clearing the graphics window\n");
}
