#include "host/bstr.h"
#include <gtest/gtest.h>

TEST(Bstr, ToBstrCountsTheNul)
{
    BSTR b = ToBstr("AB");
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(3u, SysStringLen(b));
    EXPECT_EQ(L'A', b[0]);
    EXPECT_EQ(L'B', b[1]);
    EXPECT_EQ(L'\0', b[2]);
    SysFreeString(b);
}
