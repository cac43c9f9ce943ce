// The hyperlink action: what the shell is asked, what a window is told, what
// the caller gets back, and what the user hears and reads when it fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/hyperlink_action.h"
#include "tests/support/api_override.h"

namespace kg {
namespace {

using test::ApiOverride;
using Seen = std::vector<std::string>;

// What the action did to the world, one text a call, in order.
Seen seen;
UINT_PTR shellAnswer = 0;
std::string Text(LPCSTR text) { return text != nullptr ? "'" + std::string(text) + "'" : "null"; }
HINSTANCE WINAPI Shell(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
    seen.push_back(std::string("shell ") + (owner != nullptr ? "owned " : "") + Text(verb) + " " + Text(file) + " " +
                   Text(parameters) + " " + Text(directory) + " " + std::to_string(show));
    return reinterpret_cast<HINSTANCE>(shellAnswer);
}
BOOL WINAPI Beep(UINT type) {
    seen.push_back("beep " + std::to_string(type));
    return TRUE;
}
int WINAPI Box(HWND, LPCSTR text, LPCSTR, UINT type) {
    seen.push_back("box " + std::to_string(type) + " " + text);
    return IDOK;
}
const std::string STOP_BOX = "box " + std::to_string(MB_OK | MB_ICONSTOP) + " ";

class ActionTest : public ::testing::Test {
protected:
    void SetUp() override { seen.clear(); }
    const ApiOverride<decltype(sys.ShellExecuteA)> shell_{sys.ShellExecuteA, Shell};
    const ApiOverride<decltype(sys.MessageBeep)> beep_{sys.MessageBeep, Beep};
    const ApiOverride<decltype(sys.MessageBoxA)> box_{sys.MessageBoxA, Box};
};

// One record runs every row, so each row also shows that the last run's
// outcome and result do not leak into the next.
TEST_F(ActionTest, Runs) {
    using A = HyperlinkAction;
    const struct {
        const char* what;
        int type;
        const char *file, *parameters, *directory;
        int show;
        UINT_PTR answer;
        BOOL report, result;
        int outcome;
        Seen seen;
    } rows[] = {
        {"defaults", A::ACTION_OPEN, "", "", "", 1, 33, TRUE, TRUE, -1, {"shell 'open' '' '' '' 1"}},
        {"out of memory", A::ACTION_EXPLORE, "C:\\w", "", "", 3, 0, TRUE, FALSE, 0, {"shell 'explore' 'C:\\w' '' '' 3", "beep 0", STOP_BOX + "The operating system is out\nof memory or resources."}},
        {"printed", A::ACTION_PRINT, "C:\\a.txt", "/q", "C:\\", 0, 0x1234, TRUE, TRUE, -1, {"shell 'print' 'C:\\a.txt' '/q' 'C:\\' 0"}},
        {"file not found", A::ACTION_OPEN, "x", "", "", 1, 2, TRUE, FALSE, 2, {"shell 'open' 'x' '' '' 1", "beep 0", STOP_BOX + "The specified file was not found."}},
        {"no association", A::ACTION_OPEN, "x", "", "", 1, 31, TRUE, FALSE, 31, {"shell 'open' 'x' '' '' 1", "beep 0", STOP_BOX + "There is no application associated\nwith the given filename extension."}},
        {"no library", A::ACTION_OPEN, "x", "", "", 1, 32, TRUE, FALSE, 32, {"shell 'open' 'x' '' '' 1", "beep 0", STOP_BOX + "The specified dynamic-link library was not found."}},
        {"refused with 1", A::ACTION_OPEN, "x", "", "", 1, 1, TRUE, FALSE, 1, {"shell 'open' 'x' '' '' 1", "beep 0", STOP_BOX + "Unknown error!"}},
        {"refused with 4", A::ACTION_OPEN, "x", "", "", 1, 4, TRUE, FALSE, 4, {"shell 'open' 'x' '' '' 1", "beep 0", STOP_BOX + "Unknown error!"}},
        {"refused, not told", A::ACTION_OPEN, "x", "", "", 1, 2, FALSE, FALSE, 2, {"shell 'open' 'x' '' '' 1"}},
        {"e-mail", A::ACTION_EMAIL, "a@example.com", "", "", 1, 40, TRUE, TRUE, -1, {"shell 'open' 'mailto:a@example.com' '' '' 1"}},
        {"e-mail refused", A::ACTION_EMAIL, "a@example.com", "", "", 1, 31, TRUE, FALSE, 31, {"shell 'open' 'mailto:a@example.com' '' '' 1", "beep 0", STOP_BOX + "There is no application associated\nwith the given filename extension."}},
        {"none", A::ACTION_NONE, "x", "", "", 1, 40, TRUE, TRUE, -1, {}},
        {"type 6", 6, "x", "", "", 1, 40, TRUE, FALSE, -2, {"beep 0", STOP_BOX + "Failed to execute unknown action!"}},
        {"type -1, not told", -1, "x", "", "", 1, 40, FALSE, FALSE, -2, {}},
    };
    HyperlinkAction action;
    for (const auto& row : rows) {
        seen.clear();
        shellAnswer = row.answer;
        action.actionType = row.type;
        action.file = row.file;
        action.parameters = row.parameters;
        action.workingDirectory = row.directory;
        action.showCommand = row.show;
        EXPECT_EQ(row.result, action.Run(row.report)) << row.what;
        EXPECT_EQ(row.seen, seen) << row.what;
        EXPECT_EQ(row.outcome, action.outcome) << row.what;
        EXPECT_EQ(row.result && !row.seen.empty() ? reinterpret_cast<HINSTANCE>(row.answer) : nullptr, action.shellResult)
            << row.what;
        EXPECT_EQ(row.file, action.file) << row.what << ": the run left the file changed";
        EXPECT_EQ(row.type, action.actionType) << row.what;
    }
}

// A window of the tests' own that answers a registered message with `answer`.
LRESULT answer = 0;
const UINT NOTIFY = ::RegisterWindowMessageA("Kgsetup.ActionTest.Notify");
const HyperlinkAction* running = nullptr;
LRESULT CALLBACK Receiver(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != NOTIFY) {
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    seen.push_back("told " + std::to_string(wParam) + (lParam == reinterpret_cast<LPARAM>(running) ? " the record" : " ?"));
    return answer;
}
BOOL WINAPI RefusePost(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST_F(ActionTest, UserDefinedTellsAWindow) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Receiver;
    windowClass.lpszClassName = "KgActionReceiver";
    ::RegisterClassA(&windowClass);
    // Top-level: a broadcast reaches only those.
    const HWND window = ::CreateWindowExA(0, "KgActionReceiver", "", WS_OVERLAPPED, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    const std::string failed = STOP_BOX + "User defined action failed!";
    const struct {
        const char* what;
        LRESULT answer;
        bool broadcast, refusePost;
        BOOL result;
        Seen seen;
    } rows[] = {
        {"sent, handled", 1, false, false, TRUE, {"told 0 the record"}},
        {"sent, not handled", 0, false, false, FALSE, {"told 0 the record", "beep 0", failed}},
        {"posted to every window", 0, true, false, TRUE, {"told 0 the record"}},
        {"post refused", 1, true, true, FALSE, {"beep 0", failed}},
    };
    for (const auto& row : rows) {
        seen.clear();
        answer = row.answer;
        const ApiOverride<decltype(sys.PostMessageA)> post(
            sys.PostMessageA, row.refusePost ? RefusePost : test::Real(&SystemApi::PostMessageA));
        HyperlinkAction action;
        running = &action;
        action.actionType = HyperlinkAction::ACTION_USERDEFINED;
        action.notifyMessage = NOTIFY;
        action.notifyWindow = row.broadcast ? HWND_BROADCAST : window;
        EXPECT_EQ(row.result, action.Run(TRUE)) << row.what;
        MSG msg;
        while (::PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
            ::DispatchMessageA(&msg);
        }
        EXPECT_EQ(row.seen, seen) << row.what;
        EXPECT_EQ(row.result ? -1 : -3, action.outcome) << row.what;
    }
    ::DestroyWindow(window);
}

// A failed notification whose type has no name (the owner changed it) is
// told as an unknown action rather than read from beyond the names.
TEST_F(ActionTest, AReportForATypeWithoutAName) {
    HyperlinkAction action;
    action.actionType = 9;
    action.outcome = HyperlinkAction::OUTCOME_NOTIFY_FAILED;
    action.ReportError();
    EXPECT_EQ((Seen{"beep 0", STOP_BOX + "Failed to execute unknown action!"}), seen);
}

// A derived record tells failures its own way: Run reports through it.
TEST_F(ActionTest, ReportsGoThroughTheDerivedRecord) {
    struct Quiet : HyperlinkAction {
        void ReportError() override { seen.push_back("reported " + std::to_string(outcome)); }
    } action;
    shellAnswer = 5;
    action.Run(TRUE);
    action.Run(FALSE);
    EXPECT_EQ((Seen{"shell 'open' '' '' '' 1", "reported 5", "shell 'open' '' '' '' 1"}), seen);
}

}  // namespace
}  // namespace kg
