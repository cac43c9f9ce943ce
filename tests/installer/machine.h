// The machine that the installer tests change for real. A test brings it into
// one of a few kinds through the product itself and reads back what is on it
// as one short text: "service driver-file message-file registration", e.g.
// "running new new registered" after an install, "- - - -" when clean.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "framework/handle.h"
#include "installer/constants.h"
#include "installer/driver_installer.h"
#include "tests/support/fault.h"
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

struct ServiceCloser {
    void operator()(SC_HANDLE handle) const { ::CloseServiceHandle(handle); }
};
using OwnService = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceCloser>;

// The test's own handle to a service, opened past the system table.
inline OwnService OpenOwn(const std::string& name, DWORD access) {
    const OwnService manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    return OwnService(::OpenServiceA(manager.get(), name.c_str(), access));
}

// Stops the service (the sample driver unloads and lets its file go), and
// deletes it when asked to; waits until the system has done it.
inline void StopService(const std::string& name, bool remove) {
    SERVICE_STATUS status{};
    if (const OwnService service = OpenOwn(name, SERVICE_ALL_ACCESS)) {
        ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        if (remove) {
            ::DeleteService(service.get());
        }
    }
    for (int wait = 0; wait < 200; ++wait, ::Sleep(50)) {
        const OwnService service = OpenOwn(name, SERVICE_QUERY_STATUS);
        if (remove ? !service : ::QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_STOPPED) {
            return;
        }
    }
    ADD_FAILURE() << "service " << name << " does not " << (remove ? "go" : "stop");
}

enum Machine { Clean, Installed, Stopped, MarkedForDeletion };

// Brings the machine into `kind`: Clean has nothing of the product;
// Installed, the driver running, its files and registration; Stopped, the
// same with the driver stopped; MarkedForDeletion, uninstalled while running
// (the service goes at the next restart, the loaded driver's file with it).
inline void Prepare(Machine kind) {
    StopService(PRODUCT_NAME, true);
    ::DeleteFileA(InstalledDriver().c_str());
    ::DeleteFileA(InstalledMessageFile().c_str());
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str());
    std::filesystem::remove_all(TempFolder());
    if (kind != Clean) {
        DriverInstaller installer(TRUE);
        EXPECT_EQ("Kestrelgard has been successfully installed.", Told([&] { installer.Install(); }));
        if (kind == Stopped) {
            StopService(PRODUCT_NAME, false);
        }
        if (kind == MarkedForDeletion) {
            Told([&] { installer.Uninstall(); });
        }
    }
}

// "new" for the sample payload's file, "other" for any other bytes, "-" for none.
inline std::string FileWord(const std::string& path, const std::string& name) {
    const std::string bytes = ReadBytes(path);
    return bytes == "(missing)" ? "-" : bytes == ReadBytes(KG_SAMPLE_DIR + name) ? "new" : "other";
}

// "running" or "stopped", the service's configuration added when it is not
// the driver's own; "-" for no service.
inline std::string ServiceWord() {
    const OwnService service = OpenOwn(PRODUCT_NAME, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
    SERVICE_STATUS status{};
    union {
        QUERY_SERVICE_CONFIGA config;
        char bytes[8192];
    } buffer;
    DWORD needed = 0;
    if (!service || !::QueryServiceStatus(service.get(), &status) ||
        !::QueryServiceConfigA(service.get(), &buffer.config, sizeof buffer, &needed)) {
        return "-";
    }
    const QUERY_SERVICE_CONFIGA& config = buffer.config;
    std::string word = status.dwCurrentState == SERVICE_RUNNING   ? "running"
                       : status.dwCurrentState == SERVICE_STOPPED ? "stopped"
                                                                   : "state " + std::to_string(status.dwCurrentState);
    if (config.dwServiceType != SERVICE_KERNEL_DRIVER || config.dwStartType != SERVICE_AUTO_START ||
        InstalledDriver() != config.lpBinaryPathName) {
        word += "(type " + std::to_string(config.dwServiceType) + " start " + std::to_string(config.dwStartType) +
                " image " + config.lpBinaryPathName + ")";
    }
    return word;
}

// "registered" for the event-log source as Install writes it, "types" for
// its first value alone, "key" for the key without them, "-" for no key.
inline std::string RegistrationWord() {
    RegistryKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) {
        return "-";
    }
    const auto value = [&](const std::string& name) {
        char data[1024];
        DWORD size = sizeof data, type = 0;
        const LONG read = ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        return read == ERROR_SUCCESS ? std::to_string(type) + ":" + std::string(data, size) : "";
    };
    const std::string types = value(TYPES_SUPPORTED_VALUE), file = value(EVENT_MESSAGE_FILE_VALUE);
    const bool typesWritten = types == "4:" + std::string("\7\0\0\0", 4);
    const bool fileWritten = file == "1:" + InstalledMessageFile() + '\0';
    return typesWritten && fileWritten ? "registered" : typesWritten && file.empty() ? "types"
           : types.empty() && file.empty()                                          ? "key"
                                                                                     : "wrong " + types + " " + file;
}

inline std::string State() {
    return ServiceWord() + " " + FileWord(InstalledDriver(), DRIVER_FILE_NAME) + " " +
           FileWord(InstalledMessageFile(), MESSAGE_FILE_NAME) + " " + RegistrationWord() +
           (std::filesystem::exists(TempFolder()) ? " +temporary folder" : "");
}

// What goes wrong in a row: a real condition of the machine ("driver in use",
// "message file in use", "payload gone", "registration read-only") or else a
// fault injected through the system table.
class Condition {
public:
    explicit Condition(const Fault& fault) : injected_(fault) {
        if (fault.call == "driver in use" || fault.call == "message file in use") {
            const std::string path = fault.call == "driver in use" ? InstalledDriver() : InstalledMessageFile();
            lock_.Reset(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
        }
        if (fault.call == "payload gone") {
            EXPECT_TRUE(::DeleteFileA((TempFolder() + DRIVER_FILE_NAME).c_str()));
        }
        if (fault.call == "registration read-only") {
            using Convert = BOOL(WINAPI*)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
            const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(::GetProcAddress(
                ::GetModuleHandleA("advapi32.dll"), "ConvertStringSecurityDescriptorToSecurityDescriptorA")));
            PSECURITY_DESCRIPTOR readOnly = nullptr;
            RegistryKey key;
            EXPECT_TRUE(convert("D:P(A;;KR;;;WD)", 1, &readOnly, nullptr));
            ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              key.Receive(), nullptr);
            EXPECT_EQ(ERROR_SUCCESS, ::RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, readOnly));
            ::LocalFree(readOnly);
        }
    }

private:
    Injected injected_;
    FileHandle lock_;
};

}  // namespace kg::test
