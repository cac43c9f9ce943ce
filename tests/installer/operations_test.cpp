// Install, Upgrade and Uninstall against the real service control manager,
// system folder and registry of a machine of the tests' own: what each tells
// the user and what stays on the machine after every kind of failure.
#include <gtest/gtest.h>

#include <string>

#include "framework/system_text.h"
#include "installer/constants.h"
#include "installer/driver_installer.h"
#include "tests/installer/installer_machine.h"

namespace kg {
namespace {

using test::CleanMachine;
using test::DriverService;
using test::EventLogKeyExists;
using test::FileExists;
using test::InstalledDriver;
using test::InstalledMessageFile;
using test::LockedFile;
using test::Override;
using test::ReadBytes;
using test::SamplePayload;
using test::ServiceHandleLedger;
using test::ServiceState;
using test::StdoutCapture;
using test::WriteBytes;

const std::string INSTALL_FAILED = "An error occurred while installing the driver";
const std::string INSTALLED = "Kestrelgard has been successfully installed.";
const std::string REMOVED =
    "Kestrelgard has been successfully removed from your system.\nPlease reboot to complete uninstallation.";
const std::string REMOVE_FAILED = "An error occurred while removing the driver";
const std::string REGISTRY_FAILED = "An error occurred while writing the settings to the registry:";
const std::string UPGRADED =
    "The new version of Kestrelgard has been successfully copied to your system.\n"
    "Please reboot for the upgrade to take effect.";
const std::string STEP2_TEXT =
    "[Step2]: The fully qualified path name to the file must be given, and the drive letter must be for a fixed "
    "disk (e.g., not a network drive)";

std::string SystemText(DWORD code) {
    const std::string text = FormatSystemMessage(code);
    EXPECT_FALSE(text.empty()) << "the system has no text for " << code;
    return text;
}

// A service failure's detail: ": " and the system's text on one line.
std::string ServiceFailure(DWORD code) { return ": " + RemoveLineBreaks(SystemText(code)); }

std::string CopyFailed(const std::string& name, DWORD code) {
    return "An error occurred while copying the file " + name + ":\n" + SystemText(code);
}

// Leaves a driver file and message library of another version in place.
void PlaceOldFiles() {
    WriteBytes(InstalledDriver(), "old driver");
    WriteBytes(InstalledMessageFile(), "old messages");
}

// Brings the machine into a state through the product itself, its message
// aside.
bool Quietly(DriverInstaller& installer, bool (DriverInstaller::*operation)()) {
    StdoutCapture message;
    return (installer.*operation)();
}

using Operations = test::MachineTest;

TEST_F(Operations, InstallOnCleanMachineCopiesStartsAndRegisters) {
    const SamplePayload sample;
    DriverInstaller installer(TRUE);
    StdoutCapture out;

    EXPECT_TRUE(installer.Install());

    EXPECT_EQ(INSTALLED, out.Text());
    EXPECT_EQ(sample.DriverBytes(), ReadBytes(InstalledDriver()));
    EXPECT_EQ(sample.MessageFileBytes(), ReadBytes(InstalledMessageFile()));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(PRODUCT_NAME));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), test::ServiceStartType(PRODUCT_NAME));
    test::ExpectEventLogRegistration();
    // The status found at construction is not refreshed by the operation.
    EXPECT_EQ(INSTALL_STATUS_NOT_INSTALLED, installer.GetInstallStatus());
}

TEST_F(Operations, InstallOverStoppedServiceReplacesFilesAndFailsAtCreation) {
    const SamplePayload sample;
    const DriverService existing(PRODUCT_NAME, PRODUCT_NAME, InstalledDriver(), false);
    PlaceOldFiles();
    DriverInstaller installer(TRUE);
    StdoutCapture out;

    EXPECT_FALSE(installer.Install());

    const std::string text = out.Text();
    EXPECT_EQ(INSTALL_FAILED + ServiceFailure(ERROR_SERVICE_EXISTS), text);
    EXPECT_EQ(std::string::npos, text.find_first_of("\r\n")) << "one line";
    EXPECT_EQ(sample.DriverBytes(), ReadBytes(InstalledDriver()));
    EXPECT_EQ(sample.MessageFileBytes(), ReadBytes(InstalledMessageFile()));
    // The existing service stays as it was.
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), ServiceState(PRODUCT_NAME));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), test::ServiceStartType(PRODUCT_NAME));
    EXPECT_FALSE(EventLogKeyExists());
}

UINT WINAPI RemoteDrive(LPCSTR) { return DRIVE_REMOTE; }

TEST_F(Operations, InstallOnSystemFolderOffFixedDiskCopiesButCreatesNoService) {
    const SamplePayload sample;
    DriverInstaller installer(TRUE);
    const auto remote = Override(sys.GetDriveTypeA, RemoteDrive);
    StdoutCapture out;

    EXPECT_FALSE(installer.Install());

    EXPECT_EQ(INSTALL_FAILED + STEP2_TEXT, out.Text());
    EXPECT_EQ(sample.DriverBytes(), ReadBytes(InstalledDriver()));
    EXPECT_EQ(sample.MessageFileBytes(), ReadBytes(InstalledMessageFile()));
    EXPECT_FALSE(test::ServiceExists(PRODUCT_NAME));
    EXPECT_FALSE(EventLogKeyExists());
}

// Injected service-control failures during Install. Each replacement counts
// its calls from the moment Install starts.
int managerOpens = 0;

SC_HANDLE WINAPI SecondManagerOpenFails(LPCSTR machine, LPCSTR database, DWORD access) {
    if (++managerOpens == 2) {
        ::SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return nullptr;
    }
    return ServiceHandleLedger::CountedOpenSCManagerA(machine, database, access);
}

SC_HANDLE WINAPI OpenServiceDenied(SC_HANDLE, LPCSTR, DWORD) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

BOOL WINAPI DriverRefusesToLoad(SC_HANDLE, DWORD, LPCSTR*) {
    ::SetLastError(ERROR_DLL_INIT_FAILED);
    return FALSE;
}

TEST_F(Operations, InstallServiceControlFailuresLeaveWhatWasDone) {
    struct Case {
        const char* what;
        bool (*install)(DriverInstaller&);
        std::string detail;
        bool serviceCreated;  // and then registered for automatic start, not running
    };
    const Case cases[] = {
        {"manager access denied",
         [](DriverInstaller& installer) {
             test::ManagerFailureCode() = ERROR_ACCESS_DENIED;
             const auto failing = Override(sys.OpenSCManagerA, test::FailingOpenSCManagerA);
             return installer.Install();
         },
         "Cannot access the service control manager", false},
        {"manager cannot be opened",
         [](DriverInstaller& installer) {
             test::ManagerFailureCode() = ERROR_INVALID_PARAMETER;
             const auto failing = Override(sys.OpenSCManagerA, test::FailingOpenSCManagerA);
             return installer.Install();
         },
         "Cannot open the service control manager", false},
        {"second opening of the manager",
         [](DriverInstaller& installer) {
             managerOpens = 0;
             const auto failing = Override(sys.OpenSCManagerA, SecondManagerOpenFails);
             return installer.Install();
         },
         "Cannot open the service control manager", true},
        {"opening the service",
         [](DriverInstaller& installer) {
             const auto failing = Override(sys.OpenServiceA, OpenServiceDenied);
             return installer.Install();
         },
         ServiceFailure(ERROR_ACCESS_DENIED), true},
        {"starting the service",
         [](DriverInstaller& installer) {
             const auto failing = Override(sys.StartServiceA, DriverRefusesToLoad);
             return installer.Install();
         },
         ServiceFailure(ERROR_DLL_INIT_FAILED), true},
    };
    const SamplePayload sample;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CleanMachine();
        {
            DriverInstaller installer(TRUE);
            StdoutCapture out;
            EXPECT_FALSE(c.install(installer));
            EXPECT_EQ(INSTALL_FAILED + c.detail, out.Text());
        }
        EXPECT_EQ(sample.DriverBytes(), ReadBytes(InstalledDriver()));
        EXPECT_EQ(sample.MessageFileBytes(), ReadBytes(InstalledMessageFile()));
        if (c.serviceCreated) {
            EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), ServiceState(PRODUCT_NAME));
            EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), test::ServiceStartType(PRODUCT_NAME));
        } else {
            EXPECT_FALSE(test::ServiceExists(PRODUCT_NAME));
        }
        EXPECT_FALSE(EventLogKeyExists());
    }
}

// Install and Upgrade copy the two files, and register, alike.
struct Operation {
    const char* name;
    bool (DriverInstaller::*run)();
    bool startsService;
};

std::string OperationName(const testing::TestParamInfo<Operation>& info) { return info.param.name; }

class CopyAndRegister : public test::MachineTest, public testing::WithParamInterface<Operation> {
protected:
    bool Run(DriverInstaller& installer) { return (installer.*GetParam().run)(); }

    // What an operation that failed while copying leaves: no service and no
    // registration.
    static void ExpectNoServiceNorRegistration() {
        EXPECT_FALSE(test::ServiceExists(PRODUCT_NAME));
        EXPECT_FALSE(EventLogKeyExists());
    }
};

INSTANTIATE_TEST_SUITE_P(InstallAndUpgrade, CopyAndRegister,
                         testing::Values(Operation{"Install", &DriverInstaller::Install, true},
                                         Operation{"Upgrade", &DriverInstaller::Upgrade, false}),
                         OperationName);

TEST_P(CopyAndRegister, DriverInUseIsNamedAndNothingIsTouched) {
    WriteBytes(InstalledDriver(), "old driver");
    DriverInstaller installer(TRUE);
    StdoutCapture out;
    {
        const LockedFile inUse(InstalledDriver());
        EXPECT_FALSE(Run(installer));
    }

    EXPECT_EQ(CopyFailed("kestgard.sys", ERROR_SHARING_VIOLATION), out.Text());
    EXPECT_EQ("old driver", ReadBytes(InstalledDriver()));
    EXPECT_FALSE(FileExists(InstalledMessageFile()));
    ExpectNoServiceNorRegistration();
}

TEST_P(CopyAndRegister, MessageFileInUseLeavesTheNewDriver) {
    const SamplePayload sample;
    WriteBytes(InstalledMessageFile(), "old messages");
    DriverInstaller installer(TRUE);
    StdoutCapture out;
    {
        const LockedFile inUse(InstalledMessageFile());
        EXPECT_FALSE(Run(installer));
    }

    EXPECT_EQ(CopyFailed("kestgard.dll", ERROR_SHARING_VIOLATION), out.Text());
    EXPECT_EQ(sample.DriverBytes(), ReadBytes(InstalledDriver()));
    EXPECT_EQ("old messages", ReadBytes(InstalledMessageFile()));
    ExpectNoServiceNorRegistration();
}

TEST_P(CopyAndRegister, PayloadMissingFromTemporaryFolderFailsAtDriverCopy) {
    DriverInstaller installer(TRUE);
    ASSERT_TRUE(::DeleteFileA(installer.GetDriverSourcePath().c_str()));
    StdoutCapture out;

    EXPECT_FALSE(Run(installer));

    EXPECT_EQ(CopyFailed("kestgard.sys", ERROR_FILE_NOT_FOUND), out.Text());
    EXPECT_FALSE(FileExists(InstalledDriver()));
    EXPECT_FALSE(FileExists(InstalledMessageFile()));
    ExpectNoServiceNorRegistration();
}

// Registry failures as injected: the registry's own code comes back, while
// the thread's last error holds another.
LONG WINAPI CreateKeyDenied(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD) {
    ::SetLastError(ERROR_INVALID_FUNCTION);
    return ERROR_ACCESS_DENIED;
}

LONG WINAPI WriteProtected(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD) {
    ::SetLastError(ERROR_INVALID_FUNCTION);
    return ERROR_WRITE_PROTECT;
}

LONG WINAPI MessageFileValueRefused(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
    if (name == EVENT_MESSAGE_FILE_VALUE) {
        ::SetLastError(ERROR_INVALID_FUNCTION);
        return ERROR_DISK_FULL;
    }
    return test::Real(&SystemApi::RegSetValueExA)(key, name, reserved, type, data, size);
}

// Lets everyone read the event-log key and nobody write it, so that opening it
// for writing fails for real.
void MakeEventLogKeyReadOnly() {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, EVENTLOG_KEY.c_str(), 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, &key, nullptr));
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    DWORD aclBuffer[64];
    ACL* const acl = reinterpret_cast<ACL*>(aclBuffer);
    SECURITY_DESCRIPTOR descriptor;
    EXPECT_TRUE(::InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION) &&
                ::AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone) &&
                ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                ::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
    EXPECT_EQ(ERROR_SUCCESS, ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor));
    ::FreeSid(everyone);
    ::RegCloseKey(key);
}

TEST_P(CopyAndRegister, RegistrationFailureShowsTheRegistrysOwnError) {
    struct Case {
        const char* what;
        bool (*run)(DriverInstaller&, bool (DriverInstaller::*)());
        DWORD code;
        bool typesSupportedWritten;
    };
    const Case cases[] = {
        {"key readable only",
         [](DriverInstaller& installer, bool (DriverInstaller::*run)()) {
             MakeEventLogKeyReadOnly();
             return (installer.*run)();
         },
         ERROR_ACCESS_DENIED, false},
        {"key cannot be created",
         [](DriverInstaller& installer, bool (DriverInstaller::*run)()) {
             const auto failing = Override(sys.RegCreateKeyExA, CreateKeyDenied);
             return (installer.*run)();
         },
         ERROR_ACCESS_DENIED, false},
        {"no value can be written",
         [](DriverInstaller& installer, bool (DriverInstaller::*run)()) {
             const auto failing = Override(sys.RegSetValueExA, WriteProtected);
             return (installer.*run)();
         },
         ERROR_WRITE_PROTECT, false},
        {"the message file value cannot be written",
         [](DriverInstaller& installer, bool (DriverInstaller::*run)()) {
             const auto failing = Override(sys.RegSetValueExA, MessageFileValueRefused);
             return (installer.*run)();
         },
         ERROR_DISK_FULL, true},
    };
    const SamplePayload sample;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CleanMachine();
        {
            DriverInstaller installer(TRUE);
            StdoutCapture out;
            EXPECT_FALSE(c.run(installer, GetParam().run));
            EXPECT_EQ(REGISTRY_FAILED + ":\n" + SystemText(c.code), out.Text());
        }
        EXPECT_EQ(sample.DriverBytes(), ReadBytes(InstalledDriver()));
        EXPECT_EQ(sample.MessageFileBytes(), ReadBytes(InstalledMessageFile()));
        EXPECT_EQ(GetParam().startsService ? static_cast<DWORD>(SERVICE_RUNNING) : 0u, ServiceState(PRODUCT_NAME));
        EXPECT_EQ(c.typesSupportedWritten ? static_cast<DWORD>(REG_DWORD) : static_cast<DWORD>(REG_NONE),
                  test::EventLogValue(TYPES_SUPPORTED_VALUE).type);
        EXPECT_EQ(static_cast<DWORD>(REG_NONE), test::EventLogValue(EVENT_MESSAGE_FILE_VALUE).type);
    }
}

TEST_F(Operations, UpgradeWithoutServiceReplacesFilesAndRegistersOnly) {
    const SamplePayload sample;
    PlaceOldFiles();
    DriverInstaller installer(TRUE);
    StdoutCapture out;

    EXPECT_TRUE(installer.Upgrade());

    EXPECT_EQ(UPGRADED, out.Text());
    EXPECT_EQ(sample.DriverBytes(), ReadBytes(InstalledDriver()));
    EXPECT_EQ(sample.MessageFileBytes(), ReadBytes(InstalledMessageFile()));
    EXPECT_FALSE(test::ServiceExists(PRODUCT_NAME));
    test::ExpectEventLogRegistration();
}

// Puts the message library and the registration back after an uninstall, so
// that what a later failing uninstall leaves can be seen.
// A failed uninstall leaves both installed files and the registration.
void ExpectFilesAndRegistrationStay() {
    EXPECT_TRUE(FileExists(InstalledDriver()));
    EXPECT_TRUE(FileExists(InstalledMessageFile()));
    test::ExpectEventLogRegistration();
}

void RestoreMessageFileAndRegistration(DriverInstaller& installer) {
    ASSERT_TRUE(::CopyFileA(installer.GetMessageFileSourcePath().c_str(), InstalledMessageFile().c_str(), FALSE));
    ASSERT_TRUE(installer.RegisterEventLogSource());
}

TEST_F(Operations, UninstallOfRunningDriverMarksItForDeletion) {
    DriverInstaller installer(TRUE);
    ASSERT_TRUE(Quietly(installer, &DriverInstaller::Install));
    StdoutCapture out;

    EXPECT_TRUE(installer.Uninstall());

    EXPECT_EQ(REMOVED, out.Text());
    // Still loaded until the restart, and its file with it.
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(PRODUCT_NAME));
    EXPECT_TRUE(FileExists(InstalledDriver()));
    EXPECT_FALSE(FileExists(InstalledMessageFile()));
    EXPECT_FALSE(EventLogKeyExists());
}

TEST_F(Operations, UninstallAgainBeforeRestartFailsAndTouchesNothing) {
    DriverInstaller installer(TRUE);
    ASSERT_TRUE(Quietly(installer, &DriverInstaller::Install));
    ASSERT_TRUE(Quietly(installer, &DriverInstaller::Uninstall));
    RestoreMessageFileAndRegistration(installer);
    StdoutCapture out;

    EXPECT_FALSE(installer.Uninstall());

    EXPECT_EQ(REMOVE_FAILED + ServiceFailure(ERROR_SERVICE_MARKED_FOR_DELETE), out.Text());
    ExpectFilesAndRegistrationStay();
}

TEST_F(Operations, UninstallWithoutServiceFailsAndLeavesFilesAndRegistration) {
    DriverInstaller installer(TRUE);
    ASSERT_TRUE(Quietly(installer, &DriverInstaller::Upgrade));
    StdoutCapture out;

    EXPECT_FALSE(installer.Uninstall());

    EXPECT_EQ(REMOVE_FAILED + ServiceFailure(ERROR_SERVICE_DOES_NOT_EXIST), out.Text());
    ExpectFilesAndRegistrationStay();
}

TEST_F(Operations, UninstallWithoutServiceManagerChangesNothing) {
    const struct {
        DWORD code;
        std::string detail;
    } cases[] = {
        {ERROR_ACCESS_DENIED, "Cannot access the service control manager"},
        {RPC_S_SERVER_UNAVAILABLE, "Cannot open the service control manager"},
    };
    DriverInstaller installer(TRUE);
    ASSERT_TRUE(Quietly(installer, &DriverInstaller::Install));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.detail);
        test::ManagerFailureCode() = c.code;
        const auto failing = Override(sys.OpenSCManagerA, test::FailingOpenSCManagerA);
        StdoutCapture out;

        EXPECT_FALSE(installer.Uninstall());

        EXPECT_EQ(REMOVE_FAILED + c.detail, out.Text());
        EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(PRODUCT_NAME));
        ExpectFilesAndRegistrationStay();
    }
}

BOOL WINAPI DeleteRefused(SC_HANDLE) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// A refused deletion changes nothing: a later uninstall of the same run
// still succeeds.
TEST_F(Operations, UninstallWhoseDeleteIsRefusedLeavesTheServiceRunning) {
    DriverInstaller installer(TRUE);
    ASSERT_TRUE(Quietly(installer, &DriverInstaller::Install));
    {
        const auto refused = Override(sys.DeleteService, DeleteRefused);
        StdoutCapture out;
        EXPECT_FALSE(installer.Uninstall());
        EXPECT_EQ(REMOVE_FAILED + ServiceFailure(ERROR_ACCESS_DENIED), out.Text());
    }
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(PRODUCT_NAME));
    test::ExpectEventLogRegistration();

    StdoutCapture out;
    EXPECT_TRUE(installer.Uninstall());
    EXPECT_EQ(REMOVED, out.Text());
}

}  // namespace
}  // namespace kg
