// The modal dialog: what ends a run and what it returns, who is offered a key
// first, the data exchange, the owner during and after the run, where it opens.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "framework/dialog.h"
#include "framework/static.h"
#include "framework/winapp.h"
#include "tests/support/message_boxes.h"
#include "tests/window/window_test.h"

namespace kg {
namespace {

using test::TopWindow;

CWinApp app("window_tests");  // the program's one application object

// A key offered to `who` before dispatch goes into `log`; `keep`: whether `who` keeps it.
BOOL Offer(const MSG* msg, std::string& log, const char* who, BOOL keep) {
    if (msg->message != WM_KEYDOWN) return FALSE;
    log += who;
    return keep;
}

class Label : public CStatic {
public:
    std::string* log = nullptr;
    BOOL eatKeys = FALSE;
    BOOL PreTranslateMessage(MSG* msg) override { return Offer(msg, *log, "label ", eatKeys); }
};

// The test template's dialog: `onInit` runs as it opens (before the data
// exchange binds the label), `onDestroy` as it goes; WM_APP ends it with wParam.
class TestDialog : public CDialog {
public:
    explicit TestDialog(UINT templateId = IDD_TEST, CWnd* parent = nullptr) : CDialog(templateId, parent) { label.log = &log; }
    std::function<void(TestDialog&)> onInit = [](TestDialog&) {}, onDestroy = [](TestDialog&) {};
    Label label;
    std::string log;
    BOOL eatKeys = FALSE;

protected:
    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, IDC_LABEL, label); }
    BOOL OnInitDialog() override { onInit(*this); return CDialog::OnInitDialog(); }
    BOOL PreTranslateMessage(MSG* msg) override { return Offer(msg, log, "dialog ", eatKeys); }
    void OnDestroy() { onDestroy(*this); CDialog::OnDestroy(); }
    LRESULT OnEnd(WPARAM result, LPARAM) { EndDialog(static_cast<int>(result)); return 0; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestDialog, CDialog)
    ON_WM_DESTROY()
    ON_MESSAGE(WM_APP, OnEnd)
END_MESSAGE_MAP()

// Ends the idle dialog with 5 by a message sent from another thread, as another program would: nothing is posted,
// yet the loop must wake up (a loop that slept on would end only with the 6 posted later).
DWORD WINAPI EndFromElsewhere(LPVOID dialog) {
    ::Sleep(300);
    ::SendMessageA(static_cast<HWND>(dialog), WM_APP, 5, 0);
    ::Sleep(300);
    return ::PostMessageA(static_cast<HWND>(dialog), WM_APP, 6, 0);
}

TEST(ModalLoop, WhatEndsTheRunAndWhoIsOfferedAKeyFirst) {
    using Run = std::function<void(TestDialog&)>;
    constexpr int LATER = 42;
    // Escape on the label, then WM_APP ending the run with LATER unless the Escape cancelled it.
    const Run escape = [](TestDialog& d) { ::PostMessageA(::GetDlgItem(d, IDC_LABEL), WM_KEYDOWN, VK_ESCAPE, 0); d.PostMessage(WM_APP, LATER); };
    // run: what happens as the dialog opens; then what DoModal returns, to whom the key was offered, the box told
    const struct { const char* what; UINT templateId; Run run; INT_PTR result; const char *offered, *told; } rows[] = {
        {"OK", IDD_TEST, [](TestDialog& d) { d.PostMessage(WM_COMMAND, IDOK); }, IDOK, "", ""},
        {"close box", IDD_TEST, [](TestDialog& d) { d.PostMessage(WM_CLOSE); }, IDCANCEL, "", ""},
        {"Escape, kept by nobody", IDD_TEST, escape, IDCANCEL, "label dialog ", ""},
        {"Escape, kept by the control", IDD_TEST, [&](TestDialog& d) { d.label.eatKeys = TRUE; escape(d); }, LATER, "label ", ""},
        {"Escape, kept by the dialog", IDD_TEST, [&](TestDialog& d) { d.eatKeys = TRUE; escape(d); }, LATER, "label dialog ", ""},
        {"ended at once", IDD_TEST, [](TestDialog& d) { d.EndDialog(7); }, 7, "", ""},
        {"ended from another thread", IDD_TEST, [](TestDialog& d) { ::CloseHandle(::CreateThread(nullptr, 0, EndFromElsewhere, d.m_hWnd, 0, nullptr)); }, 5, "", ""},
        {"exchanged again", IDD_TEST, [](TestDialog& d) { d.EndDialog(IDOK); d.UpdateData(FALSE); d.UpdateData(TRUE); }, IDOK, "", ""},
        {"no such control", IDD_TEST, [](TestDialog& d) { ::DestroyWindow(::GetDlgItem(d, IDC_LABEL)); d.PostMessage(WM_APP, LATER); }, LATER, "", "A required resource was unavailable."},
        {"no such template", 999, nullptr, -1, "", "The window could not be opened."},
        {"quit (last: it stays posted)", IDD_TEST, [](TestDialog&) { ::PostQuitMessage(3); }, -1, "", ""},
    };
    for (const auto& row : rows) {
        const test::MessageBoxRecorder boxes;
        TestDialog dialog(row.templateId);
        dialog.onInit = row.run;
        EXPECT_EQ(row.result, dialog.DoModal()) << row.what;
        EXPECT_EQ(row.offered, dialog.log) << row.what;
        EXPECT_EQ(row.told, boxes.Boxes().empty() ? "" : boxes.Boxes().back().text) << row.what;
        EXPECT_EQ(nullptr, dialog.m_hWnd) << row.what << ": the window outlived DoModal";
    }
    MSG quit;
    EXPECT_TRUE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "WM_QUIT was not posted again";
}

// Where the dialog is: centred over the owner, centred on the work area, or at its top left corner.
std::string Where(const RECT& r) {
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    auto centredOn = [&](int x, int y) { return std::abs((r.left + r.right) / 2 - x) <= 1 && std::abs((r.top + r.bottom) / 2 - y) <= 1; };
    return centredOn(400, 250) ? "over the owner" : centredOn((work.left + work.right) / 2, (work.top + work.bottom) / 2) ? "on the work area" : "at " + std::to_string(r.left) + "," + std::to_string(r.top);
}

TEST(ModalLoop, TheOwnerIsDisabledForTheRunAndTheDialogOpensCentredOverIt) {
    enum Owner { MAIN_WINDOW, PARENT, CHILD, DIALOG_IS_MAIN, DISABLED, MINIMISED };
    // placed: OnInitDialog moves the dialog to 5,6; seen: whether the top window owns the dialog, its state during the
    // run and as the dialog goes; where: the dialog's place (the owner is centred at 400,250)
    const struct { const char* what; Owner owner; bool placed; const char *seen, *where; } rows[] = {
        {"no parent: the main window", MAIN_WINDOW, false, "owned disabled enabled", "over the owner"},
        {"the parent given", PARENT, false, "owned disabled enabled", "over the owner"},
        {"a child given: its top-level window", CHILD, false, "owned disabled enabled", "over the owner"},
        {"the dialog is the main window", DIALOG_IS_MAIN, false, "unowned enabled enabled", "on the work area"},
        {"an owner disabled before", DISABLED, false, "owned disabled disabled", "over the owner"},
        {"a minimised owner", MINIMISED, false, "owned disabled enabled", "on the work area"},
        {"placed by OnInitDialog", PARENT, true, "owned disabled enabled", "at 5,6"},
    };
    for (const auto& row : rows) {
        TopWindow top;
        CStatic child;
        ASSERT_TRUE(child.Create("", WS_VISIBLE, {0, 0, 9, 9}, &top)) << row.what;
        CWnd* const parent[] = {nullptr, &top, &child, nullptr, nullptr, nullptr};
        TestDialog dialog(IDD_TEST, parent[row.owner]);
        CWnd* const mainWnd[] = {&top, nullptr, nullptr, &dialog, &top, &top};
        app.m_pMainWnd = mainWnd[row.owner];
        top.EnableWindow(row.owner != DISABLED);
        top.ShowWindow(row.owner == MINIMISED ? SW_MINIMIZE : SW_SHOWNA);
        std::string seen;
        dialog.onInit = [&](TestDialog& d) {
            seen += std::string(::GetWindow(d, GW_OWNER) == top.m_hWnd ? "owned " : "unowned ") + (top.IsWindowEnabled() ? "enabled " : "disabled ");
            if (row.placed) d.SetWindowPos(nullptr, 5, 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            d.PostMessage(WM_COMMAND, IDCANCEL);
        };
        RECT placed{};
        dialog.onDestroy = [&](TestDialog& d) { seen += top.IsWindowEnabled() ? "enabled" : "disabled"; d.GetWindowRect(&placed); };
        EXPECT_EQ(IDCANCEL, dialog.DoModal()) << row.what;
        EXPECT_EQ(row.seen, seen) << row.what;
        EXPECT_EQ(row.where, Where(placed)) << row.what;
    }
}

}  // namespace
}  // namespace kg
