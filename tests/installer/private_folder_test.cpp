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

// --- Security identifiers and access lists ------------------------------------

struct OwnSid {
    explicit OwnSid(DWORD first, DWORD second = 0, BYTE count = 1) {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        ::AllocateAndInitializeSid(&nt, count, first, second, 0, 0, 0, 0, 0, 0, &sid);
    }
    ~OwnSid() { ::FreeSid(sid); }
    OwnSid(const OwnSid&) = delete;
    OwnSid& operator=(const OwnSid&) = delete;
    PSID sid = nullptr;
};

// The user this process runs as.
std::string CurrentUserSid() {
    HANDLE token = nullptr;
    EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } buffer;
    DWORD size = 0;
    EXPECT_TRUE(::GetTokenInformation(token, TokenUser, &buffer, sizeof buffer, &size));
    ::CloseHandle(token);
    const PSID sid = buffer.user.User.Sid;
    return std::string(static_cast<const char*>(sid), ::GetLengthSid(sid));
}

std::string SidBytes(PSID sid) { return std::string(static_cast<const char*>(sid), ::GetLengthSid(sid)); }

// One entry of an access list, as the tests compare it.
struct Entry {
    std::string trustee;  // the SID's bytes
    DWORD mask;
    BYTE flags;
    bool operator==(const Entry& other) const {
        return trustee == other.trustee && mask == other.mask && flags == other.flags;
    }
};

std::vector<Entry> Entries(PACL acl) {
    std::vector<Entry> entries;
    for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
        void* raw = nullptr;
        ::GetAce(acl, i, &raw);
        const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
        EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType);
        entries.push_back({SidBytes(const_cast<DWORD*>(&ace->SidStart)), ace->Mask, ace->Header.AceFlags});
    }
    return entries;
}

// The access list of the folder `path` as the system reads it back.
std::vector<Entry> FolderEntries(const std::string& path) {
    alignas(DWORD) BYTE buffer[4096];
    DWORD size = 0;
    EXPECT_TRUE(::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, buffer, sizeof buffer, &size)) << path;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    ::GetSecurityDescriptorDacl(buffer, &present, &acl, &defaulted);
    return Entries(acl);
}

bool GrantsEveryone(const std::vector<Entry>& entries) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID sid = nullptr;
    ::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &sid);
    const std::string bytes = SidBytes(sid);
    ::FreeSid(sid);
    for (const Entry& entry : entries) {
        if (entry.trustee == bytes) {
            return true;
        }
    }
    return false;
}

// Gives the folder `path` an access list that lets Everyone do anything.
void OpenToEveryone(const std::string& path) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    alignas(DWORD) BYTE aclBytes[256];
    ACL* acl = reinterpret_cast<ACL*>(aclBytes);
    ::InitializeAcl(acl, sizeof aclBytes, ACL_REVISION);
    ::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, everyone);
    SECURITY_DESCRIPTOR descriptor;
    ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    EXPECT_TRUE(::SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor));
    ::FreeSid(everyone);
    EXPECT_TRUE(GrantsEveryone(FolderEntries(path))) << "the planted folder is not open to everyone";
}

// --- What CreateDirectoryA is given -------------------------------------------

struct Creation {
    bool withSecurity = false;
    WORD control = 0;
    std::vector<Entry> entries;
};
std::vector<Creation> creations;

BOOL WINAPI RecordingCreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES attributes) {
    Creation creation;
    if (attributes != nullptr) {
        creation.withSecurity = true;
        DWORD revision = 0;
        ::GetSecurityDescriptorControl(attributes->lpSecurityDescriptor, &creation.control, &revision);
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL acl = nullptr;
        ::GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &acl, &defaulted);
        creation.entries = Entries(acl);
    }
    creations.push_back(creation);
    return ::CreateDirectoryA(path, attributes);
}

using PrivateFolder = test::MachineTest;

TEST_F(PrivateFolder, IsCreatedForTheUserSystemAndAdministratorsOnlyProtectedFromTheFolderAbove) {
    creations.clear();
    const auto recording = Override(sys.CreateDirectoryA, RecordingCreateDirectoryA);
    const DriverInstaller installer(TRUE);

    ASSERT_EQ(1u, creations.size());
    EXPECT_TRUE(creations[0].withSecurity);
    EXPECT_TRUE(creations[0].control & SE_DACL_PROTECTED) << "the folder above would add its entries";
    const OwnSid system(SECURITY_LOCAL_SYSTEM_RID);
    const OwnSid administrators(SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 2);
    const BYTE inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    const std::vector<Entry> expected = {
        {CurrentUserSid(), FILE_ALL_ACCESS, inherited},
        {SidBytes(system.sid), FILE_ALL_ACCESS, inherited},
        {SidBytes(administrators.sid), FILE_ALL_ACCESS, inherited},
    };
    EXPECT_TRUE(expected == creations[0].entries) << "the folder's access list is not the private one";

    const std::vector<Entry> onDisk = FolderEntries(TempFolder());
    EXPECT_FALSE(GrantsEveryone(onDisk)) << "others can reach the new folder";
    EXPECT_EQ(EXTRACTED, ListFolder(TempFolder()));
}

// A volume's answer to GetVolumeInformationA, as the test sets it.
DWORD volumeFlags = 0;
BOOL volumeAnswers = TRUE;
BOOL WINAPI GivenVolume(LPCSTR, LPSTR, DWORD, LPDWORD, LPDWORD, LPDWORD flags, LPSTR, DWORD) {
    if (!volumeAnswers) {
        ::SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    *flags = volumeFlags;
    return TRUE;
}

TEST_F(PrivateFolder, IsCreatedPlainlyOnlyOnAVolumeWithoutSecurity) {
    const struct {
        const char* what;
        BOOL answers;
        DWORD flags;
        bool withSecurity;
    } cases[] = {
        {"NTFS", TRUE, FS_CASE_IS_PRESERVED | FS_PERSISTENT_ACLS, true},
        {"FAT", TRUE, FS_CASE_IS_PRESERVED, false},
        {"a volume that does not answer", FALSE, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        volumeAnswers = c.answers;
        volumeFlags = c.flags;
        creations.clear();
        const auto volume = Override(sys.GetVolumeInformationA, GivenVolume);
        const auto recording = Override(sys.CreateDirectoryA, RecordingCreateDirectoryA);
        StdoutCapture out;
        {
            const DriverInstaller installer(TRUE);
            EXPECT_EQ(EXTRACTED, ListFolder(TempFolder()));
        }
        EXPECT_EQ("", out.Text());
        ASSERT_EQ(1u, creations.size());
        EXPECT_EQ(c.withSecurity, creations[0].withSecurity);
    }
}

// --- Whatever held the folder's name before -----------------------------------

TEST_F(PrivateFolder, WhateverHeldItsNameIsRemovedAndTheFolderMadeAnew) {
    const SamplePayload sample;
    const struct {
        const char* what;
        void (*plant)();
    } cases[] = {
        {"a folder open to everyone with a planted driver",
         [] {
             ::CreateDirectoryA(TempFolder().c_str(), nullptr);
             OpenToEveryone(TempFolder());
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
            EXPECT_FALSE(GrantsEveryone(FolderEntries(TempFolder()))) << "others can still reach the folder";
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
        EXPECT_EQ(EXTRACTED, ListFolder(TempFolder()));
    }
    EXPECT_FALSE(FolderExists(TempFolder()));
    EXPECT_FALSE(FolderExists(elsewhere));
}

}  // namespace
}  // namespace kg
