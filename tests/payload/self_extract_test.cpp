// A program packed with a payload extracts its own payload. The build packs
// this test program with the sample driver and message library.
#include <gtest/gtest.h>

#include "framework/system_text.h"
#include "payload/archive.h"
#include "tests/support/api_override.h"
#include "tests/support/files.h"
#include "tests/support/message_boxes.h"

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

int opens = 0;

// Lets the first open through and fails the second with a sharing violation.
HANDLE WINAPI SecondOpenFails(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE from) {
    if (++opens == 2) {
        ::SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    return test::Real(&SystemApi::CreateFileA)(name, access, share, security, disposition, flags, from);
}

TEST(SelfExtract, ProgramFileThatCannotBeOpenedAgainIsToldInABox) {
    test::TempDir out;
    PayloadArchive archive;
    test::MessageBoxRecorder boxes;
    test::ApiOverride<decltype(sys.CreateFileA)> open(sys.CreateFileA, SecondOpenFails);
    EXPECT_EQ(PAYLOAD_REOPEN_FAILED, archive.ExtractAll(out.Str()));
    ASSERT_EQ(1u, boxes.Boxes().size());
    const std::string reason = RemoveLineBreaks(FormatSystemMessage(ERROR_SHARING_VIOLATION));
    EXPECT_EQ("Cannot open " + PayloadArchive::GetModulePath() + " for reading: " + reason, boxes.Boxes()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), boxes.Boxes()[0].type);
    EXPECT_TRUE(test::ListFolder(out.Path()).empty());
}

TEST(SelfExtract, ModulePathNamesThisProgram) {
    const std::string path = PayloadArchive::GetModulePath();
    EXPECT_NE(std::string::npos, path.find("payload_self_test.exe")) << path;
    EXPECT_EQ(':', path[1]);
}

}  // namespace
}  // namespace kg
