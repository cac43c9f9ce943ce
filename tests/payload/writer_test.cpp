// The writer lays out the trailer as the reader reads it, and refuses what the
// reader would reject, before anything is placed.
#include <gtest/gtest.h>

#include "payload/writer.h"
#include "tests/support/trailer_bytes.h"

namespace kg {
namespace {

using test::U32;

TEST(PayloadWriter, TrailerOfTheWorkedExample) {
    PayloadWriter writer(512);
    ASSERT_EQ("", writer.Add("a.txt", 3));
    EXPECT_EQ(U32(512) + U32(3) + "a.txt" + U32(5) + U32(1) + "!QARN_SFX!", writer.Trailer());
    ASSERT_EQ("", writer.Add("kestgard.sys", 10));
    EXPECT_EQ(515u, writer.Entries()[1].offset);
}

TEST(PayloadWriter, RefusesWhatTheReaderWouldReject) {
    PayloadWriter writer(0x7FFFFF00u);
    const struct { const char* what; std::string name; std::uint64_t size; bool accepted; } rows[] = {
        {"name of 1001 bytes", std::string(1001, 'n'), 1, false},
        {"name of 1000 bytes", std::string(1000, 'n'), 1, true},
        {"zero byte in the name", std::string("a\0b", 3), 1, false},
        {"path", "..\\x", 1, false},
        {"empty name", "", 1, false},
        {"2 GiB", "big", 0x80000000u, false},
        {"plain", "a.txt", 0xEF, true},
        {"the same name in other case", "A.TXT", 1, false},
        {"ending at 2^31 - 1", "b", 0xF, true},
        {"starting at 2^31 - 1", "c", 1, true},
        {"starting at 2^31", "d", 0, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.accepted, writer.Add(row.name, row.size).empty()) << row.what;
    }
    PayloadWriter full(0);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ("", full.Add("f" + std::to_string(i), 0));
    }
    EXPECT_NE("", full.Add("f256", 0)) << "a 257th file";
}

}  // namespace
}  // namespace kg
