#include "script/texthelpers.h"
#include <gtest/gtest.h>

TEST(StrFind, DoesNotBackUp)
{
    EXPECT_EQ(nullptr, StrFind("aaab", "aab"));
}
