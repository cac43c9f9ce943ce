// Bounded copies and formatting of 8-bit text (single-byte code page).
#include <gtest/gtest.h>

#include "framework/text.h"

namespace kg {
namespace {

TEST(Text, BoundedCopyCutsToTheBufferAndTerminates) {
    char buffer[6];
    EXPECT_EQ(3u, CopyBounded(buffer, sizeof buffer, "abc"));
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ(5u, CopyBounded(buffer, sizeof buffer, "abcdefgh"));
    EXPECT_STREQ("abcde", buffer);
    EXPECT_EQ(0u, CopyBounded(buffer, 1, "abc"));
    EXPECT_STREQ("", buffer);
}

TEST(Text, BoundedAppendFillsWhatIsLeft) {
    char buffer[8] = "abc";
    EXPECT_EQ(7u, AppendBounded(buffer, sizeof buffer, "defghij"));
    EXPECT_STREQ("abcdefg", buffer);
    EXPECT_EQ(7u, AppendBounded(buffer, sizeof buffer, "x"));
    EXPECT_STREQ("abcdefg", buffer);
}

TEST(Text, FormattingReplacesPlaceholdersInTurnAndLeavesPercentInArguments) {
    EXPECT_EQ("copy a%sb%d done", FormatBounded("copy %s done", {"a%sb%d"}, 1024));
    EXPECT_EQ("[x]: y 2", FormatBounded("[x]: %s %d", {"y", "2"}, 1024));
    EXPECT_EQ("50% of %s", FormatBounded("50% of %s", {}, 1024));
    EXPECT_EQ("Cannot", FormatBounded("Cannot open %s", {"file"}, 7));
    const std::string longName(2000, 'n');
    EXPECT_EQ(1023u, FormatBounded("Could not create output directory %s", {longName}, 1024).size());
}

TEST(Text, CharacterTestsOnSingleByteText) {
    EXPECT_TRUE(EndsWithChar("C:\\TEMP\\", '\\'));
    EXPECT_FALSE(EndsWithChar("C:\\TEMP", '\\'));
    EXPECT_FALSE(EndsWithChar("", '\\'));
    EXPECT_TRUE(ContainsChar("a:b", ':'));
    EXPECT_FALSE(ContainsChar("ab", ':'));
    EXPECT_EQ("ABC-?/", UpperCase("aBc-?/"));
    EXPECT_EQ(3u, FitLength("abcdef", 3));
    EXPECT_EQ(2u, FitLength("ab", 3));
}

}  // namespace
}  // namespace kg
