// The temporary folder is the run's own: made fresh with access for the
// current user, SYSTEM and the Administrators only, whatever held its name
// before removed, held open while the run lasts, and never copied from when
// it could not be made.
//
// Wine keeps no security descriptor on a file: it turns the one given into
// Unix permissions and reads them back as a list of its own (the owner,
// SYSTEM, and Everyone for the permissions of others). So the folder's list
// is checked as the program hands it to CreateDirectoryA, and on disk only
// for what survives: nobody else has access.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <optional>
#include <string>
#include <vector>

#include "framework/system_text.h"
#include "installer/driver_installer.h"
#include "tests/installer/installer_machine.h"

namespace kg {
namespace {

using test::CleanMachine;
using test::FileExists;
using test::FolderExists;
using test::InstalledDriver;
using test::ListFolder;
using test::LockedFile;
using test::Override;
using test::ReadBytes;
using test::SamplePayload;
using test::StdoutCapture;
using test::TempFolder;
using test::WriteBytes;

const std::string EXTRACT_FAILED = "Error while extracting files";
const std::vector<std::string> EXTRACTED = {"kestgard.dll", "kestgard.sys"};

// --- Access lists, written as SDDL -----------------------------------------

// The DACL of `descriptor` in SDDL, e.g. "D:P(A;OICI;FA;;;SY)"; "plain" for none.
std::string Dacl(PSECURITY_DESCRIPTOR descriptor) {
    char* text = nullptr;
    if (descriptor == nullptr || !::ConvertSecurityDescriptorToStringSecurityDescriptorA(
                                     descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        return "plain";
    }
    const std::string dacl(text);
    ::LocalFree(text);
    return dacl;
}

// The DACL of the file or folder `path` as the system reads it back.
std::string DaclOnDisk(const std::string& path) {
    alignas(DWORD) BYTE buffer[4096];
    DWORD size = 0;
    return ::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, buffer, sizeof buffer, &size) ? Dacl(buffer)
                                                                                                      : "unreadable";
}

bool OpenToEveryone(const std::string& dacl) { return dacl.find(";;;WD)") != std::string::npos; }

// The user this process runs as, in SDDL.
std::string CurrentUser() {
    HANDLE token = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } buffer;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, &buffer, sizeof buffer, &size);
    ::CloseHandle(token);
    char* text = nullptr;
    ::ConvertSidToStringSidA(buffer.user.User.Sid, &text);
    const std::string sid(text);
    ::LocalFree(text);
    return sid;
}

// The DACL that CreateDirectoryA is given, for each call.
std::vector<std::string> created;

BOOL WINAPI RecordingCreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES attributes) {
    created.push_back(Dacl(attributes != nullptr ? attributes->lpSecurityDescriptor : nullptr));
    return ::CreateDirectoryA(path, attributes);
}

// A volume's answer to GetVolumeInformationA, as the test sets it.
BOOL volumeAnswers = TRUE;
DWORD volumeFlags = 0;
BOOL WINAPI GivenVolume(LPCSTR, LPSTR, DWORD, LPDWORD, LPDWORD, LPDWORD flags, LPSTR, DWORD) {
    ::SetLastError(ERROR_NOT_READY);
    *flags = volumeFlags;
    return volumeAnswers;
}

using PrivateFolder = test::MachineTest;

TEST_F(PrivateFolder, IsCreatedForTheUserSystemAndAdministratorsOnlyWhereTheVolumeKeepsSecurity) {
    // Protected ("P"): Windows 2000 and later would add the entries of the
    // folder above. Every entry is inherited by what is made inside.
    const std::string own = "D:P(A;OICI;FA;;;" + CurrentUser() + ")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    const struct {
        const char* what;
        BOOL answers;
        DWORD flags;
        std::string dacl;
    } cases[] = {
        {"NTFS", TRUE, FS_CASE_IS_PRESERVED | FS_PERSISTENT_ACLS, own},
        {"FAT", TRUE, FS_CASE_IS_PRESERVED, "plain"},
        {"a volume that does not answer", FALSE, 0, own},
    };
    for (const auto& c : cases) {
        volumeAnswers = c.answers;
        volumeFlags = c.flags;
        created.clear();
        const auto volume = Override(sys.GetVolumeInformationA, GivenVolume);
        const auto recording = Override(sys.CreateDirectoryA, RecordingCreateDirectoryA);
        StdoutCapture out;
        {
            const DriverInstaller installer(TRUE);
            EXPECT_EQ(EXTRACTED, ListFolder(TempFolder())) << c.what;
            // Wine keeps only what Unix permissions can: whether others have access.
            EXPECT_EQ(c.dacl == "plain", OpenToEveryone(DaclOnDisk(TempFolder()))) << c.what;
        }
        EXPECT_EQ("", out.Text()) << c.what;
        EXPECT_EQ(std::vector<std::string>{c.dacl}, created) << c.what;
    }
}

// --- Whatever held the folder's name before -----------------------------------

// Gives the file or folder `path` the DACL `sddl`.
void SetDacl(const std::string& path, const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr);
    EXPECT_TRUE(::SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor));
    ::LocalFree(descriptor);
    EXPECT_TRUE(OpenToEveryone(DaclOnDisk(path))) << "the planted folder is not open to everyone";
}

TEST_F(PrivateFolder, WhateverHeldItsNameIsRemovedAndTheFolderMadeAnew) {
    const SamplePayload sample;
    const struct {
        const char* what;
        void (*plant)();
    } cases[] = {
        {"a folder open to everyone with a planted driver",
         [] {
             ::CreateDirectoryA(TempFolder().c_str(), nullptr);
             SetDacl(TempFolder(), "D:(A;OICI;FA;;;WD)");
             WriteBytes(TempFolder() + "kestgard.sys", "planted driver");
             WriteBytes(TempFolder() + "other.txt", "planted");
         }},
        {"a tree of folders and files",
         [] {
             ::CreateDirectoryA(TempFolder().c_str(), nullptr);
             ::CreateDirectoryA((TempFolder() + "a").c_str(), nullptr);
             ::CreateDirectoryA((TempFolder() + "a\\b").c_str(), nullptr);
             WriteBytes(TempFolder() + "a\\b\\deep.txt", "x");
             WriteBytes(TempFolder() + "a\\kestgard.dll", "planted library");
         }},
        {"an empty folder", [] { ::CreateDirectoryA(TempFolder().c_str(), nullptr); }},
        {"a file", [] { WriteBytes(TempFolder().substr(0, TempFolder().size() - 1), "a file named kginst"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CleanMachine();
        c.plant();
        StdoutCapture out;
        {
            const DriverInstaller installer(TRUE);
            EXPECT_EQ(EXTRACTED, ListFolder(TempFolder()));
            EXPECT_EQ(sample.DriverBytes(), ReadBytes(installer.GetDriverSourcePath()));
            EXPECT_EQ(sample.MessageFileBytes(), ReadBytes(installer.GetMessageFileSourcePath()));
            EXPECT_FALSE(OpenToEveryone(DaclOnDisk(TempFolder()))) << "others can still reach the folder";
        }
        EXPECT_EQ("", out.Text());
        EXPECT_FALSE(FolderExists(TempFolder()));
    }
}

// --- A folder that cannot be made ---------------------------------------------

HANDLE WINAPI ListingDenied(LPCSTR, LPWIN32_FIND_DATAA) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}
BOOL WINAPI AlwaysExists(LPCSTR, LPSECURITY_ATTRIBUTES) {
    ::SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
}
BOOL WINAPI CreationDenied(LPCSTR, LPSECURITY_ATTRIBUTES) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}
BOOL WINAPI TokenDenied(HANDLE, DWORD, PHANDLE) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// A folder inside the planted one that the system shows as a link (a
// junction) to a folder elsewhere.
DWORD WINAPI LinkAttributes(LPCSTR path) {
    const std::string name(path);
    if (name.size() > 5 && name.compare(name.size() - 5, 5, "\\link") == 0) {
        return FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    }
    return ::GetFileAttributesA(path);
}

void PlantDriver() {
    ::CreateDirectoryA(TempFolder().c_str(), nullptr);
    WriteBytes(TempFolder() + "kestgard.sys", "planted driver");
}

void PlantLink() {
    PlantDriver();
    ::CreateDirectoryA((TempFolder() + "link").c_str(), nullptr);
    WriteBytes(TempFolder() + "link\\keep.txt", "not the installer's");
}

TEST_F(PrivateFolder, ThatCannotBeMadeIsToldAndNothingIsCopiedFromIt) {
    struct Case {
        const char* what;
        void (*plant)();
        bool driverHeldOpen;
        decltype(sys.FindFirstFileA) listing;
        decltype(sys.GetFileAttributesA) attributes;
        decltype(sys.CreateDirectoryA) create;
        decltype(sys.OpenProcessToken) token;
        DWORD error;          // told with message 117
        DWORD copyError;      // told when the install then copies the driver
        const char* survivor;  // in the temporary folder: what the cleanup must leave
    };
    const Case cases[] = {
        {"a planted driver held open", PlantDriver, true, nullptr, nullptr, nullptr, nullptr, ERROR_SHARING_VIOLATION,
         ERROR_FILE_NOT_FOUND, "kestgard.sys"},
        {"a planted folder that cannot be listed", PlantDriver, false, ListingDenied, nullptr, nullptr, nullptr,
         ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, "kestgard.sys"},
        {"a planted link to a folder elsewhere", PlantLink, false, nullptr, LinkAttributes, nullptr, nullptr,
         ERROR_DIR_NOT_EMPTY, ERROR_FILE_NOT_FOUND, "link\\keep.txt"},
        {"a folder made again by someone else meanwhile", nullptr, false, nullptr, nullptr, AlwaysExists, nullptr,
         ERROR_ALREADY_EXISTS, ERROR_PATH_NOT_FOUND, nullptr},
        {"creation refused", nullptr, false, nullptr, nullptr, CreationDenied, nullptr, ERROR_ACCESS_DENIED,
         ERROR_PATH_NOT_FOUND, nullptr},
        {"the user's account cannot be read", nullptr, false, nullptr, nullptr, nullptr, TokenDenied,
         ERROR_ACCESS_DENIED, ERROR_PATH_NOT_FOUND, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CleanMachine();
        if (c.plant != nullptr) {
            c.plant();
        }
        {
            std::optional<LockedFile> held;
            if (c.driverHeldOpen) {
                held.emplace(TempFolder() + "kestgard.sys");
            }
            const auto listing = Override(sys.FindFirstFileA, c.listing ? c.listing : sys.FindFirstFileA);
            const auto attributes = Override(sys.GetFileAttributesA, c.attributes ? c.attributes : sys.GetFileAttributesA);
            const auto create = Override(sys.CreateDirectoryA, c.create ? c.create : sys.CreateDirectoryA);
            const auto token = Override(sys.OpenProcessToken, c.token ? c.token : sys.OpenProcessToken);
            StdoutCapture out;
            DriverInstaller installer(TRUE);
            EXPECT_FALSE(installer.Install());
            EXPECT_EQ("Could not create output directory " + TempFolder() + ":\n" + FormatSystemMessage(c.error) +
                          EXTRACT_FAILED + "An error occurred while copying the file kestgard.sys:\n" +
                          FormatSystemMessage(c.copyError),
                      out.Text());
            EXPECT_FALSE(FileExists(InstalledDriver())) << "the drivers folder was reached";
        }
        if (c.survivor != nullptr) {
            EXPECT_TRUE(FileExists(TempFolder() + c.survivor)) << "the cleanup touched what was not its own";
        }
    }
}

// --- The folder while the run lasts -------------------------------------------

TEST_F(PrivateFolder, CannotBeRenamedOrRemovedWhileTheRunLasts) {
    const std::string folder = TempFolder().substr(0, TempFolder().size() - 1);
    const std::string elsewhere = folder + "-moved";
    {
        const DriverInstaller installer(TRUE);
        EXPECT_FALSE(::MoveFileA(folder.c_str(), elsewhere.c_str())) << "the folder could be swapped for another";
        EXPECT_FALSE(::RemoveDirectoryA(folder.c_str()));
        // A second run at the same time leaves the folder and its files to the first.
        StdoutCapture out;
        { const DriverInstaller second(TRUE); }
        EXPECT_EQ("Could not create output directory " + TempFolder() + ":\n" +
                      FormatSystemMessage(ERROR_SHARING_VIOLATION) + EXTRACT_FAILED,
                  out.Text());
        EXPECT_EQ(EXTRACTED, ListFolder(TempFolder())) << "a second run took the first one's files";
    }
    EXPECT_FALSE(FolderExists(TempFolder()));
    EXPECT_FALSE(FolderExists(elsewhere));
}

}  // namespace
}  // namespace kg
