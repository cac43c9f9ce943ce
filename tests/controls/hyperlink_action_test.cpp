// The hyperlink action: what the shell is asked to do, what a window is told,
// what the caller gets back, and what the user sees and hears when it fails.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "controls/hyperlink_action.h"
#include "tests/installer/test_app.h"
#include "tests/support/message_boxes.h"

namespace kg {
namespace {

using test::ApiOverride;
using test::MessageBoxRecorder;
using test::MessageBoxWatcher;

struct ShellCall {
    HWND owner;
    std::string verb, file, parameters, directory;
    int show;
};

// The shell as the tests see it: every request recorded, answered with `answer`.
std::vector<ShellCall> shellCalls;
UINT_PTR shellAnswer = 42;
HINSTANCE WINAPI RecordShell(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
    // The action never passes null texts: an empty text is an empty string.
    if (verb == nullptr || file == nullptr || parameters == nullptr || directory == nullptr) {
        ADD_FAILURE() << "the shell was given a null text";
        return nullptr;
    }
    shellCalls.push_back({owner, verb, file, parameters, directory, show});
    return reinterpret_cast<HINSTANCE>(shellAnswer);
}

// Beeps, each with the number of boxes shown before it.
struct Beep {
    UINT type;
    std::size_t boxesBefore;
};
std::vector<Beep> beeps;
const MessageBoxRecorder* boxesSoFar = nullptr;
BOOL WINAPI RecordBeep(UINT type) {
    beeps.push_back({type, boxesSoFar != nullptr ? boxesSoFar->Boxes().size() : 0});
    return TRUE;
}

class ActionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::TestApp(); }
    void SetUp() override {
        shellAnswer = 42;
        Forget();
    }
    void TearDown() override { boxesSoFar = nullptr; }

    // Starts a new case: no requests, beeps or boxes yet.
    void Forget() {
        shellCalls.clear();
        beeps.clear();
        boxes_.reset();
        boxesSoFar = &boxes_.emplace();
    }

    // The one box a failed run showed, after its one beep; "" for none.
    std::string ReportedText(const char* what) {
        EXPECT_EQ(boxes_->Boxes().size(), beeps.size()) << what << ": not one beep per box";
        for (const Beep& beep : beeps) {
            EXPECT_EQ(static_cast<UINT>(MB_OK), beep.type) << what << ": not the default sound";
            EXPECT_EQ(0u, beep.boxesBefore) << what << ": the beep came after the box";
        }
        if (boxes_->Boxes().empty()) {
            return "";
        }
        EXPECT_EQ(1u, boxes_->Boxes().size()) << what << ": more than one box";
        const test::ShownBox& box = boxes_->Boxes().front();
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), box.type) << what << ": not a stop box with OK";
        return box.text;
    }

    const ApiOverride<decltype(sys.ShellExecuteA)> shell_{sys.ShellExecuteA, RecordShell};
    const ApiOverride<decltype(sys.MessageBeep)> beep_{sys.MessageBeep, RecordBeep};
    std::optional<MessageBoxRecorder> boxes_;
};

const char* const NO_ASSOCIATION = "There is no application associated\nwith the given filename extension.";

TEST_F(ActionTest, ShellRequestsAndTheirOutcomes) {
    using A = HyperlinkAction;
    struct Case {
        int type;
        const char* file;
        const char* parameters;
        const char* directory;
        int show;
        UINT_PTR answer;
        const char* verb;
        const char* seenFile;
        int outcome;
        const char* box;
    };
    const Case cases[] = {
        {A::ACTION_OPEN, "", "", "", SW_SHOWNORMAL, 33, "open", "", -1, ""},
        {A::ACTION_OPEN, "http://www.example.com/", "", "", SW_SHOWNORMAL, 42, "open", "http://www.example.com/", -1, ""},
        {A::ACTION_PRINT, "C:\\notes.txt", "/q", "C:\\", SW_HIDE, 0x1234, "print", "C:\\notes.txt", -1, ""},
        {A::ACTION_EXPLORE, "C:\\windows", "", "", SW_SHOWMAXIMIZED, 0, "explore", "C:\\windows", 0,
         "The operating system is out\nof memory or resources."},
        {A::ACTION_OPEN, "C:\\missing.txt", "", "", SW_SHOWNORMAL, 2, "open", "C:\\missing.txt", 2,
         "The specified file was not found."},
        {A::ACTION_OPEN, "x.unknown", "", "", SW_SHOWNORMAL, 31, "open", "x.unknown", 31, NO_ASSOCIATION},
        {A::ACTION_OPEN, "x.dll", "", "", SW_SHOWNORMAL, 32, "open", "x.dll", 32,
         "The specified dynamic-link library was not found."},
        {A::ACTION_OPEN, "x", "", "", SW_SHOWNORMAL, 1, "open", "x", 1, "Unknown error!"},
        {A::ACTION_OPEN, "x", "", "", SW_SHOWNORMAL, 4, "open", "x", 4, "Unknown error!"},
        {A::ACTION_EMAIL, "someone@example.com", "", "", SW_SHOWNORMAL, 33, "open", "mailto:someone@example.com", -1, ""},
        {A::ACTION_EMAIL, "someone@example.com", "", "", SW_SHOWNORMAL, 31, "open", "mailto:someone@example.com", 31,
         NO_ASSOCIATION},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.verb) + " " + c.seenFile + " answered " + std::to_string(c.answer);
        Forget();
        shellAnswer = c.answer;
        HyperlinkAction action;
        action.actionType = c.type;
        action.file = c.file;
        action.parameters = c.parameters;
        action.workingDirectory = c.directory;
        action.showCommand = c.show;
        const bool succeeded = c.outcome == -1;

        EXPECT_EQ(succeeded, action.Run(TRUE) != FALSE) << what;

        ASSERT_EQ(1u, shellCalls.size()) << what << ": not one shell request";
        const ShellCall& call = shellCalls.front();
        EXPECT_EQ(nullptr, call.owner) << what;
        EXPECT_EQ(c.verb, call.verb) << what;
        EXPECT_EQ(c.seenFile, call.file) << what;
        EXPECT_EQ(c.parameters, call.parameters) << what;
        EXPECT_EQ(c.directory, call.directory) << what;
        EXPECT_EQ(c.show, call.show) << what;
        EXPECT_EQ(c.outcome, action.outcome) << what;
        EXPECT_EQ(succeeded ? reinterpret_cast<HINSTANCE>(c.answer) : nullptr, action.shellResult) << what;
        EXPECT_EQ(c.file, action.file) << what << ": the address was left changed";
        EXPECT_EQ(c.type, action.actionType) << what;
        EXPECT_EQ(c.box, ReportedText(what.c_str())) << what;
    }
}

TEST_F(ActionTest, EveryShellRefusalHasItsOwnText) {
    struct Case {
        int outcome;
        const char* text;
    };
    const Case cases[] = {
        {0, "The operating system is out\nof memory or resources."},
        {2, "The specified file was not found."},
        {3, "The specified path was not found."},
        {5, "The operating system denied\naccess to the specified file."},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        {26, "A sharing violation occurred."},
        {27, "The filename association is\nincomplete or invalid."},
        {28, "The DDE transaction could not\nbe completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
        {31, NO_ASSOCIATION},
        {32, "The specified dynamic-link library was not found."},
        {-2, "Failed to execute unknown action!"},
        {6, "Unknown error!"},
        {25, "Unknown error!"},
        {33, "Unknown error!"},
        {-4, "Unknown error!"},
    };
    for (const Case& c : cases) {
        Forget();
        HyperlinkAction action;
        action.outcome = c.outcome;
        action.ReportError();
        EXPECT_EQ(c.text, ReportedText("a report")) << "outcome " << c.outcome;
    }
}

TEST_F(ActionTest, AFailedNotificationNamesTheActionType) {
    const char* const names[] = {"None", "User defined", "Open", "Print", "Explore", "E-mail"};
    for (int type = 0; type < 6; ++type) {
        Forget();
        HyperlinkAction action;
        action.actionType = type;
        action.outcome = HyperlinkAction::OUTCOME_NOTIFY_FAILED;
        action.ReportError();
        EXPECT_EQ(std::string(names[type]) + " action failed!", ReportedText("a report")) << "type " << type;
    }
    // A type without a name is told as an unknown action, not read from beyond the table.
    Forget();
    HyperlinkAction action;
    action.actionType = 6;
    action.outcome = HyperlinkAction::OUTCOME_NOTIFY_FAILED;
    action.ReportError();
    EXPECT_EQ("Failed to execute unknown action!", ReportedText("a report"));
}

TEST_F(ActionTest, NoneAndUnknownTypesNeedNoShell) {
    struct Case {
        int type;
        BOOL result;
        int outcome;
        const char* box;
    };
    const Case cases[] = {
        {HyperlinkAction::ACTION_NONE, TRUE, -1, ""},
        {6, FALSE, -2, "Failed to execute unknown action!"},
        {-1, FALSE, -2, "Failed to execute unknown action!"},
    };
    for (const Case& c : cases) {
        Forget();
        HyperlinkAction action;
        action.actionType = c.type;
        action.file = "C:\\notes.txt";
        action.outcome = 2;  // from an earlier run
        action.shellResult = reinterpret_cast<HINSTANCE>(42);
        EXPECT_EQ(c.result, action.Run(TRUE)) << "type " << c.type;
        EXPECT_TRUE(shellCalls.empty()) << "type " << c.type << ": the shell was asked";
        EXPECT_EQ(c.outcome, action.outcome) << "type " << c.type;
        EXPECT_EQ(nullptr, action.shellResult) << "type " << c.type;
        EXPECT_EQ(c.box, ReportedText("a run")) << "type " << c.type;
    }
}

TEST_F(ActionTest, WithoutReportingAFailureIsSilentButTold) {
    struct Case {
        int type;
        UINT_PTR answer;
        int outcome;
    };
    const Case cases[] = {{HyperlinkAction::ACTION_OPEN, 2, 2}, {HyperlinkAction::ACTION_EMAIL, 0, 0}, {7, 42, -2}};
    for (const Case& c : cases) {
        Forget();
        shellAnswer = c.answer;
        HyperlinkAction action;
        action.actionType = c.type;
        EXPECT_FALSE(action.Run(FALSE)) << "type " << c.type;
        EXPECT_EQ(c.outcome, action.outcome) << "type " << c.type;
        EXPECT_TRUE(boxes_->Boxes().empty()) << "type " << c.type << ": a box was shown";
        EXPECT_TRUE(beeps.empty()) << "type " << c.type << ": it beeped";
    }
}

TEST_F(ActionTest, EachRunStartsWithoutTheLastResult) {
    HyperlinkAction action;
    shellAnswer = 77;
    ASSERT_TRUE(action.Run(FALSE));
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(77), action.shellResult);
    shellAnswer = 3;
    ASSERT_FALSE(action.Run(FALSE));
    EXPECT_EQ(nullptr, action.shellResult) << "a refused request kept the earlier result";
    EXPECT_EQ(3, action.outcome);
    shellAnswer = 78;
    ASSERT_TRUE(action.Run(FALSE));
    EXPECT_EQ(-1, action.outcome) << "a successful run kept the earlier failure";
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(78), action.shellResult);
}

// A derived record may tell failures its own way.
class QuietAction : public HyperlinkAction {
public:
    void ReportError() override { reported.push_back(outcome); }
    std::vector<int> reported;
};

TEST_F(ActionTest, ReportsGoThroughTheDerivedRecord) {
    QuietAction action;
    shellAnswer = 5;
    EXPECT_FALSE(action.Run(TRUE));
    EXPECT_FALSE(action.Run(FALSE));
    shellAnswer = 33;
    EXPECT_TRUE(action.Run(TRUE));
    EXPECT_EQ(std::vector<int>{5}, action.reported);
    EXPECT_TRUE(boxes_->Boxes().empty());
}

// A window of the tests' own that answers a registered message with `answer`
// and keeps what it was sent.
class Receiver {
public:
    explicit Receiver(LRESULT answer) : answer_(answer) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "KgActionReceiver";
        ::RegisterClassA(&windowClass);
        window_ = ::CreateWindowExA(0, "KgActionReceiver", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                    windowClass.hInstance, nullptr);
        ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Receiver() { ::DestroyWindow(window_); }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    HWND Window() const { return window_; }
    // Dispatches what was posted to the window.
    void Pump() {
        MSG msg;
        while (::PeekMessageA(&msg, window_, 0, 0, PM_REMOVE)) {
            ::DispatchMessageA(&msg);
        }
    }

    static const UINT message;
    std::vector<std::pair<WPARAM, LPARAM>> received;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Receiver*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self != nullptr && msg == message) {
            self->received.emplace_back(wParam, lParam);
            return self->answer_;
        }
        return ::DefWindowProcA(window, msg, wParam, lParam);
    }
    LRESULT answer_;
    HWND window_;
};
const UINT Receiver::message = ::RegisterWindowMessageA("Kgsetup.ActionTest.Notify");

BOOL WINAPI RefusePost(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST_F(ActionTest, UserDefinedActionsTellAWindow) {
    struct Case {
        const char* what;
        LRESULT answer;
        bool broadcast;
        bool refusePost;
        BOOL result;
        const char* box;
    };
    const Case cases[] = {
        {"sent, handled", 1, false, false, TRUE, ""},
        {"sent, not handled", 0, false, false, FALSE, "User defined action failed!"},
        {"posted to every window", 0, true, false, TRUE, ""},
        {"post refused", 1, true, true, FALSE, "User defined action failed!"},
    };
    for (const Case& c : cases) {
        Forget();
        Receiver receiver(c.answer);
        ApiOverride<decltype(sys.PostMessageA)> post(sys.PostMessageA,
                                                     c.refusePost ? RefusePost : test::Real(&SystemApi::PostMessageA));
        HyperlinkAction action;
        action.actionType = HyperlinkAction::ACTION_USERDEFINED;
        action.notifyMessage = Receiver::message;
        action.notifyWindow = c.broadcast ? HWND_BROADCAST : receiver.Window();
        action.file = "unused";

        EXPECT_EQ(c.result, action.Run(TRUE)) << c.what;
        receiver.Pump();

        const bool delivered = !c.refusePost;
        ASSERT_EQ(delivered ? 1u : 0u, receiver.received.size()) << c.what << ": the window was not told once";
        if (delivered) {
            EXPECT_EQ(0u, receiver.received.front().first) << c.what;
            EXPECT_EQ(reinterpret_cast<LPARAM>(&action), receiver.received.front().second) << c.what;
        }
        EXPECT_EQ(c.result ? -1 : -3, action.outcome) << c.what;
        EXPECT_TRUE(shellCalls.empty()) << c.what;
        EXPECT_EQ("unused", action.file) << c.what;
        EXPECT_EQ(c.box, ReportedText(c.what)) << c.what;
    }
}

TEST_F(ActionTest, CopiesCarryEveryFieldAndResetRestoresTheDefaults) {
    HyperlinkAction original;
    original.actionType = HyperlinkAction::ACTION_USERDEFINED;
    original.file = "file";
    original.parameters = "parameters";
    original.workingDirectory = "directory";
    original.showCommand = SW_HIDE;
    original.notifyMessage = 0x8001;
    original.notifyWindow = HWND_BROADCAST;
    original.outcome = 31;
    original.shellResult = reinterpret_cast<HINSTANCE>(99);
    auto same = [](const HyperlinkAction& a, const HyperlinkAction& b) {
        return a.actionType == b.actionType && a.file == b.file && a.parameters == b.parameters &&
               a.workingDirectory == b.workingDirectory && a.showCommand == b.showCommand &&
               a.notifyMessage == b.notifyMessage && a.notifyWindow == b.notifyWindow && a.outcome == b.outcome &&
               a.shellResult == b.shellResult;
    };
    const HyperlinkAction copied(original);
    EXPECT_TRUE(same(original, copied)) << "a copy lost a field";
    HyperlinkAction assigned;
    assigned = original;
    EXPECT_TRUE(same(original, assigned)) << "an assignment lost a field";
    HyperlinkAction& self = assigned;
    assigned = self;
    EXPECT_TRUE(same(original, assigned)) << "assigning a record to itself changed it";

    assigned.Reset();
    const HyperlinkAction fresh;
    EXPECT_TRUE(same(fresh, assigned)) << "Reset left a field as it was";
    EXPECT_EQ(HyperlinkAction::ACTION_OPEN, fresh.actionType);
    EXPECT_EQ("", fresh.GetFile());
    EXPECT_EQ(SW_SHOWNORMAL, fresh.showCommand);
    EXPECT_EQ(0u, fresh.notifyMessage);
    EXPECT_EQ(nullptr, fresh.notifyWindow);
    EXPECT_EQ(-1, fresh.outcome);
    EXPECT_EQ(nullptr, fresh.shellResult);
}

// The box on the screen: the program's name, the text, one OK button and the stop icon.
TEST_F(ActionTest, TheErrorBoxOnTheScreen) {
    const ApiOverride<decltype(sys.MessageBoxA)> realBoxes(sys.MessageBoxA, test::Real(&SystemApi::MessageBoxA));
    shellAnswer = SE_ERR_NOASSOC;
    HyperlinkAction action;
    action.file = "http://www.example.com/";
    MessageBoxWatcher watcher;
    EXPECT_FALSE(action.Run(TRUE));
    const std::vector<test::ScreenBox> shown = watcher.Boxes();
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ("controls_tests", shown.front().caption);
    EXPECT_EQ(NO_ASSOCIATION, shown.front().text);
    EXPECT_TRUE(shown.front().hasOkButton);
    EXPECT_EQ(1, shown.front().buttonCount);
    EXPECT_EQ(test::StandardIcon(MB_ICONSTOP), shown.front().icon);
    EXPECT_EQ(1u, beeps.size());
}

}  // namespace
}  // namespace kg
