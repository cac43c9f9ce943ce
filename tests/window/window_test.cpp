// The window layer by itself: the handle map with subclassing, reflection to the control, exceptions at the
// window procedure, the tooltip's tool records, and the modal dialog: what ends a run, who is
// offered a key first, the owner during the run and where the dialog opens.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "framework/dialog.h"
#include "framework/file.h"
#include "framework/gdi.h"
#include "framework/resource_exception.h"
#include "framework/static.h"
#include "framework/tooltip.h"
#include "framework/winapp.h"
#include "tests/support/message_boxes.h"
#include "tests/window/window_test.h"

namespace kg {
namespace {

CWinApp app("window_tests");  // the program's one application object
constexpr RECT CONTROL_RECT = {0, 0, 80, 20};
std::string calls;  // what the test's windows were asked, in order

// A visible top-level popup window centred at 400,250, destroyed with the object.
struct TopWindow : CWnd {
    TopWindow() { CreateEx(0, "STATIC", "top", WS_POPUP | WS_VISIBLE, 300, 200, 200, 100, nullptr, nullptr); }
};

std::string Text(const CWnd& window) {
    std::string text;
    window.GetWindowText(text);
    return text;
}

// A static that logs what reaches it: its subclassing and WM_SETTEXT (where `fail` runs); as a control, the
// reflected colour request (told the CTLCOLOR_* kind, answered with `answer`) and click; as a parent, the colour
// requests (answered gray) and clicks of its control 10 that reach it.
class Logged : public CStatic {
public:
    LONG_PTR procAtPreSubclass = 0;
    std::function<void()> fail = [] {};
    HBRUSH answer = nullptr;
    void PreSubclassWindow() override {
        calls += FromHandlePermanent(m_hWnd) == this ? "attached" : "detached";
        procAtPreSubclass = ::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC);
    }
    LRESULT OnSetText(WPARAM, LPARAM text) {
        calls += std::string(", text ") + reinterpret_cast<const char*>(text);
        fail();
        return Default();
    }
    HBRUSH CtlColor(CDC*, UINT kind) {
        calls += "control " + std::to_string(kind) + " ";
        return answer;
    }
    void OnClicked() { calls += "control "; }
    LRESULT OnChildColour(WPARAM, LPARAM) {
        calls += "parent ";
        return reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH));
    }
    void OnChildClicked() { calls += "parent "; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Logged, CStatic)
    ON_MESSAGE(WM_SETTEXT, OnSetText)
    ON_WM_CTLCOLOR_REFLECT()
    ON_CONTROL_REFLECT(STN_CLICKED, OnClicked)
    ON_MESSAGE(WM_CTLCOLORSTATIC, OnChildColour)
    ON_BN_CLICKED(10, OnChildClicked)
END_MESSAGE_MAP()

// A window's object: temporary for a window the program does not own; permanent once attached or subclassed
// (PreSubclassWindow runs attached, before the messages reach the map); out of the map once detached or destroyed.
TEST(HandleMap, TemporaryAttachedSubclassedAndDestroyedObjects) {
    TopWindow top;
    const HWND foreign = ::CreateWindowA("STATIC", "old", WS_CHILD, 0, 0, 9, 9, top, nullptr, nullptr, nullptr);
    const LONG_PTR classProc = ::GetWindowLongPtrA(foreign, GWLP_WNDPROC);
    CWnd* temporary = CWnd::FromHandle(foreign);
    EXPECT_EQ(foreign, temporary->m_hWnd) << "a window the program does not own has no temporary object";
    EXPECT_EQ(temporary, CWnd::FromHandle(foreign)) << "a second temporary object before idle";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(foreign)) << "a temporary object taken for a permanent one";
    Logged first;
    CWnd second;
    calls.clear();
    ASSERT_TRUE(first.SubclassWindow(foreign));
    EXPECT_EQ(classProc, first.procAtPreSubclass) << "PreSubclassWindow ran after the messages were taken";
    EXPECT_EQ(&first, CWnd::FromHandle(foreign)) << "the subclassing object is not found";
    EXPECT_FALSE(second.Attach(foreign)) << "a window got two permanent objects";
    EXPECT_FALSE(first.Attach(top)) << "an object got two windows";
    first.SetWindowText("new");
    EXPECT_EQ("attached, text new", calls) << "PreSubclassWindow found no object, or the map no message";
    EXPECT_EQ("new", Text(first)) << "Default did not give WM_SETTEXT to the static's own procedure";
    EXPECT_EQ(foreign, first.Detach()) << "Detach did not give the window back";
    EXPECT_EQ(classProc, ::GetWindowLongPtrA(foreign, GWLP_WNDPROC)) << "Detach did not put the procedure back";
    EXPECT_TRUE(second.Attach(foreign)) << "a detached window stayed in the map";

    auto control = std::make_unique<CStatic>();
    ASSERT_TRUE(control->Create("", 0, CONTROL_RECT, &top));
    const HWND window = *control;
    app.m_pMainWnd = control.get();
    ::DestroyWindow(window);
    EXPECT_EQ(nullptr, control->m_hWnd) << "a destroyed window's object still holds it";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(window)) << "a destroyed window stayed in the map";
    EXPECT_EQ(nullptr, app.m_pMainWnd) << "the main window pointer outlived its window";
    ASSERT_TRUE(control->Create("", 0, CONTROL_RECT, &top));
    const HWND held = *control;
    control.reset();
    EXPECT_FALSE(::IsWindow(held)) << "an object left the window it held behind";
}

TEST(Reflection, TheControlAnswersFirstAndTheParentWhenItDoesNot) {
    enum Child { REFLECTING, PLAIN, FOREIGN };
    const HBRUSH white = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)),
                 gray = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    const std::string STATIC = std::to_string(CTLCOLOR_STATIC), BUTTON = std::to_string(CTLCOLOR_BTN);
    // answer: the reflecting control's brush; code: WM_COMMAND's notification; then who was asked, in order, and
    // what the parent's sender got
    const struct {
        const char* what;
        Child child;
        HBRUSH answer;
        UINT message;
        WORD code;
        std::string calls;
        HBRUSH result;
    } rows[] = {
        {"control answers colour", REFLECTING, white, WM_CTLCOLORSTATIC, 0, "control " + STATIC + " ", white},
        {"control leaves colour", REFLECTING, nullptr, WM_CTLCOLORSTATIC, 0, "control " + STATIC + " parent ", gray},
        {"button colour", REFLECTING, white, WM_CTLCOLORBTN, 0, "control " + BUTTON + " ", white},
        {"plain static colour", PLAIN, nullptr, WM_CTLCOLORSTATIC, 0, "parent ", gray},
        {"foreign static colour", FOREIGN, nullptr, WM_CTLCOLORSTATIC, 0, "parent ", gray},
        {"control click", REFLECTING, nullptr, WM_COMMAND, STN_CLICKED, "control ", nullptr},
        {"plain static click", PLAIN, nullptr, WM_COMMAND, STN_CLICKED, "parent ", nullptr},
        {"double click", REFLECTING, nullptr, WM_COMMAND, STN_DBLCLK, "", nullptr},
    };
    for (const auto& row : rows) {
        Logged parent, reflecting;
        CStatic plain;
        ASSERT_TRUE(parent.CreateEx(0, "STATIC", "", WS_POPUP, 300, 200, 200, 100, nullptr, nullptr)) << row.what;
        reflecting.answer = row.answer;
        CStatic& control = row.child == REFLECTING ? reflecting : plain;
        ASSERT_TRUE(control.Create("", 0, CONTROL_RECT, &parent, 10)) << row.what;
        const HWND child = row.child == FOREIGN ? control.Detach() : control.m_hWnd;
        CClientDC dc(CWnd::FromHandle(child));
        calls.clear();
        const LRESULT result = parent.SendMessage(
            row.message, row.message == WM_COMMAND ? MAKEWPARAM(10, row.code) : WPARAM(dc.m_hDC), LPARAM(child));
        EXPECT_EQ(row.calls, calls) << row.what;
        EXPECT_EQ(reinterpret_cast<LRESULT>(row.result), result) << row.what;
    }
}

TEST(WindowProcedure, AnExceptionIsToldAndTheMessageGetsItsDefault) {
    const CFileException fileError(CFileException::fileNotFound, ERROR_FILE_NOT_FOUND, "x.sys");
    const struct {
        const char* what;
        std::function<void()> fail;
        std::string told;
    } rows[] = {
        {"resource", [] { AfxThrowResourceException(); }, "A required resource was unavailable."},
        {"memory", [] { throw std::bad_alloc(); }, "Out of memory."},
        {"file", [&] { throw fileError; }, "x.sys: " + fileError.GetErrorMessage()},
        {"other", [] { throw std::runtime_error("x"); },
         "An internal error occurred; the last action was not completed."},
    };
    for (const auto& row : rows) {
        const test::MessageBoxRecorder boxes;
        Logged control;
        ASSERT_TRUE(control.CreateEx(0, "STATIC", "old", WS_POPUP, 0, 0, 80, 20, nullptr, nullptr)) << row.what;
        control.fail = row.fail;
        control.SetWindowText("new");
        EXPECT_EQ("new", Text(control)) << row.what << ": the text was not stored after the failure";
        ASSERT_EQ(1u, boxes.Boxes().size()) << row.what;
        EXPECT_EQ(row.told, boxes.Boxes()[0].text) << row.what;
        EXPECT_EQ(UINT(MB_OK | MB_ICONSTOP), boxes.Boxes()[0].type) << row.what << ": not a stop box";
    }
}

std::vector<UINT> recordSizes;
std::vector<std::size_t> textLengths;  // of the texts handed to the control
LRESULT WINAPI RecordTool(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* record = reinterpret_cast<const TOOLINFOA*>(lParam);
    if (message >= WM_USER && message != TTM_ACTIVATE && message != TTM_RELAYEVENT)
        recordSizes.push_back(record->cbSize);
    if (message == TTM_ADDTOOLA || message == TTM_UPDATETIPTEXTA)
        textLengths.push_back(std::strlen(record->lpszText));
    return test::Real(&SystemApi::SendMessageA)(hwnd, message, wParam, lParam);
}

// NT 4 refuses a tool record larger than the first version's; a text longer than the record's 1,023 characters
// would overrun the record when read back.
TEST(Gdi, ABrushMadeAgainFreesTheOneItHeld) {
    CBrush brush(RGB(1, 2, 3));
    const HGDIOBJ first = brush.m_hObject;
    ASSERT_TRUE(brush.CreateSolidBrush(RGB(4, 5, 6)));
    EXPECT_EQ(0u, ::GetObjectType(first)) << "the first brush is never freed";
}

TEST(ToolTip, ToolRecordsHaveTheFirstVersionsSizeAndTextsAreCutToFit) {
    TopWindow top;
    CToolTipCtrl tooltip;
    ASSERT_TRUE(tooltip.Create(&top));
    CToolInfo info;
    const test::ApiOverride<decltype(sys.SendMessageA)> record(sys.SendMessageA, RecordTool);
    ASSERT_TRUE(tooltip.AddTool(&top, std::string(5000, 'x').c_str(), &CONTROL_RECT, 1));
    tooltip.UpdateTipText(std::string(1024, 'y').c_str(), &top, 1);
    tooltip.UpdateTipText("short", &top, 1);
    ASSERT_TRUE(tooltip.GetToolInfo(info, &top, 1));
    tooltip.SetToolInfo(info);
    tooltip.DelTool(&top, 1);
    EXPECT_EQ(std::vector<UINT>(6, TTTOOLINFOA_V1_SIZE), recordSizes) << "a record NT 4 refuses";
    EXPECT_EQ((std::vector<std::size_t>{1023, 1023, 5}), textLengths)
        << "a text handed on longer than the record holds";
}

// A key offered to `who` before dispatch goes into `log`; `keep`: whether `who` keeps it.
BOOL Offer(const MSG* msg, std::string& log, const char* who, BOOL keep) {
    if (msg->message != WM_KEYDOWN)
        return FALSE;
    log += who;
    return keep;
}

struct Label : CStatic {
    std::string* log = nullptr;
    BOOL eatKeys = FALSE;
    BOOL PreTranslateMessage(MSG* msg) override { return Offer(msg, *log, "label ", eatKeys); }
};

// The test template's dialog: `onInit` runs as it opens (before the data exchange binds the label), `onDestroy`
// as it goes; WM_APP ends it with wParam.
struct TestDialog : CDialog {
    explicit TestDialog(UINT templateId = IDD_TEST, CWnd* parent = nullptr) : CDialog(templateId, parent) {
        label.log = &log;
    }
    std::function<void(TestDialog&)> onInit = [](TestDialog&) {}, onDestroy = [](TestDialog&) {};
    Label label;
    std::string log;
    BOOL eatKeys = FALSE;

    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, IDC_LABEL, label); }
    BOOL OnInitDialog() override {
        onInit(*this);
        return CDialog::OnInitDialog();
    }
    BOOL PreTranslateMessage(MSG* msg) override { return Offer(msg, log, "dialog ", eatKeys); }
    void OnDestroy() {
        onDestroy(*this);
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
    const Run escape = [](TestDialog& d) {
        ::PostMessageA(::GetDlgItem(d, IDC_LABEL), WM_KEYDOWN, VK_ESCAPE, 0);
        d.PostMessage(WM_APP, LATER);
    };
    // run: what happens as the dialog opens; then what DoModal returns, to whom the key was offered, the box told
    const struct {
        const char* what;
        UINT templateId;
        Run run;
        INT_PTR result;
        const char *offered, *told;
    } rows[] = {
        {"Escape, kept by nobody", IDD_TEST, escape, IDCANCEL, "label dialog ", ""},
        {"Escape, kept by the control", IDD_TEST,
         [&](TestDialog& d) {
             d.label.eatKeys = TRUE;
             escape(d);
         },
         LATER, "label ", ""},
        {"Escape, kept by the dialog", IDD_TEST,
         [&](TestDialog& d) {
             d.eatKeys = TRUE;
             escape(d);
         },
         LATER, "label dialog ", ""},
        {"ended at once", IDD_TEST, [](TestDialog& d) { d.EndDialog(7); }, 7, "", ""},
        {"ended from another thread", IDD_TEST,
         [](TestDialog& d) { ::CloseHandle(::CreateThread(nullptr, 0, EndFromElsewhere, d.m_hWnd, 0, nullptr)); }, 5,
         "", ""},
        {"exchanged again", IDD_TEST,
         [](TestDialog& d) {
             d.EndDialog(IDOK);
             d.UpdateData(FALSE);
             d.UpdateData(TRUE);
         },
         IDOK, "", ""},
        {"no such control", IDD_TEST,
         [](TestDialog& d) {
             ::DestroyWindow(::GetDlgItem(d, IDC_LABEL));
             d.PostMessage(WM_APP, LATER);
         },
         LATER, "", "A required resource was unavailable."},
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
    RECT work{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    auto centredOn = [&](int x, int y) {
        return std::abs((r.left + r.right) / 2 - x) <= 1 && std::abs((r.top + r.bottom) / 2 - y) <= 1;
    };
    return centredOn(400, 250) ? "over the owner"
           : centredOn((work.left + work.right) / 2, (work.top + work.bottom) / 2)
               ? "on the work area"
               : "at " + std::to_string(r.left) + "," + std::to_string(r.top);
}

TEST(ModalLoop, TheOwnerIsDisabledForTheRunAndTheDialogOpensCentredOverIt) {
    enum Owner { MAIN_WINDOW, PARENT, CHILD, DIALOG_IS_MAIN, DISABLED, MINIMISED };
    // placed: OnInitDialog moves the dialog to 5,6; seen: whether the top window owns the dialog, its state during the
    // run and as the dialog goes, then whether it is active again (not some other program); where: the dialog's place
    const struct {
        const char* what;
        Owner owner;
        bool placed;
        const char *seen, *where;
    } rows[] = {
        {"no parent: the main window", MAIN_WINDOW, false, "owned disabled enabled, active", "over the owner"},
        {"a child given: its top-level window", CHILD, false, "owned disabled enabled, active", "over the owner"},
        {"the dialog is the main window", DIALOG_IS_MAIN, false, "unowned enabled enabled, active", "on the work area"},
        {"an owner disabled before", DISABLED, false, "owned disabled disabled, active", "over the owner"},
        {"a minimised owner", MINIMISED, false, "owned disabled enabled, active", "on the work area"},
        {"placed by OnInitDialog", PARENT, true, "owned disabled enabled, active", "at 5,6"},
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
            seen += std::string(::GetWindow(d, GW_OWNER) == top.m_hWnd ? "owned " : "unowned ") +
                    (top.IsWindowEnabled() ? "enabled " : "disabled ");
            if (row.placed)
                d.SetWindowPos(nullptr, 5, 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            d.PostMessage(WM_COMMAND, IDCANCEL);
        };
        RECT placed{};
        dialog.onDestroy = [&](TestDialog& d) {
            seen += top.IsWindowEnabled() ? "enabled" : "disabled";
            d.GetWindowRect(&placed);
        };
        EXPECT_EQ(IDCANCEL, dialog.DoModal()) << row.what;
        seen += ::GetActiveWindow() == top.m_hWnd ? ", active" : "";
        EXPECT_EQ(row.seen, seen) << row.what;
        EXPECT_EQ(row.where, Where(placed)) << row.what;
    }
}

}  // namespace
}  // namespace kg
