// A driver marked for deletion goes at the next system start, and then it
// installs again. The CTest entry installer_restart runs the first half,
// restarts the machine and runs the second.
#include <gtest/gtest.h>

#include "tests/installer/machine.h"

namespace kg {
namespace {

using namespace test;

TEST(DISABLED_AcrossRestart, BeforeRestart) {
    Prepare(MarkedForDeletion);
    EXPECT_EQ("running new - -", State());
}

TEST(DISABLED_AcrossRestart, AfterRestart) {
    EXPECT_EQ("- new - -", State()) << "the restart did not remove the service";
    InstallStatus status{};
    EXPECT_EQ("Kestrelgard has been successfully installed.", Told([&] {
        DriverInstaller installer(TRUE);
        status = installer.GetInstallStatus();
        installer.Install();
    }));
    EXPECT_EQ(INSTALL_STATUS_NOT_INSTALLED, status);
    EXPECT_EQ("running new new registered", State());
}

}  // namespace
}  // namespace kg
