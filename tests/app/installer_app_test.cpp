// The application's command table: the framework's Help command only.
#include <gtest/gtest.h>

#include "app/installer_app.h"

namespace kg {
namespace {

TEST(InstallerApp, CommandTableHasTheHelpCommand) {
    InstallerApp app;
    const MessageMapEntry* help = app.FindEntry(WM_COMMAND, 0, ID_HELP);
    ASSERT_NE(nullptr, help);
    EXPECT_EQ(ID_HELP, help->firstId);
    EXPECT_EQ(ID_HELP, help->lastId);
    EXPECT_EQ(nullptr, app.FindEntry(WM_COMMAND, 0, ID_HELP + 1));
    EXPECT_EQ(nullptr, app.FindEntry(WM_COMMAND, 0, 0));
}

}  // namespace
}  // namespace kg
