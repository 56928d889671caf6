// What the drawing calls do with the NULL a failed creation returns must be
// what real GDI does: the cases of tools/null_probe, replayed on this layer,
// against the lines real GDI wrote under Wine (scripts/gdi-reference.sh).
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "null_cases.h"
#include "platform_tools.h"

TEST(GdiNullHandles, EveryCaseDoesWhatRealGdiDoes) {
    std::ifstream file(KAPLO_TEST_DATA "/null_handles/null_handles.txt");
    ASSERT_TRUE(file.good()) << "no reference: run scripts/gdi-reference.sh";
    std::vector<std::string> expected;
    for (std::string text; std::getline(file, text);)
        if (!text.empty() && text[0] != '#') expected.push_back(text);

    platform_use_headless();
    std::vector<std::string> actual = null_probe::run_cases();
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); i++) EXPECT_EQ(actual[i], expected[i]);
}
