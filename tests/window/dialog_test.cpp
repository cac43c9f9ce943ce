// The modal dialog: the order in which a message taken from the queue is
// offered, the owner's state during and after the run, how a run ends, and
// the data exchange.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "framework/dialog.h"
#include "framework/static.h"
#include "tests/support/message_boxes.h"
#include "tests/window/window_test.h"

namespace kg {
namespace {

using test::TopWindow;

// Counts its subclassings and logs the keys it is offered before dispatch;
// `eatKeys` makes it keep them.
class LoggingStatic : public CStatic {
public:
    std::string* log = nullptr;
    BOOL eatKeys = FALSE;
    int subclassed = 0;

    void PreSubclassWindow() override { ++subclassed; }
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN) {
            *log += "label ";
        }
        return msg->message == WM_KEYDOWN && eatKeys ? TRUE : CStatic::PreTranslateMessage(msg);
    }
};

class TestDialog : public CDialog {
public:
    explicit TestDialog(CWnd* parent = nullptr, UINT templateId = IDD_TEST) : CDialog(templateId, parent) {
        label.log = &log;
    }

    std::function<void(TestDialog&)> beforeInit;  // before the data exchange
    std::function<void(TestDialog&)> onInit;      // after it
    std::function<void(TestDialog&)> onDestroy;
    LoggingStatic label;
    int labelId = IDC_LABEL;
    std::string log;
    BOOL eatKeys = FALSE;

protected:
    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, labelId, label); }
    BOOL OnInitDialog() override {
        if (beforeInit) {
            beforeInit(*this);
        }
        CDialog::OnInitDialog();
        if (onInit) {
            onInit(*this);
        }
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN) {
            log += "dialog ";
        }
        return msg->message == WM_KEYDOWN && eatKeys ? TRUE : CDialog::PreTranslateMessage(msg);
    }
    void OnDestroy() {
        if (onDestroy) {
            onDestroy(*this);
        }
        CDialog::OnDestroy();
    }
    LRESULT OnEnd(WPARAM result, LPARAM) {
        EndDialog(static_cast<int>(result));
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestDialog, CDialog)
    ON_WM_DESTROY()
    ON_MESSAGE(WM_APP, OnEnd)
END_MESSAGE_MAP()

constexpr int LATER = 42;

TEST(ModalLoop, KeysGoToPreTranslateFromTheControlUpBeforeTheDialogManager) {
    const struct {
        const char* what;
        BOOL labelEats;
        BOOL dialogEats;
        const char* offered;
        INT_PTR result;  // Escape reaching IsDialogMessage cancels
    } rows[] = {
        {"nobody keeps it", FALSE, FALSE, "label dialog ", IDCANCEL},
        {"the control keeps it", TRUE, FALSE, "label ", LATER},
        {"the dialog keeps it", FALSE, TRUE, "label dialog ", LATER},
    };
    for (const auto& row : rows) {
        TestDialog dialog;
        dialog.label.eatKeys = row.labelEats;
        dialog.eatKeys = row.dialogEats;
        dialog.onInit = [](TestDialog& d) {
            ::PostMessageA(d.label, WM_KEYDOWN, VK_ESCAPE, 0);
            ::PostMessageA(d, WM_APP, LATER, 0);
        };
        EXPECT_EQ(row.result, dialog.DoModal()) << row.what;
        EXPECT_EQ(row.offered, dialog.log) << row.what;
    }
}

TEST(ModalLoop, TheOwnerIsDisabledForTheRunAndEnabledBeforeTheDialogGoes) {
    enum Owner { MAIN_WINDOW, PARENT, DIALOG_IS_MAIN, DISABLED_MAIN };
    const struct {
        const char* what;
        Owner owner;
        const char* seen;  // owner and its state during the run, its state as the dialog goes
        bool enabledAfter;
    } rows[] = {
        {"no parent: the main window", MAIN_WINDOW, "owned disabled enabled", true},
        {"the parent given", PARENT, "owned disabled enabled", true},
        {"the dialog is the main window", DIALOG_IS_MAIN, "unowned enabled enabled", true},
        {"an owner disabled before", DISABLED_MAIN, "owned disabled disabled", false},
    };
    for (const auto& row : rows) {
        TopWindow top;
        TestDialog dialog(row.owner == PARENT ? &top : nullptr);
        CWnd* const mainWnd[] = {&top, nullptr, &dialog, &top};
        test::App().m_pMainWnd = mainWnd[row.owner];
        top.EnableWindow(row.owner != DISABLED_MAIN);
        std::string seen;
        dialog.onInit = [&](TestDialog& d) {
            seen += ::GetWindow(d, GW_OWNER) == top.m_hWnd ? "owned " : "unowned ";
            seen += top.IsWindowEnabled() ? "enabled " : "disabled ";
            d.PostMessage(WM_COMMAND, IDCANCEL);
        };
        dialog.onDestroy = [&](TestDialog&) { seen += top.IsWindowEnabled() ? "enabled" : "disabled"; };
        EXPECT_EQ(IDCANCEL, dialog.DoModal()) << row.what;
        EXPECT_EQ(row.seen, seen) << row.what;
        EXPECT_EQ(row.enabledAfter, top.IsWindowEnabled() != FALSE) << row.what;
        EXPECT_NE(static_cast<CWnd*>(&dialog), test::App().m_pMainWnd) << row.what << ": main window left dangling";
        test::App().m_pMainWnd = nullptr;
    }
}

// Ends the idle dialog with 5 by a message sent from another thread, as
// another program would: nothing is posted, yet the loop must wake up. A loop
// that slept on would end only with the 6 posted later.
DWORD WINAPI EndFromElsewhere(LPVOID dialog) {
    ::Sleep(300);
    ::SendMessageA(static_cast<HWND>(dialog), WM_APP, 5, 0);
    ::Sleep(300);
    ::PostMessageA(static_cast<HWND>(dialog), WM_APP, 6, 0);
    return 0;
}

TEST(ModalLoop, EndsWithTheResultOfHowItWasEnded) {
    const struct {
        const char* what;
        std::function<void(TestDialog&)> end;
        INT_PTR result;
    } rows[] = {
        {"OK", [](TestDialog& d) { d.PostMessage(WM_COMMAND, IDOK); }, IDOK},
        {"Cancel", [](TestDialog& d) { d.PostMessage(WM_COMMAND, IDCANCEL); }, IDCANCEL},
        {"close box", [](TestDialog& d) { d.PostMessage(WM_CLOSE); }, IDCANCEL},
        {"Escape", [](TestDialog& d) { ::PostMessageA(d.label, WM_KEYDOWN, VK_ESCAPE, 0); }, IDCANCEL},
        {"ended at once", [](TestDialog& d) { d.EndDialog(7); }, 7},
        {"sent from another thread",
         [](TestDialog& d) { ::CloseHandle(::CreateThread(nullptr, 0, EndFromElsewhere, d.m_hWnd, 0, nullptr)); }, 5},
        {"quit (last: it stays posted)", [](TestDialog&) { ::PostQuitMessage(3); }, -1},
    };
    for (const auto& row : rows) {
        TestDialog dialog;
        dialog.onInit = row.end;
        EXPECT_EQ(row.result, dialog.DoModal()) << row.what;
        EXPECT_EQ(nullptr, dialog.m_hWnd) << row.what << ": the window outlived DoModal";
    }
    MSG quit;
    EXPECT_TRUE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "WM_QUIT is posted again";
}

TEST(ModalLoop, OpensCentredOverItsOwnerUnlessOnInitDialogPlacedIt) {
    const struct {
        const char* what;
        bool owned;
        bool placed;
    } rows[] = {
        {"over its owner", true, false},
        {"on the work area without one", false, false},
        {"where OnInitDialog put it", true, true},
    };
    for (const auto& row : rows) {
        TopWindow top;
        top.SetWindowPos(nullptr, 300, 200, 200, 100, SWP_NOZORDER);
        TestDialog dialog(row.owned ? &top : nullptr);
        dialog.onInit = [&](TestDialog& d) {
            if (row.placed) {
                d.SetWindowPos(nullptr, 5, 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            }
            d.PostMessage(WM_COMMAND, IDCANCEL);
        };
        RECT seen{};
        dialog.onDestroy = [&](TestDialog& d) { d.GetWindowRect(&seen); };
        dialog.DoModal();
        RECT over{};
        if (row.owned) {
            top.GetWindowRect(&over);
        } else {
            ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &over, 0);
        }
        const POINT centre = {(seen.left + seen.right) / 2, (seen.top + seen.bottom) / 2};
        const POINT wanted = {(over.left + over.right) / 2, (over.top + over.bottom) / 2};
        if (row.placed) {
            EXPECT_TRUE(seen.left == 5 && seen.top == 6) << row.what << ": moved to " << seen.left << "," << seen.top;
        } else {
            EXPECT_TRUE(std::abs(centre.x - wanted.x) <= 1 && std::abs(centre.y - wanted.y) <= 1)
                << row.what << ": centred at " << centre.x << "," << centre.y << ", not " << wanted.x << "," << wanted.y;
        }
    }
}

TEST(ModalLoop, FailuresToOpenAndToBindAreTold) {
    const test::MessageBoxRecorder boxes;
    TestDialog missing(nullptr, 999);
    EXPECT_EQ(-1, missing.DoModal());
    TestDialog unbound;
    unbound.labelId = 77;
    unbound.beforeInit = [](TestDialog& d) { d.PostMessage(WM_APP, LATER); };
    EXPECT_EQ(LATER, unbound.DoModal()) << "the dialog runs on after a failed exchange";
    ASSERT_EQ(2u, boxes.Boxes().size());
    EXPECT_EQ("The window could not be opened.", boxes.Boxes()[0].text);
    EXPECT_EQ("A required resource was unavailable.", boxes.Boxes()[1].text);
}

TEST(DataExchange, AControlIsSubclassedOnce) {
    TestDialog dialog;
    dialog.onInit = [](TestDialog& d) {
        d.UpdateData(FALSE);
        d.UpdateData(TRUE);
        d.EndDialog(IDOK);
    };
    dialog.DoModal();
    EXPECT_EQ(1, dialog.label.subclassed);
}

}  // namespace
}  // namespace kg
