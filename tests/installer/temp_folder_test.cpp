// The temporary folder that construction extracts the payload into and that
// destruction removes, on the real file system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/system_text.h"
#include "installer/driver_installer.h"
#include "tests/installer/installer_machine.h"

namespace kg {
namespace {

using test::FileExists;
using test::FolderExists;
using test::ListFolder;
using test::Override;
using test::ReadBytes;
using test::SamplePayload;
using test::StdoutCapture;
using test::TempFolder;
using test::WriteBytes;

const std::string EXTRACT_FAILED = "Error while extracting files";

using TempFolderTest = test::MachineTest;

TEST_F(TempFolderTest, ConstructionExtractsThePayloadAndDestructionRemovesIt) {
    const SamplePayload sample;
    StdoutCapture out;
    {
        const DriverInstaller installer(TRUE);
        EXPECT_EQ((std::vector<std::string>{"kestgard.dll", "kestgard.sys"}), ListFolder(TempFolder()));
        EXPECT_EQ(sample.DriverBytes(), ReadBytes(installer.GetDriverSourcePath()));
        EXPECT_EQ(sample.MessageFileBytes(), ReadBytes(installer.GetMessageFileSourcePath()));
    }
    EXPECT_FALSE(FolderExists(TempFolder()));
    EXPECT_EQ("", out.Text());
}

TEST_F(TempFolderTest, ExistingFolderIsReplacedWithoutMessage) {
    const SamplePayload sample;
    ASSERT_TRUE(::CreateDirectoryA(TempFolder().c_str(), nullptr));
    WriteBytes(TempFolder() + "kestgard.sys", "stale driver");
    StdoutCapture out;
    {
        DriverInstaller installer(TRUE);
        EXPECT_EQ(sample.DriverBytes(), ReadBytes(installer.GetDriverSourcePath()));
        // A second extraction replaces the folder of the first.
        EXPECT_TRUE(installer.ExtractPayload());
        EXPECT_EQ(sample.MessageFileBytes(), ReadBytes(installer.GetMessageFileSourcePath()));
    }
    EXPECT_EQ("", out.Text());
    EXPECT_FALSE(FolderExists(TempFolder()));
}

BOOL WINAPI CreateDirectoryDenied(LPCSTR, LPSECURITY_ATTRIBUTES) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

TEST_F(TempFolderTest, FolderThatCannotBeCreatedIsToldThenTheExtraction) {
    const std::string folderFailed =
        "Could not create output directory " + TempFolder() + ":\n" + FormatSystemMessage(ERROR_ACCESS_DENIED);
    const auto denied = Override(sys.CreateDirectoryA, CreateDirectoryDenied);
    StdoutCapture constructionOut;
    DriverInstaller installer(TRUE);

    EXPECT_EQ(folderFailed + EXTRACT_FAILED, constructionOut.Text());
    EXPECT_FALSE(FolderExists(TempFolder()));

    // On its own the extraction tells only the folder's failure.
    StdoutCapture out;
    EXPECT_FALSE(installer.ExtractPayload());
    EXPECT_EQ(folderFailed, out.Text());
}

TEST_F(TempFolderTest, CleanupDeletesFilesTheExtractionDidNotWrite) {
    StdoutCapture out;
    {
        DriverInstaller installer(TRUE);
        WriteBytes(TempFolder() + "left by someone.txt", "other");
        EXPECT_TRUE(installer.RemoveTempFolder());
        EXPECT_FALSE(FolderExists(TempFolder()));
    }
    EXPECT_EQ("", out.Text());
}

TEST_F(TempFolderTest, SubfolderIsLeftAndKeepsTheFolder) {
    const std::string subfolder = TempFolder() + "sub\\";
    StdoutCapture out;
    {
        DriverInstaller installer(TRUE);
        ASSERT_TRUE(::CreateDirectoryA(subfolder.c_str(), nullptr));
        WriteBytes(subfolder + "inside.txt", "kept");
        EXPECT_FALSE(installer.RemoveTempFolder());
    }
    EXPECT_EQ("", out.Text());
    EXPECT_EQ(std::vector<std::string>{"sub"}, ListFolder(TempFolder()));
    EXPECT_EQ("kept", ReadBytes(subfolder + "inside.txt"));
}

}  // namespace
}  // namespace kg
