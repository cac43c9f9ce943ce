// Bounded copies, formatting and character tests of 8-bit text in a
// single-byte code page (tests/framework/dbcs_test.cpp: double-byte).
#include <gtest/gtest.h>

#include <cstring>

#include "framework/text.h"

namespace kg {
namespace {

TEST(Text, BoundedCopiesCutToTheBufferAndTerminate) {
    const struct {
        const char* dest;  // what the buffer holds before
        std::size_t size;
        const char* src;
        const char* result;
    } rows[] = {
        {"", 6, "abc", "abc"}, {"", 6, "abcdefgh", "abcde"}, {"", 1, "abc", ""},
        {"abc", 8, "defghij", "abcdefg"}, {"abcdefg", 8, "x", "abcdefg"},
    };
    for (const auto& row : rows) {
        char buffer[16];
        CopyBounded(buffer, sizeof buffer, row.dest);
        EXPECT_EQ(std::strlen(row.result), AppendBounded(buffer, row.size, row.src)) << row.dest << "+" << row.src;
        EXPECT_STREQ(row.result, buffer) << row.dest << "+" << row.src;
    }
}

TEST(Text, FormattingReplacesPlaceholdersInTurnAndLeavesPercentInArguments) {
    EXPECT_EQ("copy a%sb%d done", FormatBounded("copy %s done", {"a%sb%d"}, 1024));
    EXPECT_EQ("[x]: y 2", FormatBounded("[x]: %s %d", {"y", "2"}, 1024));
    EXPECT_EQ("50% of %s", FormatBounded("50% of %s", {}, 1024));
    EXPECT_EQ("Cannot", FormatBounded("Cannot open %s", {"file"}, 7));
}

TEST(Text, CharacterTests) {
    EXPECT_TRUE(EndsWithChar("C:\\TEMP\\", '\\'));
    EXPECT_FALSE(EndsWithChar("C:\\TEMP", '\\'));
    EXPECT_FALSE(EndsWithChar("", '\\'));
    EXPECT_TRUE(ContainsChar("a:b", ':'));
    EXPECT_FALSE(ContainsChar("ab", ':'));
    EXPECT_EQ(3u, FindLastChar("a\\b\\c", '\\'));
    EXPECT_EQ(std::string::npos, FindLastChar("abc", '\\'));
    EXPECT_EQ("ABC-?/", UpperCase("aBc-?/"));
    EXPECT_TRUE(EqualsNoCase("kESTRELgard", "Kestrelgard"));
    EXPECT_EQ(3u, FitLength("abcdef", 3));
    EXPECT_EQ(2u, FitLength("ab", 3));
}

}  // namespace
}  // namespace kg
