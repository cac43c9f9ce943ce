// The machine that the installer tests change for real: a test brings it into
// a kind through the product itself, and reads what is on it as one text.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "framework/handle.h"
#include "installer/constants.h"
#include "installer/driver_installer.h"
#include "tests/support/api_override.h"
#include "tests/support/files.h"

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
    for (int wait = 0; wait < 200; ++wait, ::Sleep(50)) {
        const ServiceHandle service = OpenDriver(SERVICE_QUERY_STATUS);
        if (remove ? !service : ::QueryServiceStatus(service.Get(), &status) && status.dwCurrentState == SERVICE_STOPPED) return;
    }
    ADD_FAILURE() << "the driver does not " << (remove ? "go" : "stop");
}

// Clean: nothing of the product. Installed: the driver running, its files and
// registration in place. Stopped: the same, the driver stopped.
// MarkedForDeletion: uninstalled while running; it goes at the next restart.
enum Machine { Clean, Installed, Stopped, MarkedForDeletion };

inline void Prepare(Machine kind) {
    StopDriver(true);
    ::DeleteFileA(InstalledDriver().c_str());
    ::DeleteFileA(InstalledMessageFile().c_str());
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str());
    std::filesystem::remove_all(TempFolder());
    if (kind == Clean) return;
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
// registered" after an install, "- - - -" on a clean machine.
inline std::string State() {
    return ServiceWord() + " " + FileWord(InstalledDriver(), DRIVER_FILE_NAME) + " " + FileWord(InstalledMessageFile(), MESSAGE_FILE_NAME) +
           " " + RegistrationWord() + (std::filesystem::exists(TempFolder()) ? " +temporary folder" : "");
}

// What goes wrong in a row: a real condition of the machine ("driver in use",
// "message file in use", "payload gone", "registration read-only", "stale
// temporary folder"), else a fault injected through the system table.
class Condition {
public:
    explicit Condition(const Fault& fault) : injected_(fault) {
        const std::string& what = fault.call;
        if (what == "driver in use" || what == "message file in use") {
            const std::string path = what == "driver in use" ? InstalledDriver() : InstalledMessageFile();
            lock_.Reset(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
        }
        if (what == "payload gone") ::DeleteFileA((TempFolder() + DRIVER_FILE_NAME).c_str());
        if (what == "stale temporary folder") {
            std::filesystem::create_directory(TempFolder());
            WriteBytes(TempFolder() + DRIVER_FILE_NAME, "stale");
            WriteBytes(TempFolder() + "left by someone", "");
        }
        if (what == "registration read-only") {
            using Convert = BOOL(WINAPI*)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
            const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
                ::GetProcAddress(::GetModuleHandleA("advapi32"), "ConvertStringSecurityDescriptorToSecurityDescriptorA")));
            PSECURITY_DESCRIPTOR readOnly = nullptr;
            RegistryKey key;
            convert("D:P(A;;KR;;;WD)", 1, &readOnly, nullptr);
            ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr);
            EXPECT_EQ(ERROR_SUCCESS, ::RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, readOnly));
            ::LocalFree(readOnly);
        }
    }

private:
    Injected injected_;
    FileHandle lock_;
};

}  // namespace kg::test
