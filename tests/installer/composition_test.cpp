// How the four message operations compose what the user reads: standard
// output in the command-line run, the recorded box in the dialog run. System
// texts are the system's own, taken at run time.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "framework/system_text.h"
#include "framework/winapp.h"
#include "installer/driver_installer.h"
#include "tests/installer/test_app.h"
#include "tests/support/api_override.h"
#include "tests/support/message_boxes.h"
#include "ui/resource.h"

namespace kg {
namespace {

using test::ApiOverride;
using test::MessageBoxRecorder;
using test::ShownBox;

// A code for which the system has no text.
constexpr DWORD NO_TEXT_CODE = 0x2000FFFF;
// The longest text a message can have: the buffer less its terminator.
constexpr std::size_t LONGEST = MESSAGE_BUFFER_SIZE - 1;

std::string Resource(UINT id) { return LoadResourceString(id); }

std::string WithoutLineEnd(const std::string& systemText) {
    return systemText.substr(0, systemText.size() - 2);
}

// The text that the system's message function hands out, set per test.
std::string fakeSystemText;

// FormatMessageA into the caller's buffer, as the system does it: nothing
// when the text and its terminator do not fit, or when a text with inserts
// is to be filled in from no arguments.
DWORD WINAPI FakeFormatMessage(DWORD flags, LPCVOID, DWORD, DWORD, LPSTR buffer, DWORD size, va_list* arguments) {
    if (!(flags & FORMAT_MESSAGE_IGNORE_INSERTS) && arguments == nullptr &&
        fakeSystemText.find('%') != std::string::npos) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (fakeSystemText.size() + 1 > size) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, fakeSystemText.c_str(), fakeSystemText.size() + 1);
    return static_cast<DWORD>(fakeSystemText.size());
}

// An installer in each mode. Construction tells nothing on this machine;
// its output is kept out of the tests' captures all the same.
class Composition : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::TestApp(); }

    void SetUp() override {
        testing::internal::CaptureStdout();
        commandLine_ = std::make_unique<DriverInstaller>(TRUE);
        // Only one run at a time holds the temporary folder.
        commandLine_->RemoveTempFolder();
        boxes_ = std::make_unique<DriverInstaller>(FALSE);
        const std::string startUp = testing::internal::GetCapturedStdout();
        EXPECT_EQ("", startUp);
    }

    void TearDown() override {
        boxes_.reset();
        commandLine_.reset();
    }

    // What `tell` writes to standard output in the command-line run.
    template <typename Tell>
    std::string Output(Tell tell) {
        testing::internal::CaptureStdout();
        tell(*commandLine_);
        return testing::internal::GetCapturedStdout();
    }

    // The one box that `tell` shows in the dialog run.
    template <typename Tell>
    ShownBox Box(Tell tell) {
        MessageBoxRecorder recorder;
        tell(*boxes_);
        EXPECT_EQ(1u, recorder.Boxes().size());
        return recorder.Boxes().empty() ? ShownBox{} : recorder.Boxes().front();
    }

    // The text of the one box.
    template <typename Tell>
    std::string BoxText(Tell tell) {
        return Box(tell).text;
    }

    std::unique_ptr<DriverInstaller> commandLine_;
    std::unique_ptr<DriverInstaller> boxes_;
};

TEST_F(Composition, SystemErrorIsMessageColonLineFeedAndSystemText) {
    const std::string denied = FormatSystemMessage(ERROR_ACCESS_DENIED);
    ASSERT_GT(denied.size(), 2u);
    ASSERT_EQ("\r\n", denied.substr(denied.size() - 2));
    const std::string message = Resource(IDS_PATH_FAILED);

    EXPECT_EQ(message + ":\n" + denied,
              Output([](DriverInstaller& i) { i.ShowSystemError(IDS_PATH_FAILED, ERROR_ACCESS_DENIED); }));
    EXPECT_EQ(message + ":\n" + WithoutLineEnd(denied),
              BoxText([](DriverInstaller& i) { i.ShowSystemError(IDS_PATH_FAILED, ERROR_ACCESS_DENIED); }));

    EXPECT_EQ("own text:\n" + denied,
              Output([](DriverInstaller& i) { i.ShowTextSystemError("own text", ERROR_ACCESS_DENIED); }));
    EXPECT_EQ("own text:\n" + WithoutLineEnd(denied),
              BoxText([](DriverInstaller& i) { i.ShowTextSystemError("own text", ERROR_ACCESS_DENIED); }));
}

TEST_F(Composition, BoxCutsOneCarriageReturnLineFeedOfALongerSystemText) {
    struct Case {
        std::string systemText;
        std::string shown;  // in the box; standard output shows the text as it is
    };
    const Case cases[] = {
        {"Denied.\r\n", "Denied."},
        {"x\r\n", "x"},                     // three characters: cut
        {"\r\n", "\r\n"},                   // two: kept
        {"Denied.\r\n\r\n", "Denied.\r\n"}, // only one line end goes
        {"Denied.\n", "Denied.\n"},         // a line feed alone is kept
        {"Denied.\r", "Denied.\r"},
        {"Denied.", "Denied."},
    };
    const ApiOverride format(sys.FormatMessageA, &FakeFormatMessage);
    for (const Case& c : cases) {
        fakeSystemText = c.systemText;
        EXPECT_EQ("own:\n" + c.shown, BoxText([](DriverInstaller& i) { i.ShowTextSystemError("own", 5); }))
            << c.systemText;
        EXPECT_EQ("own:\n" + c.systemText, Output([](DriverInstaller& i) { i.ShowTextSystemError("own", 5); }))
            << c.systemText;
    }
}

TEST_F(Composition, CodeWithoutSystemTextLeavesTextColonAndLineFeed) {
    ASSERT_EQ("", FormatSystemMessage(NO_TEXT_CODE));
    const std::string message = Resource(IDS_QUERY_FAILED);
    EXPECT_EQ(message + ":\n", Output([](DriverInstaller& i) { i.ShowSystemError(IDS_QUERY_FAILED, NO_TEXT_CODE); }));
    EXPECT_EQ(message + ":\n", BoxText([](DriverInstaller& i) { i.ShowSystemError(IDS_QUERY_FAILED, NO_TEXT_CODE); }));
    EXPECT_EQ("own:\n", Output([](DriverInstaller& i) { i.ShowTextSystemError("own", NO_TEXT_CODE); }));
    EXPECT_EQ("own:\n", BoxText([](DriverInstaller& i) { i.ShowTextSystemError("own", NO_TEXT_CODE); }));
}

TEST_F(Composition, SystemTextThatDoesNotFitIsLeftOutWhole) {
    const std::string denied = FormatSystemMessage(ERROR_ACCESS_DENIED);
    ASSERT_GT(denied.size(), 6u);
    // 1015 characters and ":\n" leave room for 6 characters and a terminator.
    static std::string text;
    text = std::string(1015, 't');
    EXPECT_EQ(text + ":\n", Output([](DriverInstaller& i) { i.ShowTextSystemError(text, ERROR_ACCESS_DENIED); }));
    EXPECT_EQ(text + ":\n", BoxText([](DriverInstaller& i) { i.ShowTextSystemError(text, ERROR_ACCESS_DENIED); }));

    // At the edge: a system text with just room for its terminator goes in
    // whole, one character longer is left out.
    text = std::string(LONGEST - 2 - denied.size(), 't');
    const std::string whole =
        Output([](DriverInstaller& i) { i.ShowTextSystemError(text, ERROR_ACCESS_DENIED); });
    EXPECT_EQ(text + ":\n" + denied, whole);
    EXPECT_EQ(LONGEST, whole.size());
    text += 't';
    EXPECT_EQ(text + ":\n", Output([](DriverInstaller& i) { i.ShowTextSystemError(text, ERROR_ACCESS_DENIED); }));
}

TEST_F(Composition, MessageWithTextAppendsDirectlyAndCutsTo1023) {
    const std::string message = Resource(IDS_INSTALL_FAILED);
    EXPECT_EQ(message + "detail",
              Output([](DriverInstaller& i) { i.ShowMessageWithText(IDS_INSTALL_FAILED, "detail"); }));
    EXPECT_EQ(message + "detail",
              BoxText([](DriverInstaller& i) { i.ShowMessageWithText(IDS_INSTALL_FAILED, "detail"); }));

    static std::string longText;
    longText = std::string(LONGEST, 'd');
    const std::string expected = (message + longText).substr(0, LONGEST);
    const std::string output =
        Output([](DriverInstaller& i) { i.ShowMessageWithText(IDS_INSTALL_FAILED, longText); });
    EXPECT_EQ(LONGEST, output.size());
    EXPECT_EQ(expected, output);
    EXPECT_EQ(expected, BoxText([](DriverInstaller& i) { i.ShowMessageWithText(IDS_INSTALL_FAILED, longText); }));
}

TEST_F(Composition, PercentSignsReachTheUserUnchanged) {
    const std::string message = Resource(IDS_REMOVE_FAILED);
    EXPECT_EQ(message + "%s %1 %d 100%",
              Output([](DriverInstaller& i) { i.ShowMessageWithText(IDS_REMOVE_FAILED, "%s %1 %d 100%"); }));
    EXPECT_EQ(message + "%s %1 %d 100%",
              BoxText([](DriverInstaller& i) { i.ShowMessageWithText(IDS_REMOVE_FAILED, "%s %1 %d 100%"); }));
    EXPECT_EQ("%s %1:\n", Output([](DriverInstaller& i) { i.ShowTextSystemError("%s %1", NO_TEXT_CODE); }));
    EXPECT_EQ("%s %1:\n", BoxText([](DriverInstaller& i) { i.ShowTextSystemError("%s %1", NO_TEXT_CODE); }));
}

TEST_F(Composition, SystemTextWithInsertsIsShownWithTheInsertsAsTheyAre) {
    // Wine's texts have no inserts; Windows' do (ERROR_WRONG_DISK).
    const ApiOverride format(sys.FormatMessageA, &FakeFormatMessage);
    fakeSystemText = "Insert %2 into drive %1.\r\n";
    EXPECT_EQ("own:\nInsert %2 into drive %1.\r\n",
              Output([](DriverInstaller& i) { i.ShowTextSystemError("own", ERROR_WRONG_DISK); }));
    EXPECT_EQ("own:\nInsert %2 into drive %1.",
              BoxText([](DriverInstaller& i) { i.ShowTextSystemError("own", ERROR_WRONG_DISK); }));
}

TEST_F(Composition, ShowMessageWritesTheStringAloneWithoutALineBreak) {
    for (const UINT id : {IDS_INSTALLED, IDS_REMOVED, IDS_UPGRADED}) {
        const std::string text = Resource(id);
        ASSERT_FALSE(text.empty()) << id;
        EXPECT_EQ(text, Output([id](DriverInstaller& i) { i.ShowMessage(id, true); })) << id;
    }
    EXPECT_EQ(Resource(IDS_EXTRACT_FAILED),
              Output([](DriverInstaller& i) { i.ShowMessage(IDS_EXTRACT_FAILED, false); }));
}

TEST_F(Composition, MessagesInARowRunTogether) {
    EXPECT_EQ(Resource(IDS_EXTRACT_FAILED) + Resource(IDS_INSTALL_FAILED) + "detail",
              Output([](DriverInstaller& i) {
                  i.ShowMessage(IDS_EXTRACT_FAILED, false);
                  i.ShowMessageWithText(IDS_INSTALL_FAILED, "detail");
              }));
}

TEST_F(Composition, UsageIsFourLines) {
    const std::string usage = Output([](DriverInstaller& i) { i.ShowUsage(); });
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = usage.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(usage.substr(start, end - start));
    }
    EXPECT_EQ(usage.size(), start) << "text after the last line feed";
    ASSERT_EQ(4u, lines.size()) << usage;
    EXPECT_EQ("Kestrelgard Installation Tool", lines[0]);
    EXPECT_EQ("Usage: Kgsetup /i   Installs Kestrelgard", lines[2]);
    EXPECT_EQ("", lines[3]);
}

TEST_F(Composition, BoxTypesCaptionAndOwner) {
    ASSERT_EQ(nullptr, AfxGetApp()->m_pMainWnd);
    struct Case {
        const char* what;
        void (*tell)(DriverInstaller&);
        std::string text;
        UINT type;
    };
    const Case cases[] = {
        {"installed", [](DriverInstaller& i) { i.ShowMessage(IDS_INSTALLED, true); }, Resource(IDS_INSTALLED),
         MB_OK | MB_ICONINFORMATION},
        {"removed", [](DriverInstaller& i) { i.ShowMessage(IDS_REMOVED, true); }, Resource(IDS_REMOVED),
         MB_OK | MB_ICONINFORMATION},
        {"upgraded", [](DriverInstaller& i) { i.ShowMessage(IDS_UPGRADED, true); }, Resource(IDS_UPGRADED),
         MB_OK | MB_ICONINFORMATION},
        {"usage", [](DriverInstaller& i) { i.ShowUsage(); }, Resource(IDS_USAGE), MB_OK | MB_ICONEXCLAMATION},
        {"extract failed", [](DriverInstaller& i) { i.ShowMessage(IDS_EXTRACT_FAILED, false); },
         Resource(IDS_EXTRACT_FAILED), MB_OK | MB_ICONEXCLAMATION},
        // These ask for no icon; the framework gives an OK box the exclamation.
        {"with text", [](DriverInstaller& i) { i.ShowMessageWithText(IDS_INSTALL_FAILED, "x"); },
         Resource(IDS_INSTALL_FAILED) + "x", MB_OK | MB_ICONEXCLAMATION},
        {"system error", [](DriverInstaller& i) { i.ShowSystemError(IDS_PATH_FAILED, NO_TEXT_CODE); },
         Resource(IDS_PATH_FAILED) + ":\n", MB_OK | MB_ICONEXCLAMATION},
        {"text system error", [](DriverInstaller& i) { i.ShowTextSystemError("own", NO_TEXT_CODE); }, "own:\n",
         MB_OK | MB_ICONEXCLAMATION},
    };
    for (const Case& c : cases) {
        const ShownBox box = Box(c.tell);
        EXPECT_EQ(c.text, box.text) << c.what;
        EXPECT_EQ(c.type, box.type) << c.what;
        EXPECT_EQ("installer_tests", box.caption) << c.what;
        EXPECT_EQ(nullptr, box.owner) << c.what;
    }
}

TEST_F(Composition, BoxIsOwnedByTheMainWindowWhenThereIsOne) {
    const HWND window = ::CreateWindowA("STATIC", "main", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                        ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    CWnd main;
    main.m_hWnd = window;
    CWinApp& app = test::TestApp();
    app.m_pMainWnd = &main;
    const ShownBox box = Box([](DriverInstaller& i) { i.ShowMessage(IDS_INSTALLED, true); });
    app.m_pMainWnd = nullptr;
    ::DestroyWindow(window);
    EXPECT_EQ(window, box.owner);
}

// The string table as the program carries it.
TEST(StringTable, EveryTextIsExactlyAsWritten) {
    test::TestApp();
    const struct {
        UINT id;
        const char* text;
    } strings[] = {
        {101, "&About Kestrelgard..."},
        {102, "This program installs Kestrelgard on your computer."},
        {103, "This program upgrades the installed Kestrelgard to this version."},
        {104, "This will install Kestrelgard."},
        {105, "An error occurred while building the path"},
        {106, "An error occurred while copying the file %s"},
        {107, "An error occurred while installing the driver"},
        {108, "This will uninstall Kestrelgard."},
        {110, "Kestrelgard has been successfully installed."},
        {111, "Kestrelgard Installation Tool\nCopyright (C) 2026 The Kestrelgard Developers. All rights reserved.\n"
              "Usage: Kgsetup /i   Installs Kestrelgard\n\n"},
        {112, "Kestrelgard has been successfully removed from your system.\n"
              "Please reboot to complete uninstallation."},
        {113, "An error occurred while removing the driver"},
        {114, "An error occurred while writing the settings to the registry:"},
        {115, "An error occurred while querying the status of the driver:"},
        {116, "The new version of Kestrelgard has been successfully copied to your system.\n"
              "Please reboot for the upgrade to take effect."},
        {117, "Could not create output directory %s"},
        {118, "Error while extracting files"},
    };
    for (const auto& s : strings) {
        EXPECT_EQ(s.text, Resource(s.id)) << s.id;
    }
    char buffer[16] = "unchanged";
    EXPECT_EQ(0, ::LoadStringA(AfxGetResourceHandle(), 109, buffer, sizeof buffer));
}

}  // namespace
}  // namespace kg
