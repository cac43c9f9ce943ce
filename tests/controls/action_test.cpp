// The hyperlink action: what the shell is asked or a window told, what the
// caller gets back, and what the user hears and reads when a run fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/hyperlink_action.h"
#include "tests/support/api_override.h"

namespace kg {
namespace {

using A = HyperlinkAction;
using Calls = std::vector<std::string>;

// What the action did, one text a call, in order; what the shell or the window answers.
Calls seen;
UINT_PTR answer = 0;
const UINT NOTIFY = ::RegisterWindowMessageA("Kgsetup.ActionTest.Notify");
const HyperlinkAction* running = nullptr;
const std::string STOP = "stop box: ";

HINSTANCE WINAPI Shell(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
    seen.push_back(std::string(owner != nullptr ? "owned " : "") + verb + " '" + file + "' '" + parameters + "' '" + directory + "' " + std::to_string(show));
    return reinterpret_cast<HINSTANCE>(answer);
}
BOOL WINAPI Beep(UINT type) { seen.push_back("beep " + std::to_string(type)); return TRUE; }
int WINAPI Box(HWND, LPCSTR text, LPCSTR, UINT type) { seen.push_back((type == (MB_OK | MB_ICONSTOP) ? STOP : "other box: ") + text); return IDOK; }
LRESULT CALLBACK Receiver(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != NOTIFY) return ::DefWindowProcA(window, message, wParam, lParam);
    seen.push_back("told " + std::to_string(wParam) + (lParam == reinterpret_cast<LPARAM>(running) ? ", the record" : ", not the record"));
    return static_cast<LRESULT>(answer);
}

class Action : public ::testing::Test {
protected:
    const test::ApiOverride<decltype(sys.ShellExecuteA)> shell_{sys.ShellExecuteA, Shell};
    const test::ApiOverride<decltype(sys.MessageBeep)> beep_{sys.MessageBeep, Beep};
    const test::ApiOverride<decltype(sys.MessageBoxA)> box_{sys.MessageBoxA, Box};
};

TEST_F(Action, Runs) {
    // Top-level: a broadcast reaches only those.
    const HWND window = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Receiver));
    // type, file, parameters, directory, show, window: the record; answer: the shell's or the window's; report:
    // Run's argument; then what Run returns, the outcome it leaves, and what it did: shell or window, beep, box
    const struct { const char* what; int type; const char *file, *parameters, *directory; int show; HWND window; UINT_PTR answer; BOOL report, result; int outcome; Calls calls; } rows[] = {
        {"defaults, accepted", A::ACTION_OPEN, "", "", "", 1, nullptr, 33, TRUE, TRUE, -1, {"open '' '' '' 1"}},
        {"printed", A::ACTION_PRINT, "C:\\a.txt", "/q", "C:\\", 0, nullptr, 0x1234, TRUE, TRUE, -1, {"print 'C:\\a.txt' '/q' 'C:\\' 0"}},
        {"explored, out of memory", A::ACTION_EXPLORE, "C:\\w", "", "", 3, nullptr, 0, TRUE, FALSE, 0, {"explore 'C:\\w' '' '' 3", "beep 0", STOP + "The operating system is out\nof memory or resources."}},
        {"file not found", A::ACTION_OPEN, "x", "", "", 1, nullptr, 2, TRUE, FALSE, 2, {"open 'x' '' '' 1", "beep 0", STOP + "The specified file was not found."}},
        {"no association", A::ACTION_OPEN, "x", "", "", 1, nullptr, 31, TRUE, FALSE, 31, {"open 'x' '' '' 1", "beep 0", STOP + "There is no application associated\nwith the given filename extension."}},
        {"no library", A::ACTION_OPEN, "x", "", "", 1, nullptr, 32, TRUE, FALSE, 32, {"open 'x' '' '' 1", "beep 0", STOP + "The specified dynamic-link library was not found."}},
        {"an unknown refusal", A::ACTION_OPEN, "x", "", "", 1, nullptr, 4, TRUE, FALSE, 4, {"open 'x' '' '' 1", "beep 0", STOP + "Unknown error!"}},
        {"refused, not told", A::ACTION_OPEN, "x", "", "", 1, nullptr, 2, FALSE, FALSE, 2, {"open 'x' '' '' 1"}},
        {"e-mail", A::ACTION_EMAIL, "a@example.com", "", "", 1, nullptr, 40, TRUE, TRUE, -1, {"open 'mailto:a@example.com' '' '' 1"}},
        {"none", A::ACTION_NONE, "x", "", "", 1, nullptr, 0, TRUE, TRUE, -1, {}},
        {"type 6", 6, "x", "", "", 1, nullptr, 0, TRUE, FALSE, -2, {"beep 0", STOP + "Failed to execute unknown action!"}},
        {"type -1, not told", -1, "x", "", "", 1, nullptr, 0, FALSE, FALSE, -2, {}},
        {"user defined, handled", A::ACTION_USERDEFINED, "", "", "", 1, window, 1, TRUE, TRUE, -1, {"told 0, the record"}},
        {"user defined, not handled", A::ACTION_USERDEFINED, "", "", "", 1, window, 0, TRUE, FALSE, -3, {"told 0, the record", "beep 0", STOP + "User defined action failed!"}},
        {"user defined, posted to every window", A::ACTION_USERDEFINED, "", "", "", 1, HWND_BROADCAST, 0, TRUE, TRUE, -1, {"told 0, the record"}},
    };
    HyperlinkAction action;  // one record for every row: nothing of one run may leak into the next
    running = &action;
    action.notifyMessage = NOTIFY;
    for (const auto& row : rows) {
        seen.clear();
        answer = row.answer;
        action.actionType = row.type;
        action.file = row.file;
        action.parameters = row.parameters;
        action.workingDirectory = row.directory;
        action.showCommand = row.show;
        action.notifyWindow = row.window;
        EXPECT_EQ(row.result, action.Run(row.report)) << row.what;
        MSG msg;
        while (::PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
        EXPECT_EQ(row.calls, seen) << row.what;
        EXPECT_EQ(row.outcome, action.outcome) << row.what;
        // The shell's result is kept only when the shell accepted the request.
        EXPECT_EQ(row.result && row.answer > 32 ? reinterpret_cast<HINSTANCE>(row.answer) : nullptr, action.shellResult) << row.what;
        EXPECT_EQ(row.file, action.file) << row.what << ": the run left the file changed";
    }
    ::DestroyWindow(window);
}

// A failed notification whose type the owner changed afterwards is told by
// the type's name, or as an unknown action rather than read from beyond the names.
TEST_F(Action, AFailedNotificationIsToldByTheTypesName) {
    const struct { int type; std::string box; } rows[] = {{A::ACTION_NONE, "None action failed!"}, {6, "Failed to execute unknown action!"}, {-1, "Failed to execute unknown action!"}};
    for (const auto& row : rows) {
        seen.clear();
        HyperlinkAction action;
        action.actionType = row.type;
        action.outcome = A::OUTCOME_NOTIFY_FAILED;
        action.ReportError();
        EXPECT_EQ((Calls{"beep 0", STOP + row.box}), seen) << "type " << row.type;
    }
}

}  // namespace
}  // namespace kg
