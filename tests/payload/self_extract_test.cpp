// A program packed with a payload extracts its own payload. The build packs
// this test program with the sample driver and message library.
#include <gtest/gtest.h>

#include "payload/archive.h"
#include "tests/support/files.h"

namespace kg {
namespace {

TEST(SelfExtract, ProgramExtractsItsOwnPayload) {
    test::TempDir out;
    PayloadArchive archive;
    ASSERT_EQ(PAYLOAD_OK, archive.ExtractAll(out.Str()));
    ASSERT_EQ(2u, archive.GetCount());
    EXPECT_EQ("kestgard.sys", archive.GetEntry(0).name);
    EXPECT_EQ("kestgard.dll", archive.GetEntry(1).name);
    EXPECT_EQ(test::ReadBytes(KG_SAMPLE_SYS), test::ReadBytes(out.Str("kestgard.sys")));
    EXPECT_EQ(test::ReadBytes(KG_SAMPLE_DLL), test::ReadBytes(out.Str("kestgard.dll")));
    EXPECT_EQ((std::vector<std::string>{"kestgard.dll", "kestgard.sys"}), test::ListFolder(out.Path()));
}

TEST(SelfExtract, ModulePathNamesThisProgram) {
    const std::string path = PayloadArchive::GetModulePath();
    EXPECT_NE(std::string::npos, path.find("payload_self_test.exe")) << path;
    EXPECT_EQ(':', path[1]);
}

}  // namespace
}  // namespace kg
