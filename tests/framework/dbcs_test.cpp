// Multibyte-aware text handling in a double-byte code page (932). CTest runs
// this program in a Japanese locale; in any other code page it skips.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "framework/text.h"

namespace kg {
namespace {

// "表" in code page 932: lead byte 0x95, trail byte 0x5C, which is '\' alone.
const std::string HYO = "\x95\x5C";
// "あ": 0x82 0xA0.
const std::string A = "\x82\xA0";

class Dbcs : public ::testing::Test {
protected:
    void SetUp() override {
        if (::GetACP() == 932) {
            return;
        }
        // The run that CTest makes for these cases must not pass by skipping.
        if (std::getenv("KG_EXPECT_CP932") != nullptr) {
            FAIL() << "the locale gave code page " << ::GetACP() << ", not 932";
        }
        GTEST_SKIP() << "code page " << ::GetACP() << " is not 932";
    }
};

TEST_F(Dbcs, TrailByteEqualToBackslashIsNoBackslash) {
    EXPECT_TRUE(IsLeadByte('\x95'));
    EXPECT_FALSE(EndsWithChar("C:\\" + HYO, '\\'));
    EXPECT_TRUE(EndsWithChar("C:\\" + HYO + "\\", '\\'));
    EXPECT_FALSE(ContainsChar("a" + HYO + "b", '\\'));
}

TEST_F(Dbcs, BoundedCopyNeverSplitsACharacter) {
    char buffer[4];
    const std::string text = "a" + A + A;
    EXPECT_EQ(3u, CopyBounded(buffer, sizeof buffer, text.c_str()));
    EXPECT_EQ("a" + A, std::string(buffer));
    char tight[3];
    EXPECT_EQ(1u, CopyBounded(tight, sizeof tight, text.c_str()));
    EXPECT_STREQ("a", tight);
    EXPECT_EQ(("x" + A).size(), FormatBounded("x%s", {A + A}, 5).size());
}

TEST_F(Dbcs, UpperCasingLeavesDoubleByteCharactersAlone) {
    EXPECT_EQ("A" + A + "B", UpperCase("a" + A + "b"));
}

TEST_F(Dbcs, BrokenLeadByteAtTheEndIsSteppedOver) {
    const std::string broken = "ab\x82";
    EXPECT_EQ(3u, FitLength(broken.c_str(), 10));
    EXPECT_FALSE(EndsWithChar(broken, '\\'));
}

}  // namespace
}  // namespace kg
