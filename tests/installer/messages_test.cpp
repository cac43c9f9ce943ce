// The four message operations in message-box mode, on real boxes: the
// composed text, the program's name as caption, one OK button and the icon.
#include <gtest/gtest.h>

#include "framework/system_text.h"
#include "installer/driver_installer.h"
#include "tests/installer/test_app.h"
#include "tests/support/message_boxes.h"
#include "ui/resource.h"

namespace kg {
namespace {

using test::MessageBoxWatcher;
using test::ScreenBox;
using test::StandardIcon;

class RealBoxes : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::TestApp(); }

    ScreenBox OnlyBox(const MessageBoxWatcher& watcher) const {
        const std::vector<ScreenBox> boxes = watcher.Boxes();
        EXPECT_EQ(1u, boxes.size());
        return boxes.empty() ? ScreenBox{} : boxes.front();
    }
};

TEST_F(RealBoxes, EachOperationShowsItsTextWithTheProgramNameOkAndItsIcon) {
    DriverInstaller installer(FALSE);
    const std::string accessDenied = FormatSystemMessage(ERROR_ACCESS_DENIED);
    const std::string shownDenied = accessDenied.substr(0, accessDenied.size() - 2);  // without CR LF
    struct Case {
        const char* what;
        void (*show)(DriverInstaller&);
        std::string text;
        UINT icon;
    };
    const Case cases[] = {
        {"ShowMessage information", [](DriverInstaller& i) { i.ShowMessage(IDS_INSTALLED, true); },
         "Kestrelgard has been successfully installed.", MB_ICONINFORMATION},
        {"ShowMessage failure", [](DriverInstaller& i) { i.ShowMessage(IDS_EXTRACT_FAILED, false); },
         "Error while extracting files", MB_ICONEXCLAMATION},
        {"ShowMessageWithText", [](DriverInstaller& i) { i.ShowMessageWithText(IDS_QUERY_FAILED, "detail 100%"); },
         "An error occurred while querying the status of the driver:detail 100%", MB_ICONEXCLAMATION},
        {"ShowSystemError", [](DriverInstaller& i) { i.ShowSystemError(IDS_PATH_FAILED, ERROR_ACCESS_DENIED); },
         "An error occurred while building the path:\n" + shownDenied, MB_ICONEXCLAMATION},
        {"ShowTextSystemError", [](DriverInstaller& i) { i.ShowTextSystemError("a %s text", ERROR_ACCESS_DENIED); },
         "a %s text:\n" + shownDenied, MB_ICONEXCLAMATION},
    };
    for (const Case& c : cases) {
        MessageBoxWatcher watcher;
        c.show(installer);
        const ScreenBox box = OnlyBox(watcher);
        EXPECT_EQ("installer_tests", box.caption) << c.what;
        EXPECT_EQ(c.text, box.text) << c.what;
        EXPECT_TRUE(box.hasOkButton) << c.what;
        EXPECT_EQ(1, box.buttonCount) << c.what;
        EXPECT_EQ(StandardIcon(c.icon), box.icon) << c.what;
    }
}

}  // namespace
}  // namespace kg
