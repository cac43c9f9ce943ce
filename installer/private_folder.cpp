#include "installer/private_folder.h"

#include "framework/later_api.h"

namespace kg {
namespace {

struct SidTraits {
    using Handle = PSID;
    static Handle Invalid() noexcept { return nullptr; }
    static bool Close(Handle sid) noexcept { return ::FreeSid(sid) == nullptr; }
};
using Sid = UniqueHandle<SidTraits>;

// The trustees of the run's folder: the user the process runs as, the owner
// it gives what it makes (the Administrators, for an elevated administrator),
// SYSTEM and the Administrators.
class RunAccount {
public:
    DWORD Read() {
        HANDLE token = nullptr;
        if (!sys.OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
            return ::GetLastError();
        }
        const FileHandle owned(token);
        DWORD size = 0;
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        if (!sys.GetTokenInformation(token, TokenUser, &userInfo, sizeof userInfo, &size) ||
            !sys.GetTokenInformation(token, TokenOwner, &ownerInfo, sizeof ownerInfo, &size) ||
            !::AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, system.Receive()) ||
            !::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                        administrators.Receive())) {
            return ::GetLastError();
        }
        return ERROR_SUCCESS;
    }

    PSID User() const { return userInfo.user.User.Sid; }
    PSID System() const { return system.Get(); }
    PSID Administrators() const { return administrators.Get(); }

    // Whether `sid` is this user, as the process runs or as its owner.
    bool IsThisUser(PSID sid) const { return ::EqualSid(sid, User()) || ::EqualSid(sid, ownerInfo.owner.Owner); }
    bool IsTrusted(PSID sid) const {
        return IsThisUser(sid) || ::EqualSid(sid, System()) || ::EqualSid(sid, Administrators());
    }

private:
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } userInfo;
    union {
        TOKEN_OWNER owner;
        BYTE bytes[sizeof(TOKEN_OWNER) + SECURITY_MAX_SID_SIZE];
    } ownerInfo;
    Sid system;
    Sid administrators;
};

constexpr DWORD ENTRY_COUNT = 3;
constexpr DWORD SECURITY_DESCRIPTOR_CAPACITY = 4096;
// The ACL's header and three entries, each of a SID of the largest size.
constexpr DWORD ACL_CAPACITY =
    sizeof(ACL) + ENTRY_COUNT * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + SECURITY_MAX_SID_SIZE);

// A security descriptor that grants full access to the current user, SYSTEM
// and the Administrators, and to nobody else.
class PrivateSecurity {
public:
    DWORD Build() {
        const DWORD error = account.Read();
        if (error != ERROR_SUCCESS) {
            return error;
        }
        ACL* acl = reinterpret_cast<ACL*>(aclBytes);
        const PSID trustees[ENTRY_COUNT] = {account.User(), account.System(), account.Administrators()};
        if (!::InitializeAcl(acl, sizeof aclBytes, ACL_REVISION)) {
            return ::GetLastError();
        }
        for (DWORD i = 0; i < ENTRY_COUNT; ++i) {
            void* entry = nullptr;
            if (!::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, trustees[i]) || !::GetAce(acl, i, &entry)) {
                return ::GetLastError();
            }
            // Set in place: NT 4 has no call that adds an entry with flags.
            static_cast<ACE_HEADER*>(entry)->AceFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
        }
        if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
            !::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE)) {
            return ::GetLastError();
        }
        // From Windows 2000 on, the system adds the inheritable entries of the
        // folder above (Everyone's, on a shared folder) to a list that is not
        // protected; NT 4 never adds them and has no call to protect one.
        using SetControl =
            BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL, SECURITY_DESCRIPTOR_CONTROL);
        if (const auto setControl = LaterSystemFunction<SetControl>("advapi32.dll", "SetSecurityDescriptorControl")) {
            if (!setControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
                return ::GetLastError();
            }
        }
        attributes.nLength = sizeof attributes;
        attributes.lpSecurityDescriptor = &descriptor;
        attributes.bInheritHandle = FALSE;
        return ERROR_SUCCESS;
    }

    SECURITY_ATTRIBUTES* Attributes() { return &attributes; }

private:
    RunAccount account;
    alignas(DWORD) BYTE aclBytes[ACL_CAPACITY];
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
};

// Whether the owner and the access list of the held `folder` are the ones
// PrivateSecurity gives: this user's, and nobody else granted anything. The
// list need not match entry for entry (a system may show it in its own
// words), but it must exist: a missing list grants everyone everything.
DWORD CheckSecurity(HANDLE folder) {
    RunAccount account;
    const DWORD error = account.Read();
    if (error != ERROR_SUCCESS) {
        return error;
    }
    // Enough for an owner and a list of a few entries; a folder whose
    // security is told at greater length is not the one made.
    alignas(DWORD) BYTE descriptor[SECURITY_DESCRIPTOR_CAPACITY];
    DWORD size = 0;
    PSID owner = nullptr;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    ACL* acl = nullptr;
    if (!sys.GetKernelObjectSecurity(folder, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor,
                                     sizeof descriptor, &size)) {
        const DWORD failure = ::GetLastError();
        return failure == ERROR_INSUFFICIENT_BUFFER ? ERROR_ALREADY_EXISTS : failure;
    }
    if (!::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !::GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted)) {
        return ::GetLastError();
    }
    if (owner == nullptr || !account.IsThisUser(owner) || !present || acl == nullptr) {
        return ERROR_ALREADY_EXISTS;
    }
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* entry = nullptr;
        if (!::GetAce(acl, i, &entry)) {
            return ::GetLastError();
        }
        const ACE_HEADER* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            continue;
        }
        ACCESS_ALLOWED_ACE* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || !account.IsTrusted(&allowed->SidStart)) {
            return ERROR_ALREADY_EXISTS;
        }
    }
    return ERROR_SUCCESS;
}

// The root folder of the drive that `path` is on ("C:\" for "C:\TEMP\x\"),
// or empty for a path without a drive letter (a share, say).
std::string VolumeRoot(const std::string& path) {
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\' ? path.substr(0, 3) : std::string();
}

// NtSetInformationFile's status record and the class that marks a file for
// deletion; the call is in every NT's ntdll.dll, which every process has.
struct IoStatusBlock {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};
constexpr int FILE_DISPOSITION_INFORMATION = 13;
using SetInformationFile = LONG(WINAPI*)(HANDLE, IoStatusBlock*, void*, ULONG, int);

}  // namespace

VolumeTraits VolumeOf(const std::string& path) {
    const std::string root = VolumeRoot(path);
    DWORD flags = 0;
    VolumeTraits volume;
    if (!root.empty() && sys.GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
        volume.keepsSecurity = (flags & FS_PERSISTENT_ACLS) != 0;
        volume.hasReparsePoints = (flags & FILE_SUPPORTS_REPARSE_POINTS) != 0;
    }
    return volume;
}

DWORD CreatePrivateFolder(const std::string& path, const VolumeTraits& volume) {
    PrivateSecurity security;
    SECURITY_ATTRIBUTES* attributes = nullptr;
    if (volume.keepsSecurity) {
        const DWORD error = security.Build();
        if (error != ERROR_SUCCESS) {
            return error;
        }
        attributes = security.Attributes();
    }
    return sys.CreateDirectoryA(path.c_str(), attributes) ? ERROR_SUCCESS : ::GetLastError();
}

FileHandle HoldFolder(const std::string& path, const VolumeTraits& volume) {
    // Without FILE_SHARE_DELETE nobody may delete or rename the folder while
    // it is held; a link is opened itself, so that the check sees it.
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (volume.hasReparsePoints ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    return FileHandle(sys.CreateFileA(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr));
}

DWORD CheckHeldFolder(HANDLE folder, const VolumeTraits& volume) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!sys.GetFileInformationByHandle(folder, &information)) {
        return ::GetLastError();
    }
    if (!(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return ERROR_ALREADY_EXISTS;
    }
    return volume.keepsSecurity ? CheckSecurity(folder) : ERROR_SUCCESS;
}

bool DeleteWhenClosed(HANDLE folder) {
    const auto setInformation = LaterSystemFunction<SetInformationFile>("ntdll.dll", "NtSetInformationFile");
    IoStatusBlock status = {};
    BOOLEAN deleteFile = TRUE;
    return setInformation != nullptr &&
           setInformation(folder, &status, &deleteFile, sizeof deleteFile, FILE_DISPOSITION_INFORMATION) >= 0;
}

}  // namespace kg
