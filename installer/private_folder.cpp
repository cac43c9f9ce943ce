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

constexpr DWORD ENTRY_COUNT = 3;
// The ACL's header and three entries, each of a SID of the largest size.
constexpr DWORD ACL_CAPACITY =
    sizeof(ACL) + ENTRY_COUNT * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + SECURITY_MAX_SID_SIZE);

// A security descriptor that grants full access to the current user, SYSTEM
// and the Administrators, and to nobody else.
class PrivateSecurity {
public:
    DWORD Build() {
        const DWORD error = ReadCurrentUser();
        if (error != ERROR_SUCCESS) {
            return error;
        }
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        if (!::AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, system_.Receive()) ||
            !::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                        0, 0, administrators_.Receive())) {
            return ::GetLastError();
        }
        ACL* acl = reinterpret_cast<ACL*>(aclBytes_);
        const PSID trustees[ENTRY_COUNT] = {user_.user.User.Sid, system_.Get(), administrators_.Get()};
        if (!::InitializeAcl(acl, sizeof aclBytes_, ACL_REVISION)) {
            return ::GetLastError();
        }
        for (DWORD i = 0; i < ENTRY_COUNT; ++i) {
            void* entry = nullptr;
            if (!::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, trustees[i]) ||
                !::GetAce(acl, i, &entry)) {
                return ::GetLastError();
            }
            // Set in place: NT 4 has no call that adds an entry with flags.
            static_cast<ACE_HEADER*>(entry)->AceFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
        }
        if (!::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
            !::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE)) {
            return ::GetLastError();
        }
        // From Windows 2000 on, the system adds the inheritable entries of the
        // folder above (Everyone's, on a shared folder) to a list that is not
        // protected; NT 4 never adds them and has no call to protect one.
        using SetControl = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL, SECURITY_DESCRIPTOR_CONTROL);
        if (const auto setControl = LaterSystemFunction<SetControl>("advapi32.dll", "SetSecurityDescriptorControl")) {
            if (!setControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
                return ::GetLastError();
            }
        }
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = &descriptor_;
        attributes_.bInheritHandle = FALSE;
        return ERROR_SUCCESS;
    }

    SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

private:
    DWORD ReadCurrentUser() {
        HANDLE token = nullptr;
        if (!sys.OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
            return ::GetLastError();
        }
        const FileHandle owned(token);
        DWORD size = 0;
        return sys.GetTokenInformation(token, TokenUser, &user_, sizeof user_, &size) ? ERROR_SUCCESS
                                                                                         : ::GetLastError();
    }

    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } user_;
    Sid system_;
    Sid administrators_;
    alignas(DWORD) BYTE aclBytes_[ACL_CAPACITY];
    SECURITY_DESCRIPTOR descriptor_;
    SECURITY_ATTRIBUTES attributes_;
};

// The root folder of the drive that `path` is on ("C:\" for "C:\TEMP\x\"),
// or empty for a path without a drive letter (a share, say).
std::string VolumeRoot(const std::string& path) {
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\' ? path.substr(0, 3) : std::string();
}

// Whether the volume of `path` keeps security descriptors; true when that
// cannot be told, so that the folder is protected wherever it can be.
bool KeepsSecurity(const std::string& path) {
    const std::string root = VolumeRoot(path);
    DWORD flags = 0;
    if (root.empty() ||
        !sys.GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
        return true;
    }
    return (flags & FS_PERSISTENT_ACLS) != 0;
}

}  // namespace

DWORD CreatePrivateFolder(const std::string& path) {
    PrivateSecurity security;
    SECURITY_ATTRIBUTES* attributes = nullptr;
    if (KeepsSecurity(path)) {
        const DWORD error = security.Build();
        if (error != ERROR_SUCCESS) {
            return error;
        }
        attributes = security.Attributes();
    }
    return sys.CreateDirectoryA(path.c_str(), attributes) ? ERROR_SUCCESS : ::GetLastError();
}

FileHandle HoldFolder(const std::string& path) {
    // Reading the folder is enough for the share mode to count; without
    // FILE_SHARE_DELETE nobody may delete or rename it meanwhile.
    return FileHandle(sys.CreateFileA(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

DWORD CheckRemovable(const std::string& path) {
    const FileHandle probe(sys.CreateFileA(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const DWORD error = probe ? ERROR_SUCCESS : ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : error;
}

}  // namespace kg
