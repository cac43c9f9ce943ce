// Construction of the installer object: the paths from the system's
// directories, the driver's status and the payload extracted into the
// temporary folder, with what it tells when one cannot be had.
#include <gtest/gtest.h>

#include <cstring>

#include "framework/system_text.h"
#include "framework/winapp.h"
#include "tests/installer/machine.h"

namespace kg {
namespace {

using namespace test;

const std::string PATH_FAILED = "An error occurred while building the path:\n";
const std::string EXTRACT_FAILED = "Error while extracting files";

// A directory query as the test makes it answer: text, length returned, last
// error. All empty: the system's own answer.
struct Answer { std::string text; DWORD length, error; } tempAnswer, systemAnswer;

UINT Give(const Answer& answer, LPSTR buffer, DWORD size) {
    std::memcpy(buffer, answer.text.c_str(), std::min<std::size_t>(answer.text.size() + 1, size));
    ::SetLastError(answer.error);
    return answer.length;
}
DWORD WINAPI GiveTemp(DWORD size, LPSTR buffer) {
    return tempAnswer.length + tempAnswer.error ? Give(tempAnswer, buffer, size) : Real(&SystemApi::GetTempPathA)(size, buffer);
}
UINT WINAPI GiveSystem(LPSTR buffer, UINT size) {
    return systemAnswer.length + systemAnswer.error ? Give(systemAnswer, buffer, size)
                                                    : Real(&SystemApi::GetSystemDirectoryA)(buffer, size);
}

TEST(Construction, PathsFromTheSystemsDirectories) {
    Prepare(Clean);
    ::CreateDirectoryA("", nullptr);
    const std::string noFolder = "Could not create output directory :\n" + FormatSystemMessage(::GetLastError()) + EXTRACT_FAILED;
    const std::string tooLong = PATH_FAILED + FormatSystemMessage(ERROR_INSUFFICIENT_BUFFER), system = SystemDirectory();
    const std::string d250 = "C:\\" + std::string(247, 'd'), d251 = d250 + "d";
    // The directories' answers, what construction tells, and where the driver and the message file go.
    const struct { const char* what; Answer temp, system; std::string told, paths; } rows[] = {
        {"as the system gives them", {}, {}, "", system + "\\drivers\\kestgard.sys " + system + "\\kestgard.dll"},
        {"no temporary directory", {"", 0, ERROR_NOT_READY}, {}, PATH_FAILED + FormatSystemMessage(ERROR_NOT_READY) + noFolder, " "},
        {"temporary directory of 260", {"C:\\cut\\", 260, 0}, {}, tooLong + noFolder, " "},
        {"no system directory", {}, {"", 0, ERROR_ACCESS_DENIED}, PATH_FAILED + FormatSystemMessage(ERROR_ACCESS_DENIED), " "},
        {"system directory of 250", {}, {d250, 250, 0}, "", d250 + "\\drivers\\kestgard.sys " + d250 + "\\kestgard.dll"},
        {"system directory of 251: no room for the drivers folder", {}, {d251, 251, 0}, tooLong, " " + d251 + "\\kestgard.dll"},
        {"system directory of 260", {}, {"C:\\cut", 260, 0}, tooLong, " "},
    };
    for (const auto& row : rows) {
        tempAnswer = row.temp;
        systemAnswer = row.system;
        const ApiOverride temp(sys.GetTempPathA, &GiveTemp);
        const ApiOverride systemDirectory(sys.GetSystemDirectoryA, &GiveSystem);
        // Without a temporary folder the cleanup touches nothing: "*" alone names the current directory.
        const Injected find({"FindFirstFileA", 0, ERROR_ACCESS_DENIED}), remove({"RemoveDirectoryA", 0, ERROR_ACCESS_DENIED});
        std::string paths;
        EXPECT_EQ(row.told, Told([&] {
            const DriverInstaller installer(TRUE);
            paths = installer.GetDriverDestinationPath() + " " + installer.GetMessageFileDestinationPath();
            EXPECT_EQ(installer.GetTempFolderPath().empty() ? "" : installer.GetTempFolderPath() + "kestgard.sys",
                      installer.GetDriverSourcePath()) << row.what;
        })) << row.what;
        EXPECT_EQ(row.paths, paths) << row.what;
        EXPECT_EQ(row.told.find(noFolder) == std::string::npos, find.Calls() + remove.Calls() == 2) << row.what;
        std::filesystem::remove_all(TempFolder());
    }
}

std::string boxes;
int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR, UINT type) {
    boxes += std::string("[") + text + " " + std::to_string(type) + "]";
    return IDOK;
}

TEST(Construction, StatusAndExtraction) {
    const std::string folderFailed = "Could not create output directory " + TempFolder() + ":\n" + FormatSystemMessage(5);
    const std::string reopenFailed = "[Cannot open " + GetModuleFilePath(nullptr) + " for reading: " +
                                     RemoveLineBreaks(FormatSystemMessage(ERROR_SHARING_VIOLATION)) + " 48]";
    const std::string queryFailed = "An error occurred while querying the status of the driver:";
    const struct { const char* what; Machine machine; Fault fault; InstallStatus status; std::string told, boxes; } rows[] = {
        {"clean", Clean, {}, INSTALL_STATUS_NOT_INSTALLED, "", ""},
        {"installed", Installed, {}, INSTALL_STATUS_INSTALLED, "", ""},
        {"stopped", Stopped, {}, INSTALL_STATUS_NOT_INSTALLED, "", ""},
        {"marked for deletion, still running", MarkedForDeletion, {}, INSTALL_STATUS_INSTALLED, "", ""},
        {"more drivers than the buffer holds", Installed, {"EnumServicesStatusA", 1, ERROR_MORE_DATA}, INSTALL_STATUS_NOT_INSTALLED, "", ""},
        {"manager access denied", Installed, {"OpenSCManagerA", 1, ERROR_ACCESS_DENIED}, INSTALL_STATUS_NOT_INSTALLED, queryFailed + "Cannot access the service control manager", ""},
        {"manager unavailable", Installed, {"OpenSCManagerA", 1, RPC_S_SERVER_UNAVAILABLE}, INSTALL_STATUS_NOT_INSTALLED, queryFailed + "Cannot open the service control manager", ""},
        {"folder not created", Clean, {"CreateDirectoryA", 1, ERROR_ACCESS_DENIED}, INSTALL_STATUS_NOT_INSTALLED, folderFailed + EXTRACT_FAILED, ""},
        {"program file not opened again", Clean, {"CreateFileA", 2, ERROR_SHARING_VIOLATION}, INSTALL_STATUS_NOT_INSTALLED, EXTRACT_FAILED, reopenFailed},
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
    boxes.clear();
    {
        const Injected fault({"CreateDirectoryA", 1, ERROR_ACCESS_DENIED});
        const DriverInstaller dialog(FALSE);
    }
    EXPECT_EQ("[" + folderFailed.substr(0, folderFailed.size() - 2) + " 48][" + EXTRACT_FAILED + " 48]", boxes) << "dialog run";
}

TEST(Construction, TemporaryFolder) {
    Prepare(Clean);
    std::filesystem::create_directories(TempFolder() + "sub");
    WriteBytes(TempFolder() + "kestgard.sys", "stale");
    DriverInstaller installer(TRUE);
    EXPECT_EQ("new", FileWord(installer.GetDriverSourcePath(), "kestgard.sys")) << "a stale payload file is used";
    EXPECT_FALSE(installer.RemoveTempFolder()) << "a folder holding a folder counts as removed";
    EXPECT_EQ("-", FileWord(installer.GetDriverSourcePath(), "kestgard.sys")) << "the cleanup stops at a folder";
    std::filesystem::remove(TempFolder() + "sub");
    WriteBytes(TempFolder() + "left by someone", "");
    EXPECT_TRUE(installer.RemoveTempFolder());
    EXPECT_FALSE(std::filesystem::exists(TempFolder())) << "the temporary folder is left";
}

}  // namespace
}  // namespace kg
