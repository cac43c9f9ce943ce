// Text helpers where the engine's own tests do not reach them: edges in a
// single-byte code page, and a double-byte code page (932), where a trail byte
// is never taken for a character of its own nor a character split. CTest runs
// the Dbcs test once more in a Japanese locale; in another code page it skips.
#include <gtest/gtest.h>

#include <cstdlib>
#ifdef _WIN32
#include <windows.h>
#endif

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

#ifdef _WIN32
TEST(Dbcs, TrailBytesAndWholeCharacters) {
    if (::GetACP() != 932) {
        ASSERT_EQ(nullptr, std::getenv("KG_EXPECT_CP932")) << "the locale gave code page " << ::GetACP();
        GTEST_SKIP() << "code page " << ::GetACP() << " is not 932";
    }
    const std::string hyo = "\x95\x5C", a = "\x82\xA0";  // the first's trail byte is '\'
    EXPECT_FALSE(EndsWithChar("C:\\" + hyo, '\\'));
    EXPECT_TRUE(EndsWithChar("C:\\" + hyo + "\\", '\\'));
    EXPECT_FALSE(ContainsChar("a" + hyo + "b", '\\'));
    EXPECT_EQ(std::string::npos, FindLastChar(hyo, '\\'));
    EXPECT_EQ("A" + a + "B", UpperCase("a" + a + "b"));
    EXPECT_EQ(3u, FitLength("ab\x82", 10)) << "a broken lead byte at the end";
    char buffer[4];
    EXPECT_EQ(3u, CopyBounded(buffer, sizeof buffer, ("a" + a + a).c_str()));
    EXPECT_EQ("a" + a, std::string(buffer));
    EXPECT_EQ(1u, CopyBounded(buffer, 3, ("a" + a).c_str()));
    EXPECT_EQ("x" + a, FormatBounded("x%s", {a + a}, 5));
}
#endif

}  // namespace
}  // namespace kg
