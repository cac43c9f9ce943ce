// Construction of the installer object: its paths, the driver's status and
// the payload extracted into the temporary folder, with what it tells when
// one of them cannot be had; and the folder removed at the end.
#include <gtest/gtest.h>

#include <cstring>

#include "framework/system_text.h"
#include "framework/winapp.h"
#include "tests/installer/machine.h"

namespace kg {
namespace {

using namespace test;

const std::string PATH_FAILED = "An error occurred while building the path:\n";
const std::string QUERY_FAILED = "An error occurred while querying the status of the driver:";
const std::string EXTRACT_FAILED = "Error while extracting files";

// A directory query as the test makes it answer: the text, the length
// returned and the last error. No text and length 0 with no error: the real one.
struct Answer {
    std::string text;
    DWORD length;
    DWORD error;
};
Answer tempAnswer, systemAnswer;

DWORD Give(const Answer& answer, LPSTR buffer, DWORD size) {
    std::memcpy(buffer, answer.text.c_str(), std::min<std::size_t>(answer.text.size() + 1, size));
    ::SetLastError(answer.error);
    return answer.length;
}
DWORD WINAPI GivenTempPath(DWORD size, LPSTR buffer) {
    return tempAnswer.length + tempAnswer.error ? Give(tempAnswer, buffer, size) : Real(&SystemApi::GetTempPathA)(size, buffer);
}
UINT WINAPI GivenSystemDirectory(LPSTR buffer, UINT size) {
    return systemAnswer.length + systemAnswer.error ? Give(systemAnswer, buffer, size)
                                                    : Real(&SystemApi::GetSystemDirectoryA)(buffer, size);
}

TEST(Construction, PathsFromTheSystemsDirectories) {
    Prepare(Clean);
    ::CreateDirectoryA("", nullptr);
    const std::string noFolder = "Could not create output directory :\n" + FormatSystemMessage(::GetLastError()) + EXTRACT_FAILED;
    const std::string dir250 = "C:\\" + std::string(247, 'd'), dir251 = dir250 + "d";
    const std::string temp = TempFolder(), system = SystemDirectory();
    const std::string tooLong = PATH_FAILED + FormatSystemMessage(ERROR_INSUFFICIENT_BUFFER);
    const struct {
        const char* what;
        Answer temp, system;
        std::string told;
        std::string paths;  // temporary folder, driver and message file, from and to
    } rows[] = {
        {"as the system gives them", {}, {}, "",
         temp + " " + temp + "kestgard.sys>" + system + "\\drivers\\kestgard.sys " + temp + "kestgard.dll>" + system + "\\kestgard.dll"},
        {"no temporary directory", {"", 0, ERROR_NOT_READY}, {}, PATH_FAILED + FormatSystemMessage(ERROR_NOT_READY) + noFolder, " > >"},
        {"temporary directory of 260", {"C:\\cut\\", 260, 0}, {}, tooLong + noFolder, " > >"},
        {"temporary directory of 400", {"C:\\cut\\", 400, 0}, {}, tooLong + noFolder, " > >"},
        {"no system directory", {}, {"", 0, ERROR_ACCESS_DENIED}, PATH_FAILED + FormatSystemMessage(ERROR_ACCESS_DENIED),
         temp + " " + temp + "kestgard.sys> " + temp + "kestgard.dll>"},
        {"system directory of 250", {}, {dir250, 250, 0}, "",
         temp + " " + temp + "kestgard.sys>" + dir250 + "\\drivers\\kestgard.sys " + temp + "kestgard.dll>" + dir250 + "\\kestgard.dll"},
        {"system directory of 251: no room for the drivers folder", {}, {dir251, 251, 0}, tooLong,
         temp + " " + temp + "kestgard.sys> " + temp + "kestgard.dll>" + dir251 + "\\kestgard.dll"},
        {"system directory of 260", {}, {"C:\\cut", 260, 0}, tooLong, temp + " " + temp + "kestgard.sys> " + temp + "kestgard.dll>"},
    };
    for (const auto& row : rows) {
        tempAnswer = row.temp;
        systemAnswer = row.system;
        const ApiOverride tempPath(sys.GetTempPathA, &GivenTempPath);
        const ApiOverride systemDirectory(sys.GetSystemDirectoryA, &GivenSystemDirectory);
        // Without a temporary folder nothing may be cleaned: it would be the current directory.
        const Injected find({"FindFirstFileA", 0, ERROR_ACCESS_DENIED});
        const Injected removeFolder({"RemoveDirectoryA", 0, ERROR_ACCESS_DENIED});
        std::string paths;
        EXPECT_EQ(row.told, Told([&] {
            const DriverInstaller installer(TRUE);
            paths = installer.GetTempFolderPath() + " " + installer.GetDriverSourcePath() + ">" +
                    installer.GetDriverDestinationPath() + " " + installer.GetMessageFileSourcePath() + ">" +
                    installer.GetMessageFileDestinationPath();
        })) << row.what;
        EXPECT_EQ(row.paths, paths) << row.what;
        EXPECT_EQ(row.told.find(noFolder) == std::string::npos, find.Calls() + removeFolder.Calls() == 2) << row.what;
        std::filesystem::remove_all(temp);
    }
}

// Message boxes recorded instead of shown.
std::string boxes;
int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR, UINT) {
    boxes += std::string("[") + text + "]";
    return IDOK;
}

TEST(Construction, StatusAndExtraction) {
    const std::string program = GetModuleFilePath(nullptr);
    const struct {
        const char* what;
        Machine machine;
        Fault fault;
        InstallStatus status;
        std::string told;
        std::string boxes;
    } rows[] = {
        {"clean", Clean, {}, INSTALL_STATUS_NOT_INSTALLED, "", ""},
        {"installed", Installed, {}, INSTALL_STATUS_INSTALLED, "", ""},
        {"stopped", Stopped, {}, INSTALL_STATUS_NOT_INSTALLED, "", ""},
        {"marked for deletion, still running", MarkedForDeletion, {}, INSTALL_STATUS_INSTALLED, "", ""},
        {"more drivers than the buffer holds", Installed, {"EnumServicesStatusA", 1, ERROR_MORE_DATA}, INSTALL_STATUS_NOT_INSTALLED, "", ""},
        {"manager access denied", Installed, {"OpenSCManagerA", 1, ERROR_ACCESS_DENIED}, INSTALL_STATUS_NOT_INSTALLED,
         QUERY_FAILED + "Cannot access the service control manager", ""},
        {"manager unavailable", Installed, {"OpenSCManagerA", 1, RPC_S_SERVER_UNAVAILABLE}, INSTALL_STATUS_NOT_INSTALLED,
         QUERY_FAILED + "Cannot open the service control manager", ""},
        {"folder not created", Clean, {"CreateDirectoryA", 1, ERROR_ACCESS_DENIED}, INSTALL_STATUS_NOT_INSTALLED,
         "Could not create output directory " + TempFolder() + ":\n" + FormatSystemMessage(ERROR_ACCESS_DENIED) + EXTRACT_FAILED, ""},
        {"program file not opened again", Clean, {"CreateFileA", 2, ERROR_SHARING_VIOLATION}, INSTALL_STATUS_NOT_INSTALLED,
         EXTRACT_FAILED, "[Cannot open " + program + " for reading: " + RemoveLineBreaks(FormatSystemMessage(ERROR_SHARING_VIOLATION)) + "]"},
    };
    const ApiOverride recorder(sys.MessageBoxA, &RecordBox);
    for (const auto& row : rows) {
        Prepare(row.machine);
        boxes.clear();
        InstallStatus status{};
        const Condition fault(row.fault);
        EXPECT_EQ(row.told, Told([&] { status = DriverInstaller(TRUE).GetInstallStatus(); })) << row.what;
        EXPECT_EQ(row.status, status) << row.what;
        EXPECT_EQ(row.boxes, boxes) << row.what;
        EXPECT_FALSE(std::filesystem::exists(TempFolder())) << row.what << ": the temporary folder is left";
    }
    Prepare(Clean);
}

TEST(Construction, TemporaryFolder) {
    Prepare(Clean);
    std::filesystem::create_directories(TempFolder() + "sub");
    WriteBytes(TempFolder() + "kestgard.sys", "stale");
    DriverInstaller installer(TRUE);
    EXPECT_EQ("new", FileWord(installer.GetDriverSourcePath(), "kestgard.sys")) << "a stale payload file is used";
    EXPECT_EQ("new", FileWord(installer.GetMessageFileSourcePath(), "kestgard.dll"));
    EXPECT_FALSE(installer.RemoveTempFolder()) << "a folder holding a folder counts as removed";
    EXPECT_EQ("-", FileWord(installer.GetDriverSourcePath(), "kestgard.sys")) << "the cleanup stops at a folder";
    EXPECT_TRUE(std::filesystem::exists(TempFolder() + "sub")) << "the cleanup deletes a folder it did not make";
    std::filesystem::remove(TempFolder() + "sub");
    WriteBytes(TempFolder() + "left by someone", "");
    EXPECT_TRUE(installer.RemoveTempFolder());
    EXPECT_FALSE(std::filesystem::exists(TempFolder())) << "the temporary folder is left";
}

}  // namespace
}  // namespace kg
