#include "platform/Text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace pelorix {
namespace {

using ::testing::ElementsAre;

TEST(SplitLines, EveryLineEndFormEndsALine) {
    EXPECT_THAT(splitLines("a\r\nb\rc\nd"), ElementsAre("a", "b", "c", "d"));
    EXPECT_THAT(splitLines("a\r\n\r\nb\r\n"), ElementsAre("a", "", "b"));
    EXPECT_THAT(splitLines("a\n\rb"), ElementsAre("a", "", "b"));
    EXPECT_THAT(splitLines(""), ElementsAre());
    EXPECT_THAT(splitLines("\n"), ElementsAre(""));
}

TEST(Text, CaseFoldingTouchesAsciiOnly) {
    EXPECT_TRUE(equalsIgnoreCase("Reference", "REFERENCE"));
    EXPECT_FALSE(equalsIgnoreCase("ａ", "Ａ"));
    EXPECT_EQ(toUpper("c:\\表示\\x"), "C:\\表示\\X");
    EXPECT_EQ(findIgnoreCase("C:\\WinNT\\sys", "\\WINNT"), 2u);
    EXPECT_LT(compareIgnoreCase("abc", "ABD"), 0);
}

TEST(Text, TrimAndReplace) {
    EXPECT_EQ(trimSpaces("  a b \t "), "a b \t");
    EXPECT_EQ(trimWhite(" \t a \r\n"), "a");
    EXPECT_EQ(replaceAll("%A%x%A%", "%A%", "yy"), "yyxyy");
    EXPECT_THAT(split("a,,b", ','), ElementsAre("a", "", "b"));
}

} // namespace
} // namespace pelorix
