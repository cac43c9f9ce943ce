// The engine on a machine of the tests' own: what construction, Install,
// Upgrade and Uninstall tell, whether they succeed and what they leave, for
// every call of theirs that can fail; and an install after a restart.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "framework/system_text.h"
#include "framework/winapp.h"
#include "installer/registry.h"
#include "tests/installer/machine.h"
#include "tests/support/message_boxes.h"
#include "tests/support/texts.h"

namespace kg {
namespace {

using namespace test;

const std::string SYS = "kestgard.sys", DLL = "kestgard.dll", DONE = "running new new registered";
const DWORD DENIED = ERROR_ACCESS_DENIED, GONE = RPC_S_SERVER_UNAVAILABLE, IN_USE = ERROR_SHARING_VIOLATION;

// A service failure's system text, on one line.
std::string Line(DWORD code) { return ": " + RemoveLineBreaks(FormatSystemMessage(code)); }
std::string RegistryFailed(DWORD code) {
    return "An error occurred while writing the settings to the registry::\n" + FormatSystemMessage(code);
}

using Operation = bool (DriverInstaller::*)();
const Operation INSTALL = &DriverInstaller::Install, UPGRADE = &DriverInstaller::Upgrade,
                UNINSTALL = &DriverInstaller::Uninstall;

TEST(Operations, WhatEachTellsAndLeaves) {
    const std::string STEP2 =
        "[Step2]: The fully qualified path name to the file must be given, and the drive letter must be for a fixed "
        "disk (e.g., not a network drive)";
    const std::string ASIDE = " +kestgard.sys aside(deleted at restart)";
    const std::tuple<const char*, Machine, Operation, Fault, std::string, std::string> rows[] = {
        {"install over a stopped driver", Stopped, INSTALL, Fault{}, INSTALL_FAILED + Line(ERROR_SERVICE_EXISTS),
         "stopped new new registered"},
        {"install over a running driver (Wine locks it)", Installed, INSTALL, Fault{}, CopyFailed(SYS, IN_USE), DONE},
        {"install, extract unreadable", Clean, INSTALL, Fault{"ReadFile", 1, ERROR_CRC}, DRIVER_UNFIT, "- - - -"},
        {"install, no room for the new driver", OldStopped, INSTALL, Fault{"WriteFile", 1, ERROR_DISK_FULL},
         CopyFailed(SYS, ERROR_DISK_FULL), "stopped old new registered"},
        {"install, the new driver not moved in", OldStopped, INSTALL, Fault{"MoveFileExA", 1, DENIED},
         CopyFailed(SYS, DENIED), "stopped old new registered"},
        {"install, system folder off a fixed disk", Clean, INSTALL, Fault{"GetDriveTypeA", 1, 0},
         INSTALL_FAILED + STEP2, "- new new -"},
        {"install, manager gone once created", Clean, INSTALL, Fault{"OpenSCManagerA", 2, GONE},
         INSTALL_FAILED + "Cannot open the service control manager", "stopped new new -"},
        {"install, driver refuses to load", Clean, INSTALL, Fault{"StartServiceA", 1, ERROR_DLL_INIT_FAILED},
         INSTALL_FAILED + Line(ERROR_DLL_INIT_FAILED), "stopped new new -"},
        {"install, no value written", Clean, INSTALL, Fault{"RegSetValueExA", 1, ERROR_WRITE_PROTECT},
         RegistryFailed(ERROR_WRITE_PROTECT), "running new new key"},
        {"install, message file value not written", Clean, INSTALL, Fault{"RegSetValueExA", 2, ERROR_DISK_FULL},
         RegistryFailed(ERROR_DISK_FULL), "running new new types"},
        {"upgrade a stopped driver", OldStopped, UPGRADE, Fault{}, UPGRADED, "stopped new new registered"},
        {"upgrade a running driver: moved aside", Old, UPGRADE, Fault{}, UPGRADED, DONE + ASIDE},
        {"upgrade a running driver, the new one not moved in", Old, UPGRADE, Fault{"MoveFileExA", 2, DENIED},
         CopyFailed(SYS, DENIED), "running old new registered"},
        {"upgrade, driver in use", Clean, UPGRADE, Fault{"driver in use"}, CopyFailed(SYS, IN_USE), "- other - -"},
        {"upgrade, message file in use", Clean, UPGRADE, Fault{"message file in use"}, CopyFailed(DLL, IN_USE),
         "- new other -"},
        {"upgrade, payload gone", Clean, UPGRADE, Fault{"payload gone"}, CopyFailed(SYS, ERROR_FILE_NOT_FOUND),
         "- - - -"},
        {"upgrade, registration read-only", Clean, UPGRADE, Fault{"registration read-only"}, RegistryFailed(DENIED),
         "- new new key"},
        {"uninstall a running driver", Installed, UNINSTALL, Fault{}, REMOVED, "running - - -" + ASIDE},
        {"uninstall a running driver that cannot be moved aside", Installed, UNINSTALL, Fault{"MoveFileExA", 1, IN_USE},
         REMOVED, "running new(deleted at restart) - -"},
        {"uninstall a stopped driver", Stopped, UNINSTALL, Fault{}, REMOVED, "- - - -"},
        {"uninstall again before the restart", MarkedForDeletion, UNINSTALL, Fault{},
         REMOVE_FAILED + Line(ERROR_SERVICE_MARKED_FOR_DELETE), "running - - -" + ASIDE},
        {"uninstall without a driver", Clean, UNINSTALL, Fault{}, REMOVE_FAILED + Line(ERROR_SERVICE_DOES_NOT_EXIST),
         "- - - -"},
    };
    for (const auto& [what, machine, operation, fault, told, left] : rows) {
        Prepare(machine);
        std::string said;
        bool succeeded = false;
        {
            std::unique_ptr<DriverInstaller> installer;
            {
                // The payload gone: the driver not extracted.
                const Injected notExtracted(fault.call == "payload gone" ? Fault{"CreateFileA", 4, ERROR_ACCESS_DENIED}
                                                                         : Fault{});
                EXPECT_EQ("", Told([&] { installer = std::make_unique<DriverInstaller>(TRUE); })) << what;
            }
            const Condition condition(fault);
            said = Told([&, run = operation] { succeeded = ((*installer).*run)(); });
        }
        EXPECT_EQ(told, said) << what;
        EXPECT_EQ(told == INSTALLED || told == UPGRADED || told == REMOVED, succeeded) << what;
        EXPECT_EQ(left, State()) << what;
    }
    Prepare(Clean);
}

const std::string PATH_FAILED = "An error occurred while building the path:\n";

// A directory query as the test makes it answer: text, length returned, last
// error. All empty: the system's own answer.
struct Answer {
    std::string text;
    DWORD length, error;
} tempAnswer, systemAnswer;

template <typename Size>
Size Give(const Answer& answer, LPSTR buffer, Size size) {
    std::memcpy(buffer, answer.text.c_str(), std::min<std::size_t>(answer.text.size() + 1, size));
    ::SetLastError(answer.error);
    return answer.length;
}
DWORD WINAPI GiveTemp(DWORD size, LPSTR buffer) { return Give(tempAnswer, buffer, size); }
UINT WINAPI GiveSystem(LPSTR buffer, UINT size) { return Give(systemAnswer, buffer, size); }

TEST(Construction, PathsFromTheSystemsDirectories) {
    Prepare(Clean);
    ::CreateDirectoryA("", nullptr);
    const std::string noFolder =
        "Could not create output directory :\n" + FormatSystemMessage(::GetLastError()) + EXTRACT_FAILED;
    const std::string tooLong = PATH_FAILED + FormatSystemMessage(ERROR_INSUFFICIENT_BUFFER);
    const std::string d250 = "C:\\" + std::string(247, 'd'), d251 = d250 + "d";
    // The directories' answers, what construction tells, and where the driver and the message file go.
    const std::tuple<const char*, Answer, Answer, std::string, std::string> rows[] = {
        {"temporary directory of 260", Answer{"C:\\cut\\", 260, 0}, Answer{}, tooLong + noFolder, " "},
        {"no system directory", Answer{}, Answer{"", 0, ERROR_ACCESS_DENIED},
         PATH_FAILED + FormatSystemMessage(ERROR_ACCESS_DENIED), " "},
        {"system directory of 250", Answer{}, Answer{d250, 250, 0}, "",
         d250 + "\\drivers\\kestgard.sys " + d250 + "\\kestgard.dll"},
        {"system directory of 251: no room for the drivers folder", Answer{}, Answer{d251, 251, 0}, tooLong,
         " " + d251 + "\\kestgard.dll"},
    };
    for (const auto& [what, temp, system, told, paths] : rows) {
        tempAnswer = temp;
        systemAnswer = system;
        const ApiOverride tempPath(sys.GetTempPathA, temp.length + temp.error ? &GiveTemp : sys.GetTempPathA);
        const ApiOverride systemDirectory(sys.GetSystemDirectoryA,
                                          system.length + system.error ? &GiveSystem : sys.GetSystemDirectoryA);
        std::string placed;
        EXPECT_EQ(told, Told([&] {
                      const DriverInstaller installer(TRUE);
                      placed = installer.GetDriverDestinationPath() + " " + installer.GetMessageFileDestinationPath();
                  }))
            << what;
        EXPECT_EQ(paths, placed) << what;
        std::filesystem::remove_all(TempFolderPath());
    }
}

TEST(Construction, StatusAndExtraction) {
    const std::string notOpened = "Cannot open " + GetModuleFilePath(nullptr) +
                                  " for reading: " + RemoveLineBreaks(FormatSystemMessage(ERROR_SHARING_VIOLATION));
    const InstallStatus NOT_INSTALLED = INSTALL_STATUS_NOT_INSTALLED;
    // CreateFileA holds the temporary folder, then opens the program file.
    const std::tuple<const char*, Machine, Fault, InstallStatus, std::string> rows[] = {
        {"installed", Installed, Fault{}, INSTALL_STATUS_INSTALLED, ""},
        {"stopped", Stopped, Fault{}, NOT_INSTALLED, ""},
        {"more drivers than the buffer holds", Installed, Fault{"EnumServicesStatusA", 1, ERROR_MORE_DATA},
         NOT_INSTALLED, ""},
        {"manager access denied", Installed, Fault{"OpenSCManagerA", 1, DENIED}, NOT_INSTALLED,
         "An error occurred while querying the status of the driver:Cannot access the service control manager"},
        {"program file not opened: told on standard output too", Clean,
         Fault{"CreateFileA", 2, ERROR_SHARING_VIOLATION}, NOT_INSTALLED, notOpened + EXTRACT_FAILED},
        {"32-bit installer on 64-bit Windows: nothing done", Installed, Fault{"WoW64"}, NOT_INSTALLED, NEEDS_64_BIT},
    };
    for (const auto& [what, machine, fault, status, told] : rows) {
        Prepare(machine);
        const MessageBoxRecorder boxes;
        InstallStatus found{};
        bool supported = true;
        const Condition condition(fault);
        EXPECT_EQ(told, Told([&] {
                      const DriverInstaller installer(TRUE);
                      found = installer.GetInstallStatus();
                      supported = installer.IsSupported();
                  }))
            << what;
        EXPECT_EQ(status, found) << what;
        EXPECT_EQ(told != NEEDS_64_BIT, supported) << what;
        EXPECT_EQ("", boxes.Told()) << what;
        EXPECT_FALSE(std::filesystem::exists(TempFolderPath())) << what << ": the temporary folder is left";
    }
    const MessageBoxRecorder boxes;
    {
        const Injected injected(Fault{"CreateFileA", 2, ERROR_SHARING_VIOLATION});
        const DriverInstaller dialog(FALSE);
    }
    EXPECT_EQ("[exclamation: " + notOpened + "][exclamation: " + EXTRACT_FAILED + "]", boxes.Told()) << "dialog run";
}

// A DACL as SDDL, e.g. "D:P(A;OICI;FA;;;SY)"; "plain" for none.
std::string Dacl(PSECURITY_DESCRIPTOR descriptor) {
    char* text = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                                &text, nullptr))
        return "plain";
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    // A list marked as defaulted gives way to the inheritable entries of the folder above (Everyone's).
    const std::string dacl = std::string(text) + (control & SE_DACL_DEFAULTED ? " defaulted" : "");
    ::LocalFree(text);
    return dacl;
}

// The process's user (TokenUser) or the owner it gives what it makes (TokenOwner), as SDDL.
std::string Account(TOKEN_INFORMATION_CLASS which) {
    HANDLE token = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
    const FileHandle owned(token);
    PSID buffer[64];  // TOKEN_USER and TOKEN_OWNER begin with the SID; room for it behind
    DWORD size = 0;
    char* sid = nullptr;
    ::GetTokenInformation(token, which, buffer, sizeof buffer, &size) && ::ConvertSidToStringSidA(buffer[0], &sid);
    const std::string text(sid);
    ::LocalFree(sid);
    return text;
}

// The DACLs handed to CreateDirectoryA, call by call. Wine keeps none on the
// folder (it reads back a list of its own), so they are taken on the way in.
std::vector<std::string> created;
decltype(SystemApi::CreateDirectoryA) createDirectory;
BOOL WINAPI RecordCreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES attributes) {
    created.push_back(attributes != nullptr ? Dacl(attributes->lpSecurityDescriptor) : "plain");
    return createDirectory(path, attributes);
}

TEST(Construction, TheTemporaryFolderIsTheRunsOwn) {
    // Protected ("P"): Windows 2000 and later would add the entries of the
    // folder above. Each entry is inherited by what is made inside.
    const std::string me = Account(TokenUser), OWN = "D:P(A;OICI;FA;;;" + me + ")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    const auto notMade = [](DWORD code) {
        return "Could not create output directory " + TempFolderPath() + ":\n" + FormatSystemMessage(code) +
               EXTRACT_FAILED;
    };
    const std::string NO_FILE = CopyFailed(SYS, ERROR_FILE_NOT_FOUND),
                      NO_FOLDER = CopyFailed(SYS, ERROR_PATH_NOT_FOUND);
    const std::string PLANTED = " +kginst aside: a\\b\\kestgard.dll=planted library kestgard.sys=planted driver",
                      SWAPPED = "- - - - +kginst: keep.txt=not the installer's +kginst.gone:";
    const std::string NOT_OURS = notMade(ERROR_ALREADY_EXISTS) + NO_FILE, STRANGERS = "- - - - +kginst:";
    using Dacls = std::vector<std::string>;
    // What construction and Install tell, the DACLs handed to CreateDirectoryA, and what is left.
    const std::tuple<const char*, Machine, Fault, std::string, Dacls, std::string> rows[] = {
        {"made plainly on FAT, where there is no owner to check", Clean, Fault{"FAT volume"}, INSTALLED, Dacls{"plain"},
         DONE},
        {"made private where the volume does not answer", Clean, Fault{"GetVolumeInformationA", 1, ERROR_NOT_READY},
         INSTALLED, Dacls{OWN}, DONE},
        {"a planted folder moved aside, untouched", Planted, Fault{}, INSTALLED, Dacls{OWN, OWN}, DONE + PLANTED},
        {"a folder made again meanwhile", Planted, Fault{"CreateDirectoryA", 2, ERROR_ALREADY_EXISTS},
         notMade(ERROR_ALREADY_EXISTS) + NO_FOLDER, Dacls{OWN, OWN}, "- - - -" + PLANTED},
        {"the user's account unreadable", Clean, Fault{"OpenProcessToken", 1, ERROR_ACCESS_DENIED},
         notMade(ERROR_ACCESS_DENIED) + NO_FOLDER, Dacls{}, "- - - -"},
        {"a second run at the same time", Clean, Fault{"another run"}, notMade(ERROR_SHARING_VIOLATION) + NO_FILE,
         Dacls{OWN}, "- - - - +kginst: kestgard.dll=new kestgard.sys=new"},
        {"swapped for a link before it is held", Clean, Fault{"swapped for a link"}, NOT_OURS, Dacls{OWN}, SWAPPED},
        {"swapped for one open to all", Clean, Fault{"swapped for everyone's folder"}, NOT_OURS, Dacls{OWN}, SWAPPED},
        {"a folder of another owner", Clean, Fault{"security O:S-1-5-21-1-2-3-1001D:P(A;OICI;FA;;;SY)"}, NOT_OURS,
         Dacls{OWN}, STRANGERS},
        {"a folder without an access list", Clean, Fault{"security O:" + me}, NOT_OURS, Dacls{OWN}, STRANGERS},
        {"this user's, its list in other words", Clean,
         Fault{"security O:" + me + "D:(D;;FA;;;WD)(A;;FA;;;SY)(A;;FA;;;BA)"}, INSTALLED, Dacls{OWN}, DONE},
        {"owned as this user's token owns", Clean,
         Fault{"security O:" + Account(TokenOwner) + "D:(A;;FA;;;" + me + ")"}, INSTALLED, Dacls{OWN}, DONE},
        {"nothing replaced while it is read and copied", Clean, Fault{"tampering"}, INSTALLED, Dacls{OWN}, DONE},
    };
    for (const auto& [what, machine, fault, told, dacls, left] : rows) {
        Prepare(machine);
        created.clear();
        const Condition condition(fault);
        createDirectory = sys.CreateDirectoryA;
        const ApiOverride recording(sys.CreateDirectoryA, &RecordCreateDirectoryA);
        EXPECT_EQ(told, Told([] { DriverInstaller(TRUE).Install(); })) << what;
        EXPECT_EQ(dacls, created) << what << ": the DACLs the folder was made with";
        EXPECT_EQ(left, State()) << what;
    }
    // Held without delete sharing: neither the folder nor the program file nor an extracted file can be
    // renamed, written or deleted meanwhile.
    const std::string held = std::to_string(ERROR_SHARING_VIOLATION);
    EXPECT_EQ("reading: folder renamed " + held + " program written " + held + "; copying: driver written " + held +
                  " deleted " + held + " renamed " + held,
              Race::tried);
    Prepare(Clean);
}

TEST(Operations, RegistryWritesAddressedByOneText) {
    ::SetLastError(4242);
    EXPECT_EQ(ERROR_BADKEY, SetRegistryString(HKEY_LOCAL_MACHINE, "KgTests", "x")) << "a path without a backslash";
    EXPECT_EQ(ERROR_SUCCESS, SetRegistryDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\KgTests\\N", 0x01020304));
    EXPECT_EQ(4242u, ::GetLastError()) << "a registry write changed the last error";
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KgTests");
}

// The CTest entry installer_restart runs these in turn, with a restart of
// the machine after each but the last: a running driver upgraded, then
// uninstalled, then installed again.
TEST(DISABLED_AcrossRestarts, UpgradeARunningDriver) {
    Prepare(Old);
    Told([] { DriverInstaller(TRUE).Upgrade(); });  // checked by the row "upgrade a running driver: moved aside"
}

TEST(DISABLED_AcrossRestarts, UninstallTheUpgradedDriver) {
    EXPECT_EQ(DONE, State()) << "the new driver does not run alone after the restart";
    EXPECT_EQ(REMOVED, Told([] { DriverInstaller(TRUE).Uninstall(); }));
}

TEST(DISABLED_AcrossRestarts, InstallAgain) {
    EXPECT_EQ("- - - -", State()) << "the restart did not remove the uninstalled driver";
    EXPECT_EQ(INSTALLED, Told([] { DriverInstaller(TRUE).Install(); }));
    EXPECT_EQ(DONE, State());
}

// The CTest entry installer_full_disk runs the first on its machine, then
// this one with the drivers folder on a file system that is full.
TEST(DISABLED_FullDisk, OldDriverStopped) { Prepare(OldStopped); }

TEST(DISABLED_FullDisk, NothingReplaced) {
    StopDriver(false);  // started again when the machine started
    for (const Operation operation : {INSTALL, UPGRADE}) {
        EXPECT_EQ(CopyFailed(SYS, ERROR_DISK_FULL), Told([&] { (DriverInstaller(TRUE).*operation)(); }));
        EXPECT_EQ("stopped old new registered", State())
            << "the old driver not left whole, or the new one's start left beside it";
    }
}

}  // namespace
}  // namespace kg
