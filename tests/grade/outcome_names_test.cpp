// Outcome names go into results files and come back when shards are merged.
#include <gtest/gtest.h>

#include "grade.h"

TEST(GradeOutcomes, EveryNameReadsBackAsItsOutcome) {
    for (int i = 0; i <= (int)grade::Outcome::NotRun; ++i) {
        grade::Outcome o;
        ASSERT_TRUE(grade::outcome_from_name(grade::outcome_name((grade::Outcome)i), &o));
        EXPECT_EQ((int)o, i);
    }
    grade::Outcome o;
    EXPECT_FALSE(grade::outcome_from_name("fine", &o));
}
