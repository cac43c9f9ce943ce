// The machine that the installer tests change for real: a test brings it into
// a kind through the product itself, and reads what is on it as one text.
#pragma once

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "framework/handle.h"
#include "framework/winapp.h"
#include "installer/constants.h"
#include "installer/driver_installer.h"
#include "tests/support/api_override.h"
#include "tests/support/files.h"
#include "tests/support/texts.h"
#include "tests/support/wait.h"

namespace kg::test {

inline std::string SystemDirectory() {
    char buffer[MAX_PATH];
    return std::string(buffer, ::GetSystemDirectoryA(buffer, sizeof buffer));
}
inline std::string TempDirectory() {
    char buffer[MAX_PATH];
    return std::string(buffer, ::GetTempPathA(sizeof buffer, buffer));
}
inline std::string TempFolderPath() { return TempDirectory() + TEMP_FOLDER_NAME; }
inline std::string DriversFolder() { return SystemDirectory() + DRIVERS_FOLDER; }
inline std::string InstalledDriver() { return DriversFolder() + DRIVER_FILE_NAME; }
inline std::string InstalledMessageFile() { return SystemDirectory() + "\\" + MESSAGE_FILE_NAME; }

// What `tell` writes to standard output.
template <typename Tell>
std::string Told(Tell tell) {
    testing::internal::CaptureStdout();
    tell();
    return testing::internal::GetCapturedStdout();
}

inline ServiceHandle OpenDriver(DWORD access) {
    const ServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    return ServiceHandle(::OpenServiceA(manager.Get(), PRODUCT_NAME.c_str(), access));
}

// Stops the driver (its file goes free), deletes its service if `remove`, and waits until that is done.
inline void StopDriver(bool remove) {
    SERVICE_STATUS status{};
    if (const ServiceHandle service = OpenDriver(SERVICE_ALL_ACCESS)) {
        ::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
        if (remove)
            ::DeleteService(service.Get());
    }
    const bool done = WaitFor(10000, [&] {
        const ServiceHandle service = OpenDriver(SERVICE_QUERY_STATUS);
        return remove ? !service
                      : ::QueryServiceStatus(service.Get(), &status) && status.dwCurrentState == SERVICE_STOPPED;
    });
    EXPECT_TRUE(done) << "the driver does not " << (remove ? "go" : "stop");
}

// Sets a DACL given as SDDL text, e.g. "D:(A;;KR;;;WD)", on a file, or on `key` when there is one.
inline void SetDacl(const char* sddl, const std::string& file, HKEY key = nullptr) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr);
    const LocalMemory owner(descriptor);
    EXPECT_TRUE(key ? ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS
                    : ::SetFileSecurityA(file.c_str(), DACL_SECURITY_INFORMATION, descriptor))
        << sddl;
}

// The bytes of `path`, read sharing all (the installer holds what it extracted); "(missing)" when unreadable.
inline std::string ReadHeld(const std::string& path) {
    const FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0, nullptr));
    char buffer[65536];
    DWORD read = 0;
    return file && ::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) ? std::string(buffer, read)
                                                                                 : "(missing)";
}

struct FindTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle find) noexcept { return ::FindClose(find) != FALSE; }
};

// The file names in `folder` that start with `prefix`, sorted; none: the last error tells why.
inline std::vector<std::string> Names(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA item;
    const UniqueHandle<FindTraits> find(::FindFirstFileA((folder + prefix + "*").c_str(), &item));
    for (bool more = find.IsValid(); more; more = ::FindNextFileA(find.Get(), &item))
        names.push_back(item.cFileName);
    std::sort(names.begin(), names.end());
    return names;
}

const char SESSION_MANAGER[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// "(deleted at restart)" for a file that the system deletes at the next restart.
inline std::string Pending(const std::string& path) {
    RegistryKey key;
    char data[8192] = {};
    DWORD size = sizeof data - 2;
    ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, 0, KEY_READ, key.Receive());
    ::RegQueryValueExA(key.Get(), "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                       &size);
    std::string pending(data, size);
    std::replace(pending.begin(), pending.end(), '\0', '|');
    return pending.find(path + "||") != std::string::npos ? "(deleted at restart)" : "";
}

// "new": the sample payload's driver or library; "old": the sample's older
// driver; "other": other bytes; "-": none. Marked when it goes at the restart.
inline std::string FileWord(const std::string& path) {
    const std::string bytes = ReadHeld(path);
    const std::string word =
        bytes == "(missing)" ? "-"
        : bytes == ReadBytes(KG_SAMPLE_DIR + DRIVER_FILE_NAME) || bytes == ReadBytes(KG_SAMPLE_DIR + MESSAGE_FILE_NAME)
            ? "new"
        : bytes == ReadBytes(KG_SAMPLE_DIR "old\\" + DRIVER_FILE_NAME) ? "old"
                                                                       : "other";
    return word + Pending(path);
}

// A name moved aside ("kginst.0012AB34.old") said without its stamp.
inline std::string Unstamped(const std::string& name) {
    return std::regex_replace(name, std::regex("\\.[0-9A-F]{8}\\.old$"), " aside");
}

// The files under `folder` with their bytes (short texts as they are): "a.txt=abc b\\c.txt=new".
inline std::string Contents(const std::string& folder, const std::string& under = "") {
    std::string contents;
    std::vector<std::string> names = Names(folder + "\\", "");
    // Wine lists no folder that another holds with delete access (its FindFirstFileA does not share deleting, as
    // Windows does): such a folder is looked into for the product's files.
    if (names.empty() && ::GetLastError() == ERROR_SHARING_VIOLATION)
        names = {MESSAGE_FILE_NAME, DRIVER_FILE_NAME};
    for (const std::string& name : names) {
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "\\" + name, bytes = ReadHeld(path);
        if (::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            contents += Contents(path, under + name + "\\");
        } else {
            contents += " " + under + name + "=" +
                        (bytes.size() < 40 && bytes.find('\0') == std::string::npos ? bytes : FileWord(path));
        }
    }
    return contents;
}

// Planted: nothing of the product, and someone else's kginst folder, open to everyone, with a driver of theirs in
// it and a library further down. Old, OldStopped: installed with the sample's older driver in place.
// MarkedForDeletion: uninstalled while running; it goes at the next restart.
enum Machine { Clean, Planted, Installed, Stopped, Old, OldStopped, MarkedForDeletion };

inline void Prepare(Machine kind) {
    StopDriver(true);
    for (const std::string& folder : {DriversFolder(), SystemDirectory() + "\\"}) {
        for (const std::string& name : Names(folder, "kestgard."))
            ::DeleteFileA((folder + name).c_str());
    }
    for (const std::string& name : Names(TempDirectory(), "kginst"))
        std::filesystem::remove_all(TempDirectory() + name);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str());
    RegistryKey sessionManager;
    ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, 0, KEY_SET_VALUE, sessionManager.Receive());
    ::RegDeleteValueA(sessionManager.Get(), "PendingFileRenameOperations");
    if (kind == Planted) {
        std::filesystem::create_directories(TempFolderPath() + "a\\b");
        SetDacl("D:(A;OICI;FA;;;WD)", TempFolderPath());
        WriteBytes(TempFolderPath() + DRIVER_FILE_NAME, "planted driver");
        WriteBytes(TempFolderPath() + "a\\b\\" + MESSAGE_FILE_NAME, "planted library");
    }
    if (kind == Clean || kind == Planted)
        return;
    DriverInstaller installer(TRUE);
    EXPECT_EQ(INSTALLED, Told([&] { installer.Install(); }));
    if (kind == Stopped || kind == Old || kind == OldStopped)
        StopDriver(false);
    if (kind == Old || kind == OldStopped)
        ::CopyFileA(KG_SAMPLE_DIR "old\\kestgard.sys", InstalledDriver().c_str(), FALSE);
    if (kind == Old)
        ::StartServiceA(OpenDriver(SERVICE_START).Get(), 0, nullptr);
    if (kind == MarkedForDeletion)
        Told([&] { installer.Uninstall(); });
}

// "running" or "stopped", marked when not configured as Install creates it; "-": none.
inline std::string ServiceWord() {
    const ServiceHandle service = OpenDriver(SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
    SERVICE_STATUS status{};
    QUERY_SERVICE_CONFIGA config[100];  // the first, and room for its texts
    DWORD needed = 0;
    if (!::QueryServiceStatus(service.Get(), &status) ||
        !::QueryServiceConfigA(service.Get(), config, sizeof config, &needed))
        return "-";
    const bool asCreated = config->dwServiceType == SERVICE_KERNEL_DRIVER &&
                           config->dwStartType == SERVICE_AUTO_START && InstalledDriver() == config->lpBinaryPathName;
    return std::string(status.dwCurrentState == SERVICE_RUNNING ? "running" : "stopped") +
           (asCreated ? "" : "(not as created)");
}

// "registered": the event-log source as Install writes it; "types": its first
// value alone; "key": neither value; "-": no key.
inline std::string RegistrationWord() {
    RegistryKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return "-";
    std::string values;
    for (const std::string& name : {TYPES_SUPPORTED_VALUE, EVENT_MESSAGE_FILE_VALUE}) {
        BYTE data[1024];
        DWORD size = sizeof data, type = 0;
        if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, data, &size) == ERROR_SUCCESS)
            values += std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), size) + "|";
    }
    const std::string types = "4:" + std::string("\7\0\0\0|", 5),
                      file = "1:" + InstalledMessageFile() + std::string("\0|", 2);
    return values == types + file ? "registered"
           : values == types      ? "types"
           : values.empty()       ? "key"
                                  : "wrong " + values;
}

// The service, the two installed files and the registration ("running new new registered", "- - - -"); then what
// else of the product's names is left: a file beside an installed one ("+kestgard.sys aside(deleted at restart)"),
// the temporary folder or one moved aside with what they hold ("+kginst: kestgard.sys=new").
inline std::string State() {
    std::string state = ServiceWord() + " " + FileWord(InstalledDriver()) + " " + FileWord(InstalledMessageFile()) +
                        " " + RegistrationWord();
    for (const std::string& folder : {DriversFolder(), SystemDirectory() + "\\"}) {
        for (const std::string& name : Names(folder, "kestgard.")) {
            if (folder + name != InstalledDriver() && folder + name != InstalledMessageFile())
                state += " +" + Unstamped(name) + Pending(folder + name);
        }
    }
    for (const std::string& name : Names(TempDirectory(), "kginst"))
        state += " +" + Unstamped(name) + ":" + Contents(TempDirectory() + name);
    return state;
}

// A volume that keeps no security descriptors, as FAT.
inline BOOL WINAPI FatVolume(LPCSTR, LPSTR, DWORD, LPDWORD, LPDWORD, LPDWORD flags, LPSTR, DWORD) {
    *flags = FS_CASE_IS_PRESERVED;
    return TRUE;
}

// Another user's doings at the worst moments, which the installer must survive.
struct Race {
    // Right before the installer holds its new folder: the folder is renamed away and another put in its place,
    // open to everyone or shown as a link (Wine can make no real one), with a file of someone else's in it.
    static inline std::string swapFor;
    static HANDLE WINAPI SwapBeforeHold(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                        DWORD disposition, DWORD flags, HANDLE model) {
        if (!swapFor.empty() && (flags & FILE_FLAG_BACKUP_SEMANTICS)) {
            ::MoveFileA(path, (TempDirectory() + "kginst.gone").c_str());
            ::CreateDirectoryA(path, nullptr);
            WriteBytes(std::string(path) + "\\keep.txt", "not the installer's");
            if (swapFor == "everyone's folder")
                SetDacl("D:(A;OICI;FA;;;WD)", path);
            swapFor.clear();
        }
        return Real(&SystemApi::CreateFileA)(path, access, share, security, disposition, flags, model);
    }
    static BOOL WINAPI ShownAsLink(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
        const BOOL done = Real(&SystemApi::GetFileInformationByHandle)(file, information);
        information->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        return done;
    }

    // The folder's owner and access list as the system would tell them, in SDDL.
    static inline std::string security;
    static BOOL WINAPI FakedSecurity(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR descriptor, DWORD size,
                                     LPDWORD) {
        PSECURITY_DESCRIPTOR made = nullptr;
        ULONG length = 0;
        EXPECT_TRUE(
            ::ConvertStringSecurityDescriptorToSecurityDescriptorA(security.c_str(), SDDL_REVISION_1, &made, &length) &&
            length <= size)
            << security;
        const LocalMemory owner(made);
        std::memcpy(descriptor, made, std::min<DWORD>(length, size));
        return TRUE;
    }

    // What came of trying, while the installer reads its payload and while
    // it copies the files out, to put something else in their place.
    static inline std::string tried;
    static std::string Try(const char* what, BOOL done) {
        return std::string(" ") + what + " " + (done ? "done" : std::to_string(::GetLastError()));
    }
    static BOOL WINAPI TamperWhileReading(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read,
                                          LPOVERLAPPED overlapped) {
        if (tried.empty()) {
            const FileHandle program(::CreateFileA(GetModuleFilePath(nullptr).c_str(), GENERIC_WRITE, 7, nullptr,
                                                   OPEN_EXISTING, 0, nullptr));
            tried = "reading:" +
                    Try("folder renamed",
                        ::MoveFileA(TempFolderPath().c_str(), (TempDirectory() + "kginst.gone").c_str())) +
                    Try("program written", program.IsValid());
        }
        return Real(&SystemApi::ReadFile)(file, buffer, size, read, overlapped);
    }
    static BOOL WINAPI TamperWhileCopying(LPCSTR from, LPCSTR to, DWORD flags) {
        if (tried.find("copying") == std::string::npos) {
            const std::string driver = TempFolderPath() + DRIVER_FILE_NAME;
            const FileHandle written(
                ::CreateFileA(driver.c_str(), GENERIC_WRITE, 7, nullptr, OPEN_EXISTING, 0, nullptr));
            tried += "; copying:" + Try("driver written", written.IsValid()) +
                     Try("deleted", ::DeleteFileA(driver.c_str())) +
                     Try("renamed", ::MoveFileA(driver.c_str(), (TempDirectory() + "kginst.gone").c_str()));
        }
        return Real(&SystemApi::MoveFileExA)(from, to, flags);
    }
};

// What goes wrong in a row: a real condition of the machine that the
// constructor makes (by its name), else a fault injected through the system
// table. "payload gone" the tests make themselves, during construction.
class Condition {
public:
    explicit Condition(const Fault& fault) {
        const std::string& what = fault.call;
        if (what == "driver in use" || what == "message file in use") {
            const std::string file = what == "driver in use" ? InstalledDriver() : InstalledMessageFile();
            lock.Reset(::CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr));
        } else if (what == "registration read-only") {
            RegistryKey key;
            ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              key.Receive(), nullptr);
            SetDacl("D:P(A;;KR;;;WD)", "", key.Get());
        } else if (what == "another run") {
            firstRun = std::make_unique<DriverInstaller>(TRUE);
        } else if (what == "FAT volume") {
            Swap(sys.GetVolumeInformationA, &FatVolume);
        } else if (what == "swapped for a link" || what == "swapped for everyone's folder") {
            Race::swapFor = what.substr(12);
            Swap(sys.CreateFileA, &Race::SwapBeforeHold);
            if (what == "swapped for a link")
                Swap(sys.GetFileInformationByHandle, &Race::ShownAsLink);
        } else if (what.rfind("security ", 0) == 0) {
            Race::security = what.substr(9);
            Swap(sys.GetKernelObjectSecurity, &Race::FakedSecurity);
        } else if (what == "WoW64") {
            Swap(sys.IsWow64Process, &OnWow64);
        } else if (what == "tampering") {
            Race::tried.clear();
            Swap(sys.ReadFile, &Race::TamperWhileReading);
            Swap(sys.MoveFileExA, &Race::TamperWhileCopying);
        } else if (what != "payload gone") {
            injected.emplace(fault);
        }
    }

private:
    static BOOL WINAPI OnWow64(HANDLE, PBOOL wow64) {
        *wow64 = TRUE;
        return TRUE;
    }
    template <typename Function>
    void Swap(Function& slot, Function fake) {
        swaps.push_back(std::make_shared<ApiOverride<Function>>(slot, fake));
    }

    std::optional<Injected> injected;
    FileHandle lock;
    std::vector<std::shared_ptr<void>> swaps;
    std::unique_ptr<DriverInstaller> firstRun;
};

}  // namespace kg::test
