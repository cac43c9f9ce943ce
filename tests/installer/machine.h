// The machine that the installer tests change for real: a test brings it into
// a kind through the product itself, and reads what is on it as one text.
#pragma once

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "framework/handle.h"
#include "installer/constants.h"
#include "installer/driver_installer.h"
#include "tests/support/api_override.h"
#include "tests/support/files.h"
#include "tests/support/wait.h"

namespace kg::test {

inline std::string SystemDirectory() {
    char buffer[MAX_PATH];
    return std::string(buffer, ::GetSystemDirectoryA(buffer, sizeof buffer));
}
inline std::string TempFolder() {
    char buffer[MAX_PATH];
    return std::string(buffer, ::GetTempPathA(sizeof buffer, buffer)) + TEMP_FOLDER_NAME;
}
inline std::string InstalledDriver() { return SystemDirectory() + DRIVERS_FOLDER + DRIVER_FILE_NAME; }
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

// Stops the driver (it unloads, its file goes free) and, when asked to,
// deletes its service; waits until the system has done it.
inline void StopDriver(bool remove) {
    SERVICE_STATUS status{};
    if (const ServiceHandle service = OpenDriver(SERVICE_ALL_ACCESS)) {
        ::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
        remove && ::DeleteService(service.Get());
    }
    const bool done = WaitFor(10000, [&] {
        const ServiceHandle service = OpenDriver(SERVICE_QUERY_STATUS);
        return remove ? !service : ::QueryServiceStatus(service.Get(), &status) && status.dwCurrentState == SERVICE_STOPPED;
    });
    EXPECT_TRUE(done) << "the driver does not " << (remove ? "go" : "stop");
}

// Sets a DACL given as SDDL text, e.g. "D:(A;;KR;;;WD)", on a file, or on `key` when there is one.
inline void SetDacl(const char* sddl, const std::string& file, HKEY key = nullptr) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr);
    EXPECT_TRUE(key ? ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS
                    : ::SetFileSecurityA(file.c_str(), DACL_SECURITY_INFORMATION, descriptor)) << sddl;
    ::LocalFree(descriptor);
}

// Clean: nothing of the product. Planted: the same, and a kginst folder of
// someone else's on the temporary directory, open to everyone, with a driver
// of theirs in it and a library further down. Installed: the driver running,
// its files and registration in place. Stopped: the same, the driver stopped.
// MarkedForDeletion: uninstalled while running; it goes at the next restart.
enum Machine { Clean, Planted, Installed, Stopped, MarkedForDeletion };

inline void Prepare(Machine kind) {
    StopDriver(true);
    ::DeleteFileA(InstalledDriver().c_str());
    ::DeleteFileA(InstalledMessageFile().c_str());
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str());
    std::filesystem::remove_all(TempFolder());
    if (kind == Planted) {
        std::filesystem::create_directories(TempFolder() + "a\\b");
        SetDacl("D:(A;OICI;FA;;;WD)", TempFolder());
        WriteBytes(TempFolder() + DRIVER_FILE_NAME, "planted driver");
        WriteBytes(TempFolder() + "a\\b\\" + MESSAGE_FILE_NAME, "planted library");
    }
    if (kind == Clean || kind == Planted) return;
    DriverInstaller installer(TRUE);
    EXPECT_EQ("Kestrelgard has been successfully installed.", Told([&] { installer.Install(); }));
    if (kind == Stopped) StopDriver(false);
    if (kind == MarkedForDeletion) Told([&] { installer.Uninstall(); });
}

// "new": the sample payload's file; "other": other bytes; "-": none.
inline std::string FileWord(const std::string& path, const std::string& name) {
    const std::string bytes = ReadBytes(path);
    return bytes == "(missing)" ? "-" : bytes == ReadBytes(KG_SAMPLE_DIR + name) ? "new" : "other";
}

// "running" or "stopped", marked when not configured as Install creates it; "-": none.
inline std::string ServiceWord() {
    const ServiceHandle service = OpenDriver(SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
    SERVICE_STATUS status{};
    union { QUERY_SERVICE_CONFIGA c; char bytes[8192]; } config;
    DWORD needed = 0;
    if (!::QueryServiceStatus(service.Get(), &status) || !::QueryServiceConfigA(service.Get(), &config.c, sizeof config, &needed)) return "-";
    const bool asCreated = config.c.dwServiceType == SERVICE_KERNEL_DRIVER && config.c.dwStartType == SERVICE_AUTO_START &&
                           InstalledDriver() == config.c.lpBinaryPathName;
    return std::string(status.dwCurrentState == SERVICE_RUNNING ? "running" : "stopped") + (asCreated ? "" : "(not as created)");
}

// "registered": the event-log source as Install writes it; "types": its first
// value alone; "key": neither value; "-": no key.
inline std::string RegistrationWord() {
    RegistryKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return "-";
    std::string values;
    for (const std::string& name : {TYPES_SUPPORTED_VALUE, EVENT_MESSAGE_FILE_VALUE}) {
        BYTE data[1024];
        DWORD size = sizeof data, type = 0;
        if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, data, &size) == ERROR_SUCCESS) {
            values += std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), size) + "|";
        }
    }
    const std::string types = "4:" + std::string("\7\0\0\0|", 5), file = "1:" + InstalledMessageFile() + std::string("\0|", 2);
    return values == types + file ? "registered" : values == types ? "types" : values.empty() ? "key" : "wrong " + values;
}

// The service, the two installed files and the registration: "running new new
// registered" after an install, "- - - -" on a clean machine; and a temporary
// folder left with the driver in it: "+temporary folder: driver new".
inline std::string State() {
    const std::string left = " +temporary folder: driver " + FileWord(TempFolder() + DRIVER_FILE_NAME, DRIVER_FILE_NAME);
    return ServiceWord() + " " + FileWord(InstalledDriver(), DRIVER_FILE_NAME) + " " + FileWord(InstalledMessageFile(), MESSAGE_FILE_NAME) +
           " " + RegistrationWord() + (std::filesystem::exists(TempFolder()) ? left : "");
}

// A folder named "link" shows as a link (a junction) to a folder elsewhere:
// Wine can make no real one.
inline DWORD WINAPI ShowingLinks(LPCSTR path) {
    const std::string name(path);
    return name.size() > 5 && name.substr(name.size() - 5) == "\\link" ? FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT : ::GetFileAttributesA(path);
}

// A volume that keeps no security descriptors, as FAT.
inline BOOL WINAPI FatVolume(LPCSTR, LPSTR, DWORD, LPDWORD, LPDWORD, LPDWORD flags, LPSTR, DWORD) { *flags = FS_CASE_IS_PRESERVED; return TRUE; }

// What goes wrong in a row: a real condition of the machine that the
// constructor makes (by its name), else a fault injected through the system table.
class Condition {
public:
    explicit Condition(const Fault& fault) : injected_(fault) {
        const std::string& what = fault.call;
        const std::string lock = what == "driver in use" ? InstalledDriver() : what == "message file in use" ? InstalledMessageFile()
                                 : what == "planted driver in use" ? TempFolder() + DRIVER_FILE_NAME : "";
        if (!lock.empty()) lock_.Reset(::CreateFileA(lock.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr));
        if (what == "payload gone") ::DeleteFileA((TempFolder() + DRIVER_FILE_NAME).c_str());
        if (what == "registration read-only") {
            RegistryKey key;
            ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr);
            SetDacl("D:P(A;;KR;;;WD)", "", key.Get());
        }
        if (what == "file named kginst") WriteBytes(TempFolder().substr(0, TempFolder().size() - 1), "a file named kginst");
        if (what == "planted link") {
            std::filesystem::create_directories(TempFolder() + "link");
            WriteBytes(TempFolder() + "link\\keep.txt", "not the installer's");
            links_.emplace(sys.GetFileAttributesA, &ShowingLinks);
        }
        if (what == "another run") firstRun_ = std::make_unique<DriverInstaller>(TRUE);
        if (what == "FAT volume") fat_.emplace(sys.GetVolumeInformationA, &FatVolume);
    }

private:
    Injected injected_;
    FileHandle lock_;
    std::optional<ApiOverride<decltype(SystemApi::GetFileAttributesA)>> links_;
    std::optional<ApiOverride<decltype(SystemApi::GetVolumeInformationA)>> fat_;
    std::unique_ptr<DriverInstaller> firstRun_;
};

}  // namespace kg::test
