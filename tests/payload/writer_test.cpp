// The writer refuses what the reader would reject, before anything is placed.
#include <gtest/gtest.h>

#include "payload/writer.h"

namespace kg {
namespace {

TEST(PayloadWriter, RefusesNamesTheReaderWouldSkipOrCut) {
    PayloadWriter writer(1000);
    EXPECT_NE("", writer.Add(std::string(1001, 'n'), 1));
    EXPECT_EQ("", writer.Add(std::string(1000, 'n'), 1));
    EXPECT_NE("", writer.Add(std::string("a\0b", 3), 1));
    EXPECT_NE("", writer.Add("..\\x", 1));
    EXPECT_NE("", writer.Add("a/b", 1));
    EXPECT_NE("", writer.Add("", 1));
    EXPECT_EQ("", writer.Add("a.txt", 1));
    EXPECT_NE("", writer.Add("A.TXT", 1));  // the same file on Windows
    EXPECT_EQ(2u, writer.Entries().size());
}

TEST(PayloadWriter, RefusesSizesAndOffsetsOf2GiB) {
    PayloadWriter writer(0x7FFFFFF0u);
    EXPECT_NE("", writer.Add("big", 0x80000000u));
    EXPECT_EQ("", writer.Add("a", 0x10));
    EXPECT_EQ(0x7FFFFFF0u, writer.Entries()[0].offset);
    EXPECT_NE("", writer.Add("b", 1));  // would start at 2^31
    PayloadWriter beyond(0x80000000u);
    EXPECT_NE("", beyond.Add("a", 1));
}

TEST(PayloadWriter, RefusesA257thFile) {
    PayloadWriter writer(0);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ("", writer.Add("f" + std::to_string(i), 0));
    }
    EXPECT_NE("", writer.Add("f256", 0));
    EXPECT_EQ(256u, writer.Entries().size());
}

}  // namespace
}  // namespace kg
