// The driver's status as a new installer object finds it: running driver
// services on the real service control manager, and the failures of the
// manager and the enumeration that Wine cannot produce, injected.
#include <gtest/gtest.h>

#include <string>

#include "installer/constants.h"
#include "installer/driver_installer.h"
#include "tests/installer/installer_machine.h"

namespace kg {
namespace {

using test::DriverService;
using test::Override;
using test::SamplePayload;
using test::StdoutCapture;

const std::string QUERY_FAILED = "An error occurred while querying the status of the driver:";

// The status a new object finds, and what its construction wrote.
struct Found {
    InstallStatus status;
    std::string output;
};

Found Construct() {
    StdoutCapture out;
    const DriverInstaller installer(TRUE);
    const InstallStatus status = installer.GetInstallStatus();
    return {status, out.Text()};
}

using StatusQuery = test::MachineTest;

TEST_F(StatusQuery, DriverServicesByNameAndState) {
    const struct {
        const char* what;
        std::string name;
        std::string displayName;
        std::string file;  // the driver's file name in the sample folder
        bool start;
        InstallStatus expected;
    } cases[] = {
        {"running", PRODUCT_NAME, PRODUCT_NAME, DRIVER_FILE_NAME, true, INSTALL_STATUS_INSTALLED},
        {"stopped", PRODUCT_NAME, PRODUCT_NAME, DRIVER_FILE_NAME, false, INSTALL_STATUS_NOT_INSTALLED},
        {"key name in other case", "kESTRELGARD", "Kestrelgard case", DRIVER_FILE_NAME, true,
         INSTALL_STATUS_INSTALLED},
        {"product name as display name only", "KgStatusOther", PRODUCT_NAME, "kgother.sys", true,
         INSTALL_STATUS_NOT_INSTALLED},
    };
    const SamplePayload sample;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string image = c.file == DRIVER_FILE_NAME ? sample.Driver() : sample.DriverCopy(c.file);
        const DriverService service(c.name, c.displayName, image, c.start);
        ASSERT_EQ(c.start ? static_cast<DWORD>(SERVICE_RUNNING) : static_cast<DWORD>(SERVICE_STOPPED),
                  test::ServiceState(c.name));

        const Found found = Construct();

        EXPECT_EQ(c.expected, found.status);
        EXPECT_EQ("", found.output);
    }
}

TEST_F(StatusQuery, NoServiceIsNotInstalled) {
    const Found found = Construct();
    EXPECT_EQ(INSTALL_STATUS_NOT_INSTALLED, found.status);
    EXPECT_EQ("", found.output);
}

// The enumeration fills what fits and then reports ERROR_MORE_DATA, as the
// system does when there are more active drivers than the buffer holds.
BOOL WINAPI MoreData(SC_HANDLE manager, DWORD type, DWORD state, LPENUM_SERVICE_STATUSA services, DWORD size,
                     LPDWORD needed, LPDWORD returned, LPDWORD resume) {
    test::Real(&SystemApi::EnumServicesStatusA)(manager, type, state, services, size, needed, returned, resume);
    *needed = size + 1;
    ::SetLastError(ERROR_MORE_DATA);
    return FALSE;
}

TEST_F(StatusQuery, EnumerationThatDoesNotFitIsNotInstalledWithoutMessage) {
    const SamplePayload sample;
    const DriverService running(PRODUCT_NAME, PRODUCT_NAME, sample.Driver(), true);
    const auto moreData = Override(sys.EnumServicesStatusA, MoreData);

    const Found found = Construct();

    EXPECT_EQ(INSTALL_STATUS_NOT_INSTALLED, found.status);
    EXPECT_EQ("", found.output);
}

TEST_F(StatusQuery, ManagerThatCannotBeOpenedIsToldAndNotInstalled) {
    const struct {
        DWORD code;
        std::string detail;
    } cases[] = {
        {ERROR_ACCESS_DENIED, "Cannot access the service control manager"},
        {ERROR_INVALID_PARAMETER, "Cannot open the service control manager"},
        {RPC_S_SERVER_UNAVAILABLE, "Cannot open the service control manager"},
    };
    const SamplePayload sample;
    const DriverService running(PRODUCT_NAME, PRODUCT_NAME, sample.Driver(), true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        test::ManagerFailureCode() = c.code;
        const auto failing = Override(sys.OpenSCManagerA, test::FailingOpenSCManagerA);

        const Found found = Construct();

        EXPECT_EQ(INSTALL_STATUS_NOT_INSTALLED, found.status);
        EXPECT_EQ(QUERY_FAILED + c.detail, found.output);
    }
}

TEST_F(StatusQuery, QueryClosesTheManagerItOpened) {
    const SamplePayload sample;
    const DriverService running(PRODUCT_NAME, PRODUCT_NAME, sample.Driver(), true);
    Construct();
    {
        const auto moreData = Override(sys.EnumServicesStatusA, MoreData);
        Construct();
    }
    EXPECT_EQ(2, ledger_.ManagersOpened());
    EXPECT_EQ(2, ledger_.Closes());
    EXPECT_EQ(0u, ledger_.Open());
}

}  // namespace
}  // namespace kg
