// Construction of the installer object: the five paths as the system's
// directories give them, and what is told and built when the system cannot
// give them (injected).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "framework/system_text.h"
#include "installer/driver_installer.h"
#include "tests/installer/installer_machine.h"

namespace kg {
namespace {

using test::FolderExists;
using test::Override;
using test::StdoutCapture;
using test::SystemDirectory;
using test::TempDirectory;

const std::string PATH_FAILED = "An error occurred while building the path:\n";
const std::string EXTRACT_FAILED = "Error while extracting files";

void ExpectNoPaths(const DriverInstaller& installer) {
    EXPECT_EQ("", installer.GetTempFolderPath());
    EXPECT_EQ("", installer.GetDriverSourcePath());
    EXPECT_EQ("", installer.GetMessageFileSourcePath());
    EXPECT_EQ("", installer.GetDriverDestinationPath());
    EXPECT_EQ("", installer.GetMessageFileDestinationPath());
}

// What the extraction tells when there is no folder path at all.
std::string NoFolderTold() {
    ::CreateDirectoryA("", nullptr);
    return "Could not create output directory :\n" + FormatSystemMessage(::GetLastError()) + EXTRACT_FAILED;
}

// Counts every call that could delete or remove something on disk, and
// refuses it: with no folder path, a cleanup that went ahead would empty the
// current directory.
struct DiskChanges {
    static int& Count() {
        static int count = 0;
        return count;
    }
    static HANDLE WINAPI FindFirst(LPCSTR, LPWIN32_FIND_DATAA) {
        ++Count();
        ::SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    static BOOL WINAPI DeleteOne(LPCSTR) {
        ++Count();
        ::SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    static BOOL WINAPI RemoveFolder(LPCSTR) {
        ++Count();
        ::SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }

    DiskChanges() { Count() = 0; }
    test::ApiOverride<decltype(sys.FindFirstFileA)> find{sys.FindFirstFileA, FindFirst};
    test::ApiOverride<decltype(sys.DeleteFileA)> remove{sys.DeleteFileA, DeleteOne};
    test::ApiOverride<decltype(sys.RemoveDirectoryA)> removeFolder{sys.RemoveDirectoryA, RemoveFolder};
};

// Directory queries as the test makes them answer: a text of a given length
// and the length returned, or 0 with a last error.
struct Answer {
    std::string text;
    DWORD returned;
    DWORD error;
};
Answer tempAnswer;
Answer systemAnswer;

DWORD Give(const Answer& answer, LPSTR buffer, DWORD size) {
    // The system writes no more than the buffer holds.
    std::memcpy(buffer, answer.text.c_str(), std::min<std::size_t>(answer.text.size() + 1, size));
    ::SetLastError(answer.error);
    return answer.returned;
}
DWORD WINAPI GivenTempPath(DWORD size, LPSTR buffer) { return Give(tempAnswer, buffer, size); }
UINT WINAPI GivenSystemDirectory(LPSTR buffer, UINT size) { return Give(systemAnswer, buffer, size); }

// A path of `length` characters on drive C.
std::string PathOfLength(std::size_t length) { return "C:\\" + std::string(length - 3, 'd'); }

using Construction = test::MachineTest;

TEST_F(Construction, PathsFollowTheSystemsDirectories) {
    const DriverInstaller installer(TRUE);
    const std::string temp = TempDirectory() + "kginst\\";
    EXPECT_EQ(temp, installer.GetTempFolderPath());
    EXPECT_EQ(temp + "kestgard.sys", installer.GetDriverSourcePath());
    EXPECT_EQ(temp + "kestgard.dll", installer.GetMessageFileSourcePath());
    EXPECT_EQ(SystemDirectory() + "\\drivers\\kestgard.sys", installer.GetDriverDestinationPath());
    EXPECT_EQ(SystemDirectory() + "\\kestgard.dll", installer.GetMessageFileDestinationPath());
}

TEST_F(Construction, TemporaryDirectoryWithSpacesIsUsedAsGiven) {
    const test::TempDir scratch;
    const std::string directory = scratch.Str("with  two spaces") + "\\";
    ASSERT_TRUE(::CreateDirectoryA(directory.c_str(), nullptr));
    tempAnswer = {directory, static_cast<DWORD>(directory.size()), ERROR_SUCCESS};
    const auto temp = Override(sys.GetTempPathA, GivenTempPath);
    StdoutCapture out;
    {
        const DriverInstaller installer(TRUE);
        EXPECT_EQ(directory + "kginst\\kestgard.sys", installer.GetDriverSourcePath());
        EXPECT_TRUE(test::FileExists(installer.GetDriverSourcePath()));
    }
    EXPECT_EQ("", out.Text());
    EXPECT_FALSE(FolderExists(directory + "kginst\\"));
}

TEST_F(Construction, TemporaryDirectoryThatCannotBeHadLeavesNoPathsAndTouchesNothing) {
    const std::string noFolder = NoFolderTold();
    tempAnswer = {"", 0, ERROR_NOT_READY};
    const auto temp = Override(sys.GetTempPathA, GivenTempPath);
    const DiskChanges changes;
    StdoutCapture out;
    {
        const DriverInstaller installer(TRUE);
        ExpectNoPaths(installer);
    }
    EXPECT_EQ(PATH_FAILED + FormatSystemMessage(ERROR_NOT_READY) + noFolder, out.Text());
    EXPECT_EQ(0, DiskChanges::Count()) << "the destructor must not clean the current directory";
}

TEST_F(Construction, TemporaryDirectoryTooLongForItsBufferIsNotUsed) {
    const std::string noFolder = NoFolderTold();
    for (const DWORD needed : {260u, 261u, 400u}) {
        SCOPED_TRACE(needed);
        // What a buffer too small holds is no path; give it a plausible one.
        tempAnswer = {"C:\\cut\\", needed, ERROR_SUCCESS};
        const auto temp = Override(sys.GetTempPathA, GivenTempPath);
        const DiskChanges changes;
        StdoutCapture out;
        {
            const DriverInstaller installer(TRUE);
            ExpectNoPaths(installer);
        }
        EXPECT_EQ(PATH_FAILED + FormatSystemMessage(ERROR_INSUFFICIENT_BUFFER) + noFolder, out.Text());
        EXPECT_EQ(0, DiskChanges::Count());
    }
}

TEST_F(Construction, SystemDirectoryThatCannotBeHadLeavesTheDestinationsEmpty) {
    systemAnswer = {"", 0, ERROR_ACCESS_DENIED};
    const auto system = Override(sys.GetSystemDirectoryA, GivenSystemDirectory);
    StdoutCapture out;
    const DriverInstaller installer(TRUE);

    EXPECT_EQ(PATH_FAILED + FormatSystemMessage(ERROR_ACCESS_DENIED), out.Text());
    EXPECT_EQ(TempDirectory() + "kginst\\", installer.GetTempFolderPath());
    EXPECT_EQ(TempDirectory() + "kginst\\kestgard.sys", installer.GetDriverSourcePath());
    EXPECT_EQ(TempDirectory() + "kginst\\kestgard.dll", installer.GetMessageFileSourcePath());
    EXPECT_EQ("", installer.GetDriverDestinationPath());
    EXPECT_EQ("", installer.GetMessageFileDestinationPath());
    EXPECT_TRUE(test::FileExists(installer.GetDriverSourcePath())) << "the extraction still runs";
}

TEST_F(Construction, LongSystemDirectoryGetsADriverPathOnlyWhenTheDriversFolderFits) {
    // "\drivers\" has 9 characters: with the terminator, 250 is the longest
    // system directory whose drivers folder fits the 260-byte buffer.
    const struct {
        DWORD length;
        bool messageFilePath;
        bool driverPath;
    } cases[] = {
        {250, true, true},
        {251, true, false},
        {259, true, false},
        {260, false, false},  // the size a directory too long for the buffer needs
        {300, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string directory = c.length < 260 ? PathOfLength(c.length) : "C:\\cut";
        systemAnswer = {directory, c.length, ERROR_SUCCESS};
        const auto system = Override(sys.GetSystemDirectoryA, GivenSystemDirectory);
        StdoutCapture out;
        const DriverInstaller installer(TRUE);

        EXPECT_EQ(c.driverPath ? "" : PATH_FAILED + FormatSystemMessage(ERROR_INSUFFICIENT_BUFFER), out.Text());
        EXPECT_EQ(c.messageFilePath ? directory + "\\kestgard.dll" : "", installer.GetMessageFileDestinationPath());
        EXPECT_EQ(c.driverPath ? directory + "\\drivers\\kestgard.sys" : "", installer.GetDriverDestinationPath());
    }
}

TEST_F(Construction, EveryConstructionMessageIsWrittenInTheOrderOfItsStep) {
    const std::string noFolder = NoFolderTold();
    tempAnswer = {"", 0, ERROR_NOT_READY};
    const auto temp = Override(sys.GetTempPathA, GivenTempPath);
    test::ManagerFailureCode() = ERROR_ACCESS_DENIED;
    const auto manager = Override(sys.OpenSCManagerA, test::FailingOpenSCManagerA);
    const DiskChanges refused;
    StdoutCapture out;
    {
        const DriverInstaller installer(TRUE);
        EXPECT_EQ(INSTALL_STATUS_NOT_INSTALLED, installer.GetInstallStatus());
    }
    EXPECT_EQ(PATH_FAILED + FormatSystemMessage(ERROR_NOT_READY) +
                  "An error occurred while querying the status of the driver:"
                  "Cannot access the service control manager" +
                  noFolder,
              out.Text());
}

}  // namespace
}  // namespace kg
