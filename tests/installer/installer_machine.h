// The machine that the installer tests change for real: its driver services,
// the two installed files, the event-log key and the temporary folder. Every
// test that changes any of it starts from and leaves a clean machine, so the
// tests can run in any order (a restart is not possible from inside the
// program).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "framework/handle.h"
#include "installer/constants.h"
#include "payload/archive.h"
#include "tests/support/api_override.h"
#include "tests/support/files.h"

namespace kg::test {

// --- Names and paths, as the system gives them -------------------------------

inline std::string SystemDirectory() {
    char buffer[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(buffer, sizeof buffer);
    return std::string(buffer, length);
}

inline std::string TempDirectory() {
    char buffer[MAX_PATH];
    const DWORD length = ::GetTempPathA(sizeof buffer, buffer);
    return std::string(buffer, length);
}

inline std::string TempFolder() { return TempDirectory() + TEMP_FOLDER_NAME; }
inline std::string InstalledDriver() { return SystemDirectory() + DRIVERS_FOLDER + DRIVER_FILE_NAME; }
inline std::string InstalledMessageFile() { return SystemDirectory() + "\\" + MESSAGE_FILE_NAME; }

inline bool FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool FolderExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// --- Standard output ---------------------------------------------------------

// Captures what the program writes to standard output from construction to
// Text(); a capture left running (a failed assertion) is ended by the
// destructor so that the next test can capture again.
class StdoutCapture {
public:
    StdoutCapture() { testing::internal::CaptureStdout(); }
    ~StdoutCapture() {
        if (running_) {
            testing::internal::GetCapturedStdout();
        }
    }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    std::string Text() {
        running_ = false;
        return testing::internal::GetCapturedStdout();
    }

private:
    bool running_ = true;
};

// --- The sample payload ------------------------------------------------------

// The driver and message library that this program carries, extracted into
// a scratch folder of the test's own (not the installer's folder).
class SamplePayload {
public:
    SamplePayload() {
        PayloadArchive archive;
        EXPECT_EQ(PAYLOAD_OK, archive.ExtractAll(dir_.Str()));
    }
    std::string Driver() const { return dir_.Str(DRIVER_FILE_NAME); }
    std::string MessageFile() const { return dir_.Str(MESSAGE_FILE_NAME); }
    std::string DriverBytes() const { return ReadBytes(Driver()); }
    std::string MessageFileBytes() const { return ReadBytes(MessageFile()); }
    // A copy of the driver under another file name in the same folder.
    std::string DriverCopy(const std::string& name) const {
        const std::string path = dir_.Str(name);
        EXPECT_TRUE(::CopyFileA(Driver().c_str(), path.c_str(), FALSE)) << path;
        return path;
    }

private:
    TempDir dir_;
};

// --- Services ----------------------------------------------------------------

// A service handle of the test's own, closed by the real function so that it
// never counts among the program's handles (see ServiceHandleLedger).
class OwnServiceHandle {
public:
    explicit OwnServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    ~OwnServiceHandle() {
        if (handle_ != nullptr) {
            ::CloseServiceHandle(handle_);
        }
    }
    OwnServiceHandle(const OwnServiceHandle&) = delete;
    OwnServiceHandle& operator=(const OwnServiceHandle&) = delete;
    SC_HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    SC_HANDLE handle_;
};

inline SC_HANDLE OpenManager() { return ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS); }

// The current state of a service (SERVICE_RUNNING, SERVICE_STOPPED, ...), or
// 0 when there is no service of that name.
inline DWORD ServiceState(const std::string& name) {
    const OwnServiceHandle manager(OpenManager());
    const OwnServiceHandle service(::OpenServiceA(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS));
    SERVICE_STATUS status{};
    if (!service || !::QueryServiceStatus(service.Get(), &status)) {
        return 0;
    }
    return status.dwCurrentState;
}

inline bool ServiceExists(const std::string& name) {
    const OwnServiceHandle manager(OpenManager());
    const OwnServiceHandle service(::OpenServiceA(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS));
    return static_cast<bool>(service);
}

// The start type the service is registered with, or ~0 without a service.
inline DWORD ServiceStartType(const std::string& name) {
    const OwnServiceHandle manager(OpenManager());
    const OwnServiceHandle service(::OpenServiceA(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG));
    union {
        QUERY_SERVICE_CONFIGA config;
        char bytes[8192];
    } buffer;
    DWORD needed = 0;
    if (!service || !::QueryServiceConfigA(service.Get(), &buffer.config, sizeof buffer, &needed)) {
        return ~0u;
    }
    return buffer.config.dwStartType;
}

// Stops the service if it runs (the sample driver unloads and releases its
// file), deletes it, and waits until the system has let it go. A service
// already marked for deletion goes as soon as it is stopped.
inline void RemoveService(const std::string& name) {
    {
        const OwnServiceHandle manager(OpenManager());
        const OwnServiceHandle service(::OpenServiceA(manager.Get(), name.c_str(), SERVICE_ALL_ACCESS));
        if (!service) {
            return;
        }
        SERVICE_STATUS status{};
        ::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
        ::DeleteService(service.Get());
    }
    for (int wait = 0; wait < 200 && ServiceExists(name); ++wait) {
        ::Sleep(50);
    }
    EXPECT_FALSE(ServiceExists(name)) << "service " << name << " stays on the machine";
}

// A kernel-driver service of the test's own, removed again with the object.
class DriverService {
public:
    DriverService(const std::string& name, const std::string& displayName, const std::string& imagePath,
                  bool start)
        : name_(name) {
        const OwnServiceHandle manager(OpenManager());
        const OwnServiceHandle service(::CreateServiceA(manager.Get(), name.c_str(), displayName.c_str(),
                                                     SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                                     SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, imagePath.c_str(),
                                                     nullptr, nullptr, nullptr, nullptr, nullptr));
        EXPECT_TRUE(static_cast<bool>(service)) << "create " << name << ": " << ::GetLastError();
        if (service && start) {
            EXPECT_TRUE(::StartServiceA(service.Get(), 0, nullptr)) << "start " << name << ": " << ::GetLastError();
        }
    }
    ~DriverService() { RemoveService(name_); }
    DriverService(const DriverService&) = delete;
    DriverService& operator=(const DriverService&) = delete;

private:
    std::string name_;
};

// --- Registry ----------------------------------------------------------------

inline bool EventLogKeyExists() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

// The event-log key's value `name` as its type and raw bytes; type REG_NONE
// when the value is missing.
struct RegistryValue {
    DWORD type = REG_NONE;
    std::string bytes;
};

inline RegistryValue EventLogValue(const std::string& name) {
    RegistryValue value;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return value;
    }
    char data[1024];
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    if (::RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS) {
        value.type = type;
        value.bytes.assign(data, size);
    }
    ::RegCloseKey(key);
    return value;
}

// Checks the registration that Install and Upgrade write.
inline void ExpectEventLogRegistration() {
    const RegistryValue types = EventLogValue(TYPES_SUPPORTED_VALUE);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), types.type);
    EXPECT_EQ(std::string("\x07\0\0\0", 4), types.bytes);
    const RegistryValue file = EventLogValue(EVENT_MESSAGE_FILE_VALUE);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), file.type);
    EXPECT_EQ(InstalledMessageFile() + std::string(1, '\0'), file.bytes);
}

// --- The whole machine -------------------------------------------------------

// Takes away everything the installer puts on a machine: the product's
// service, the two installed files, the event-log key and the temporary
// folder.
inline void CleanMachine() {
    RemoveService(PRODUCT_NAME);
    for (const std::string& file : {InstalledDriver(), InstalledMessageFile()}) {
        if (FileExists(file)) {
            EXPECT_TRUE(::DeleteFileA(file.c_str())) << file << " stays on the machine: " << ::GetLastError();
        }
    }
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str());
    EXPECT_FALSE(EventLogKeyExists());
    std::error_code ignored;
    std::filesystem::remove_all(TempFolder(), ignored);
}

// A file held open for writing and shared with nobody, until the object goes.
class LockedFile {
public:
    explicit LockedFile(const std::string& path)
        : file_(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {
        EXPECT_TRUE(file_.IsValid()) << path;
    }

private:
    FileHandle file_;
};

// --- Service handles ---------------------------------------------------------

// While it lives, every service-manager and service handle that the program
// opens through the system table is recorded, and every close is checked
// against the record. Injected failures that pass calls on use the Counted
// functions, so that what they open is recorded too.
class ServiceHandleLedger {
public:
    ServiceHandleLedger()
        : openManager_(sys.OpenSCManagerA, CountedOpenSCManagerA),
          openService_(sys.OpenServiceA, CountedOpenServiceA),
          createService_(sys.CreateServiceA, CountedCreateServiceA),
          close_(sys.CloseServiceHandle, CountedCloseServiceHandle) {
        State() = {};
    }
    ServiceHandleLedger(const ServiceHandleLedger&) = delete;
    ServiceHandleLedger& operator=(const ServiceHandleLedger&) = delete;

    int ManagersOpened() const { return State().managersOpened; }
    int Closes() const { return State().closes; }
    // Handles opened and not closed yet.
    std::size_t Open() const { return State().open.size(); }
    // Closes of a handle that was not open (never opened, or closed before).
    int StrayCloses() const { return State().strayCloses; }

    static SC_HANDLE WINAPI CountedOpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access) {
        return Record(Real(&SystemApi::OpenSCManagerA)(machine, database, access), &State().managersOpened);
    }
    static SC_HANDLE WINAPI CountedOpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access) {
        return Record(Real(&SystemApi::OpenServiceA)(manager, name, access), nullptr);
    }
    static SC_HANDLE WINAPI CountedCreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR display, DWORD access,
                                                  DWORD type, DWORD start, DWORD errorControl, LPCSTR image,
                                                  LPCSTR group, LPDWORD tag, LPCSTR dependencies, LPCSTR account,
                                                  LPCSTR password) {
        return Record(Real(&SystemApi::CreateServiceA)(manager, name, display, access, type, start, errorControl,
                                                       image, group, tag, dependencies, account, password),
                      nullptr);
    }
    static BOOL WINAPI CountedCloseServiceHandle(SC_HANDLE handle) {
        const DWORD error = ::GetLastError();
        ++State().closes;
        if (State().open.erase(handle) == 0) {
            ++State().strayCloses;
        }
        ::SetLastError(error);
        return Real(&SystemApi::CloseServiceHandle)(handle);
    }

private:
    struct Counts {
        std::set<SC_HANDLE> open;
        int managersOpened = 0;
        int closes = 0;
        int strayCloses = 0;
    };
    static Counts& State() {
        static Counts counts;
        return counts;
    }
    // Keeps the last error of a failed call for the caller.
    static SC_HANDLE Record(SC_HANDLE handle, int* counter) {
        const DWORD error = ::GetLastError();
        if (handle != nullptr) {
            State().open.insert(handle);
            if (counter != nullptr) {
                ++*counter;
            }
        }
        ::SetLastError(error);
        return handle;
    }

    ApiOverride<decltype(sys.OpenSCManagerA)> openManager_;
    ApiOverride<decltype(sys.OpenServiceA)> openService_;
    ApiOverride<decltype(sys.CreateServiceA)> createService_;
    ApiOverride<decltype(sys.CloseServiceHandle)> close_;
};

// A test on the real machine: it starts clean and leaves it clean, and every
// service handle that the program opens meanwhile is closed exactly once.
class MachineTest : public ::testing::Test {
protected:
    void SetUp() override { CleanMachine(); }
    void TearDown() override {
        EXPECT_EQ(0u, ledger_.Open()) << "service handles left open";
        EXPECT_EQ(0, ledger_.StrayCloses()) << "closes of handles that were not open";
        CleanMachine();
    }

    ServiceHandleLedger ledger_;
};

// Swaps one entry of the system table for the scope:
// `const auto guard = Override(sys.GetTempPathA, Replacement);`
template <typename Function>
ApiOverride<Function> Override(Function& slot, Function replacement) {
    return ApiOverride<Function>(slot, replacement);
}

// An OpenSCManagerA that fails with the code set by the test.
inline DWORD& ManagerFailureCode() {
    static DWORD code = ERROR_ACCESS_DENIED;
    return code;
}
inline SC_HANDLE WINAPI FailingOpenSCManagerA(LPCSTR, LPCSTR, DWORD) {
    ::SetLastError(ManagerFailureCode());
    return nullptr;
}

}  // namespace kg::test
