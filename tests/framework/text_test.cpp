// Text helpers in a single-byte code page, where the engine's own tests do not
// reach them (tests/framework/dbcs_test.cpp: a double-byte code page).
#include <gtest/gtest.h>

#include "framework/text.h"

namespace kg {
namespace {

TEST(Text, EdgesOfTheHelpers) {
    EXPECT_EQ("copy a%sb%d done, 50% of %s", FormatBounded("copy %s done, 50% of %s", {"a%sb%d"}, 1024));
    EXPECT_EQ("Cannot", FormatBounded("Cannot open %s", {"file"}, 7));
    char buffer[4] = "abc";
    EXPECT_EQ("0 ", std::to_string(CopyBounded(buffer, 1, "xyz")) + " " + buffer);
    EXPECT_EQ("10", std::to_string(ContainsChar("a:b", ':')) + std::to_string(ContainsChar("ab", ':')));
    EXPECT_EQ("10", std::to_string(EndsWithChar("a\\", '\\')) + std::to_string(EndsWithChar("", '\\')));
    EXPECT_EQ(3u, FindLastChar("a\\b\\c", '\\'));
    EXPECT_TRUE(EqualsNoCase("kESTRELgard", "Kestrelgard"));
}

}  // namespace
}  // namespace kg
