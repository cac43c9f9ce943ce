// Text helpers in a double-byte code page (932): a trail byte is never taken
// for a character of its own, and a character is never split. CTest runs this
// program in a Japanese locale; in any other code page it skips.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "framework/text.h"

namespace kg {
namespace {

const std::string HYO = "\x95\x5C";  // its trail byte is '\' alone
const std::string A = "\x82\xA0";

TEST(Dbcs, TrailBytesAndWholeCharacters) {
    if (::GetACP() != 932) {
        ASSERT_EQ(nullptr, std::getenv("KG_EXPECT_CP932")) << "the locale gave code page " << ::GetACP();
        GTEST_SKIP() << "code page " << ::GetACP() << " is not 932";
    }
    EXPECT_FALSE(EndsWithChar("C:\\" + HYO, '\\'));
    EXPECT_TRUE(EndsWithChar("C:\\" + HYO + "\\", '\\'));
    EXPECT_FALSE(ContainsChar("a" + HYO + "b", '\\'));
    EXPECT_EQ(std::string::npos, FindLastChar(HYO, '\\'));
    EXPECT_EQ("A" + A + "B", UpperCase("a" + A + "b"));
    EXPECT_EQ(3u, FitLength("ab\x82", 10)) << "a broken lead byte at the end";
    char buffer[4];
    EXPECT_EQ(3u, CopyBounded(buffer, sizeof buffer, ("a" + A + A).c_str()));
    EXPECT_EQ("a" + A, std::string(buffer));
    EXPECT_EQ(1u, CopyBounded(buffer, 3, ("a" + A).c_str()));
    EXPECT_EQ("x" + A, FormatBounded("x%s", {A + A}, 5));
}

}  // namespace
}  // namespace kg
