// The temporary folder is the run's own: made fresh with access for the
// current user, SYSTEM and the Administrators only, whatever had its name
// removed first, held open while the run lasts, and never copied from when it
// could not be made.
//
// Wine keeps no security descriptor on a file: it turns a DACL into Unix
// permissions and reads back a list of its own. So the folder's DACL is
// checked as the program hands it to CreateDirectoryA, and on disk only for
// what survives: whether others have access.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "framework/system_text.h"
#include "tests/installer/machine.h"

namespace kg {
namespace {

using namespace test;

const std::string EXTRACT_FAILED = "Error while extracting files";

// A DACL in SDDL, e.g. "D:P(A;OICI;FA;;;SY)"; "plain" for none.
std::string Dacl(PSECURITY_DESCRIPTOR descriptor) {
    char* text = nullptr;
    if (descriptor == nullptr ||
        !::ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        return "plain";
    }
    const std::string dacl(text);
    ::LocalFree(text);
    return dacl;
}

// Whether the DACL of `path`, as the system reads it back, lets Everyone in.
bool OpenToEveryone(const std::string& path) {
    alignas(DWORD) BYTE buffer[4096];
    DWORD size = 0;
    return ::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, buffer, sizeof buffer, &size) &&
           Dacl(buffer).find(";;;WD)") != std::string::npos;
}

std::string CurrentUser() {
    HANDLE token = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
    const FileHandle owned(token);
    union { TOKEN_USER user; BYTE bytes[256]; } buffer;
    DWORD size = 0;
    char* sid = nullptr;
    ::GetTokenInformation(token, TokenUser, &buffer, sizeof buffer, &size);
    ::ConvertSidToStringSidA(buffer.user.User.Sid, &sid);
    const std::string text(sid);
    ::LocalFree(sid);
    return text;
}

// The DACL that CreateDirectoryA is given, call by call.
std::vector<std::string> created;
BOOL WINAPI RecordingCreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES attributes) {
    created.push_back(Dacl(attributes != nullptr ? attributes->lpSecurityDescriptor : nullptr));
    return ::CreateDirectoryA(path, attributes);
}

// The volume's answer to GetVolumeInformationA: its flags, or none (0).
DWORD volumeFlags = 0;
BOOL WINAPI GivenVolume(LPCSTR, LPSTR, DWORD, LPDWORD, LPDWORD, LPDWORD flags, LPSTR, DWORD) {
    ::SetLastError(ERROR_NOT_READY);
    *flags = volumeFlags;
    return volumeFlags != 0;
}

TEST(PrivateFolder, MadeForTheUserSystemAndAdministratorsWhereTheVolumeKeepsSecurity) {
    // Protected ("P"): Windows 2000 and later would add the entries of the
    // folder above. Each entry is inherited by what is made inside.
    const std::string own = "D:P(A;OICI;FA;;;" + CurrentUser() + ")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    const struct { const char* what; DWORD flags; std::string dacl; } rows[] = {
        {"NTFS", FS_CASE_IS_PRESERVED | FS_PERSISTENT_ACLS, own},
        {"FAT", FS_CASE_IS_PRESERVED, "plain"},
        {"a volume that does not answer", 0, own},
    };
    for (const auto& row : rows) {
        Prepare(Clean);
        volumeFlags = row.flags;
        created.clear();
        const ApiOverride volume(sys.GetVolumeInformationA, &GivenVolume);
        const ApiOverride recording(sys.CreateDirectoryA, &RecordingCreateDirectoryA);
        bool others = false;
        EXPECT_EQ("", Told([&] {
            const DriverInstaller installer(TRUE);
            others = OpenToEveryone(TempFolder());
        })) << row.what;
        EXPECT_EQ(std::vector<std::string>{row.dacl}, created) << row.what;
        EXPECT_EQ(row.dacl == "plain", others) << row.what << ": whether others can reach the folder";
    }
}

// A kginst folder of someone else's, open to everyone, with a driver of theirs.
void PlantFolder() {
    ::CreateDirectoryA(TempFolder().c_str(), nullptr);
    PSECURITY_DESCRIPTOR everyone = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &everyone, nullptr);
    ::SetFileSecurityA(TempFolder().c_str(), DACL_SECURITY_INFORMATION, everyone);
    ::LocalFree(everyone);
    WriteBytes(TempFolder() + DRIVER_FILE_NAME, "planted driver");
}
void PlantTree() {
    PlantFolder();
    std::filesystem::create_directories(TempFolder() + "a\\b");
    WriteBytes(TempFolder() + "a\\b\\" + MESSAGE_FILE_NAME, "planted library");
}
void PlantFile() { WriteBytes(TempFolder().substr(0, TempFolder().size() - 1), "a file named kginst"); }
// A folder inside the planted one that the system shows as a link (a
// junction) to a folder elsewhere; Wine can make no real one.
void PlantLink() {
    PlantFolder();
    std::filesystem::create_directories(TempFolder() + "link");
    WriteBytes(TempFolder() + "link\\keep.txt", "not the installer's");
}
DWORD WINAPI LinkAttributes(LPCSTR path) {
    const std::string name(path);
    const bool link = name.size() > 5 && name.compare(name.size() - 5, 5, "\\link") == 0;
    return link ? FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT : ::GetFileAttributesA(path);
}

TEST(PrivateFolder, WhateverHadItsNameIsReplacedOrTheInstallFailsAsWithoutPayload) {
    const auto folderFailed = [](DWORD code) {
        return "Could not create output directory " + TempFolder() + ":\n" + FormatSystemMessage(code) + EXTRACT_FAILED;
    };
    const std::string INSTALLED = "Kestrelgard has been successfully installed.";
    const auto copyFailed = [](DWORD code) { return "An error occurred while copying the file kestgard.sys:\n" + FormatSystemMessage(code); };
    const struct { const char* what; void (*plant)(); bool driverHeldOpen; Fault fault; std::string told, left; } rows[] = {
        {"a planted folder open to everyone", PlantFolder, false, {}, INSTALLED, "running new new registered"},
        {"a planted tree", PlantTree, false, {}, INSTALLED, "running new new registered"},
        {"a file in the folder's place", PlantFile, false, {}, INSTALLED, "running new new registered"},
        {"a planted driver held open", PlantFolder, true, {}, folderFailed(ERROR_SHARING_VIOLATION) + copyFailed(ERROR_FILE_NOT_FOUND), "- - - - +temporary folder"},
        {"a planted folder that cannot be listed", PlantFolder, false, {"FindFirstFileA", 1, ERROR_ACCESS_DENIED}, folderFailed(ERROR_ACCESS_DENIED) + copyFailed(ERROR_FILE_NOT_FOUND), "- - - - +temporary folder"},
        {"a planted link to a folder elsewhere", PlantLink, false, {}, folderFailed(ERROR_DIR_NOT_EMPTY) + copyFailed(ERROR_FILE_NOT_FOUND), "- - - - +temporary folder"},
        {"a folder made again meanwhile", nullptr, false, {"CreateDirectoryA", 0, ERROR_ALREADY_EXISTS}, folderFailed(ERROR_ALREADY_EXISTS) + copyFailed(ERROR_PATH_NOT_FOUND), "- - - -"},
        {"the user's account unreadable", nullptr, false, {"OpenProcessToken", 1, ERROR_ACCESS_DENIED}, folderFailed(ERROR_ACCESS_DENIED) + copyFailed(ERROR_PATH_NOT_FOUND), "- - - -"},
    };
    for (const auto& row : rows) {
        Prepare(Clean);
        if (row.plant != nullptr) row.plant();
        std::string told;
        {
            const FileHandle held(row.driverHeldOpen ? ::CreateFileA((TempFolder() + DRIVER_FILE_NAME).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                                                     : INVALID_HANDLE_VALUE);
            const ApiOverride link(sys.GetFileAttributesA, row.plant == PlantLink ? &LinkAttributes : sys.GetFileAttributesA);
            const Condition fault(row.fault);
            told = Told([&] {
                DriverInstaller installer(TRUE);
                EXPECT_FALSE(row.told == INSTALLED && OpenToEveryone(TempFolder())) << row.what << ": others can reach the new folder";
                installer.Install();
            });
        }
        EXPECT_EQ(row.told, told) << row.what;
        EXPECT_EQ(row.left, State()) << row.what;
    }
    Prepare(Clean);
}

TEST(PrivateFolder, HeldWhileTheRunLasts) {
    Prepare(Clean);
    const std::string folder = TempFolder().substr(0, TempFolder().size() - 1);
    const DriverInstaller installer(TRUE);
    EXPECT_FALSE(::MoveFileA(folder.c_str(), (folder + "-moved").c_str())) << "the folder could be swapped for another";
    EXPECT_FALSE(::RemoveDirectoryA(folder.c_str())) << "the folder could be removed";
    // A second run at the same time leaves the folder and its files to the first.
    EXPECT_EQ("Could not create output directory " + TempFolder() + ":\n" + FormatSystemMessage(ERROR_SHARING_VIOLATION) + EXTRACT_FAILED,
              Told([] { const DriverInstaller second(TRUE); }));
    EXPECT_EQ(ReadBytes(KG_SAMPLE_DIR + DRIVER_FILE_NAME), ReadBytes(TempFolder() + DRIVER_FILE_NAME)) << "a second run took the first one's files";
}

}  // namespace
}  // namespace kg
