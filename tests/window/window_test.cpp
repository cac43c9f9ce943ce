// The window layer by itself: the handle map, reflection, exceptions at the window procedure, tool records, and the
// modal dialog: what ends a run, who is offered a key first, the owner during the run and where the dialog opens.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "framework/dialog.h"
#include "framework/file.h"
#include "framework/gdi.h"
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
// reflected colour request (told the CTLCOLOR_* kind, answered white) and click; as a parent, the colour
// requests (answered gray) and clicks of its control 10 that reach it.
class Logged : public CStatic {
public:
    LONG_PTR procAtPreSubclass = 0;
    std::function<void()> fail = [] {};
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
        return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
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
    EXPECT_EQ(temporary, CWnd::FromHandle(foreign)) << "a second temporary object before idle";
    Logged first;
    CWnd second;
    calls.clear();
    ASSERT_TRUE(first.SubclassWindow(foreign));
    EXPECT_EQ(classProc, first.procAtPreSubclass) << "PreSubclassWindow ran after the messages were taken";
    EXPECT_EQ(&first, CWnd::FromHandle(foreign)) << "the subclassing object is not found";
    EXPECT_FALSE(second.Attach(foreign)) << "a window got two permanent objects";
    EXPECT_FALSE(first.Attach(top)) << "an object got two windows";
    first.SetWindowText("n");  // one character, the shortest text that is read back
    EXPECT_EQ("attached, text n", calls) << "PreSubclassWindow found no object, or the map no message";
    EXPECT_EQ("n", Text(first)) << "Default did not give WM_SETTEXT to the static's own procedure";
    EXPECT_EQ(foreign, first.Detach()) << "Detach did not give the window back";
    EXPECT_EQ(classProc, ::GetWindowLongPtrA(foreign, GWLP_WNDPROC)) << "Detach did not put the procedure back";
    EXPECT_TRUE(second.Attach(foreign)) << "a detached window stayed in the map";

    auto control = std::make_unique<CStatic>();
    ASSERT_TRUE(control->Create("", 0, CONTROL_RECT, &top));
    const HWND window = *control;
    app.m_pMainWnd = control.get();
    ::DestroyWindow(window);
    EXPECT_EQ(nullptr, control->m_hWnd) << "a destroyed window's object still holds it";
    EXPECT_EQ(nullptr, app.m_pMainWnd) << "the main window pointer outlived its window";
    ASSERT_TRUE(control->Create("", 0, CONTROL_RECT, &top));
    const HWND held = *control;
    control.reset();
    EXPECT_FALSE(::IsWindow(held)) << "an object left the window it held behind";
}

TEST(Reflection, TheControlAnswersFirstAndTheParentWhenItDoesNot) {
    enum Child { REFLECTING, PLAIN };
    const HBRUSH white = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)),
                 gray = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    const std::string STATIC = std::to_string(CTLCOLOR_STATIC);
    // code: WM_COMMAND's notification; then what the parent's sender got and who was asked, in order (a control
    // that leaves the colour to its parent: the controls' tests)
    const std::tuple<const char*, Child, UINT, UINT, HBRUSH, std::string> rows[] = {
        {"control answers colour", REFLECTING, WM_CTLCOLORSTATIC, 0, white, "control " + STATIC + " "},
        {"plain static colour", PLAIN, WM_CTLCOLORSTATIC, 0, gray, "parent "},
        {"plain static click", PLAIN, WM_COMMAND, STN_CLICKED, nullptr, "parent "},
        {"double click", REFLECTING, WM_COMMAND, STN_DBLCLK, nullptr, ""},
    };
    for (const auto& [what, kind, message, code, result, asked] : rows) {
        Logged parent, reflecting;
        CStatic plain;
        ASSERT_TRUE(parent.CreateEx(0, "STATIC", "", WS_POPUP, 300, 200, 200, 100, nullptr, nullptr)) << what;
        CStatic& control = kind == REFLECTING ? reflecting : plain;
        ASSERT_TRUE(control.Create("", 0, CONTROL_RECT, &parent, 10)) << what;
        CClientDC dc(&control);
        calls.clear();
        const LRESULT got = parent.SendMessage(message, message == WM_COMMAND ? MAKEWPARAM(10, code) : WPARAM(dc.m_hDC),
                                               LPARAM(control.m_hWnd));
        EXPECT_EQ(asked, calls) << what;
        EXPECT_EQ(reinterpret_cast<LRESULT>(result), got) << what;
    }
}

TEST(WindowProcedure, AnExceptionIsToldAndTheMessageGetsItsDefault) {
    const CFileException fileError(CFileException::fileNotFound, ERROR_FILE_NOT_FOUND, "x.sys");
    const std::tuple<const char*, std::function<void()>, std::string> rows[] = {
        {"memory", [] { throw std::bad_alloc(); }, "Out of memory."},
        {"file", [&] { throw fileError; }, "x.sys: " + fileError.GetErrorMessage()},
        {"other", [] { throw std::runtime_error("x"); },
         "An internal error occurred; the last action was not completed."},
    };
    for (const auto& [what, fail, told] : rows) {
        const test::MessageBoxRecorder boxes;
        Logged control;
        ASSERT_TRUE(control.CreateEx(0, "STATIC", "old", WS_POPUP, 0, 0, 80, 20, nullptr, nullptr)) << what;
        control.fail = fail;
        control.SetWindowText("new");
        EXPECT_EQ("new", Text(control)) << what << ": the text was not stored after the failure";
        EXPECT_EQ("[stop: " + told + "]", boxes.Told()) << what;
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

TEST(Gdi, ABrushMadeAgainFreesTheOneItHeld) {
    CBrush brush(RGB(1, 2, 3));
    const HGDIOBJ first = brush.m_hObject;
    ASSERT_TRUE(brush.CreateSolidBrush(RGB(4, 5, 6)));
    EXPECT_EQ(0u, ::GetObjectType(first)) << "the first brush is never freed";
}

// NT 4 refuses a tool record larger than the first version's; a text longer than the record's 1,023 characters
// would overrun the record when read back.
TEST(ToolTip, ToolRecordsHaveTheFirstVersionsSizeAndTextsAreCutToFit) {
    TopWindow top;
    CToolTipCtrl tooltip;
    ASSERT_TRUE(tooltip.Create(&top));
    CToolInfo info;
    const test::ApiOverride<decltype(sys.SendMessageA)> record(sys.SendMessageA, RecordTool);
    ASSERT_TRUE(tooltip.AddTool(&top, std::string(5000, 'x').c_str(), &CONTROL_RECT, 1));
    tooltip.UpdateTipText(std::string(1024, 'y').c_str(), &top, 1);
    ASSERT_TRUE(tooltip.GetToolInfo(info, &top, 1));
    tooltip.SetToolInfo(info);
    tooltip.DelTool(&top, 1);
    EXPECT_EQ(std::vector<UINT>(5, TTTOOLINFOA_V1_SIZE), recordSizes) << "a record NT 4 refuses";
    EXPECT_EQ((std::vector<std::size_t>{1023, 1023}), textLengths) << "a text handed on longer than the record holds";
}

std::string keeper;  // who keeps a key offered before dispatch
BOOL Offer(const MSG* msg, const std::string& who) {
    if (msg->message != WM_KEYDOWN)
        return FALSE;
    calls += who + " ";
    return who == keeper;
}

struct Label : CStatic {
    BOOL PreTranslateMessage(MSG* msg) override { return Offer(msg, "label"); }
};

// Ends a run that nothing else ended, with LATER.
constexpr int LATER = 42;
void CALLBACK EndLater(HWND dialog, UINT, UINT_PTR, DWORD) {
    static_cast<CDialog*>(CWnd::FromHandlePermanent(dialog))->EndDialog(LATER);
}

// The test template's dialog: `onInit` runs as it opens (before the data exchange binds the label), `onDestroy`
// as it goes; EndLater ends it a second after it opened.
struct TestDialog : CDialog {
    explicit TestDialog(UINT templateId, CWnd* parent = nullptr) : CDialog(templateId, parent) {}
    std::function<void(TestDialog&)> onInit = [](TestDialog&) {}, onDestroy = [](TestDialog&) {};
    Label label;

    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, IDC_LABEL, label); }
    BOOL OnInitDialog() override {
        ::SetTimer(m_hWnd, 1, 1000, EndLater);
        onInit(*this);
        return CDialog::OnInitDialog();
    }
    BOOL PreTranslateMessage(MSG* msg) override { return Offer(msg, "dialog"); }
    void OnDestroy() {
        onDestroy(*this);
        CDialog::OnDestroy();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestDialog, CDialog)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

// Ends the idle dialog with IDOK by a message sent from another thread, as another program would: nothing is
// posted, yet the loop must wake up (a loop that slept on would end only with the IDCANCEL posted later).
DWORD WINAPI EndFromElsewhere(LPVOID dialog) {
    ::Sleep(300);
    ::SendMessageA(static_cast<HWND>(dialog), WM_COMMAND, IDOK, 0);
    ::Sleep(300);
    return ::PostMessageA(static_cast<HWND>(dialog), WM_COMMAND, IDCANCEL, 0);
}

TEST(ModalLoop, WhatEndsTheRunAndWhoIsOfferedAKeyFirst) {
    using Run = std::function<void(TestDialog&)>;
    const Run escape = [](TestDialog& d) { ::PostMessageA(::GetDlgItem(d, IDC_LABEL), WM_KEYDOWN, VK_ESCAPE, 0); };
    // keeper: who keeps a key offered before dispatch; run: what happens as the dialog opens (none: the template does
    // not exist); then what DoModal returns, to whom the key was offered, the boxes told
    const std::tuple<const char*, const char*, Run, INT_PTR, std::string, std::string> rows[] = {
        {"Escape on the label, kept by nobody", "", escape, IDCANCEL, "label dialog ", ""},
        {"Escape, kept by the dialog", "dialog", escape, LATER, "label dialog ", ""},
        {"ended at once", "", [](TestDialog& d) { d.EndDialog(7); }, 7, "", ""},
        {"ended from another thread", "",
         [](TestDialog& d) { ::CloseHandle(::CreateThread(nullptr, 0, EndFromElsewhere, d.m_hWnd, 0, nullptr)); }, IDOK,
         "", ""},
        {"OK: exchanged again", "", [](TestDialog& d) { d.SendMessage(WM_COMMAND, IDOK); }, IDOK, "", ""},
        {"no such control", "", [](TestDialog& d) { ::DestroyWindow(::GetDlgItem(d, IDC_LABEL)); }, LATER, "",
         "[stop: A required resource was unavailable.]"},
        {"no such template", "", nullptr, -1, "", "[stop: The window could not be opened.]"},
        {"quit (last: it stays posted)", "", [](TestDialog&) { ::PostQuitMessage(3); }, -1, "", ""},
    };
    for (const auto& [what, keeps, run, result, offered, told] : rows) {
        const test::MessageBoxRecorder boxes;
        TestDialog dialog(run ? IDD_TEST : 999);
        dialog.onInit = run;
        keeper = keeps;
        calls.clear();
        EXPECT_EQ(result, dialog.DoModal()) << what;
        EXPECT_EQ(offered, calls) << what;
        EXPECT_EQ(told, boxes.Told()) << what;
        EXPECT_EQ(nullptr, dialog.m_hWnd) << what << ": the window outlived DoModal";
    }
    MSG quit;
    EXPECT_TRUE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "WM_QUIT was not posted again";
}

// Where the dialog is: centred over the owner, centred on the work area, or at its top left corner.
std::string Where(const CWnd& dialog) {
    RECT r, work{};
    dialog.GetWindowRect(&r);
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
    // PLACED: the top window is the parent, and OnInitDialog moves the dialog to 5,6.
    enum Owner { MAIN_WINDOW, CHILD, DIALOG_IS_MAIN, DISABLED, MINIMISED, PLACED };
    // Whether the top window owns the dialog, its state during the run and as the dialog goes, where the dialog is
    // then, and whether the top window is active again afterwards (not some other program).
    const std::tuple<const char*, Owner, std::string> rows[] = {
        {"no parent: the main window", MAIN_WINDOW, "owned disabled enabled over the owner, active"},
        {"a child given: its top-level window", CHILD, "owned disabled enabled over the owner, active"},
        {"the dialog is the main window", DIALOG_IS_MAIN, "unowned enabled enabled on the work area, active"},
        {"an owner disabled before", DISABLED, "owned disabled disabled over the owner, active"},
        {"a minimised owner", MINIMISED, "owned disabled enabled on the work area, active"},
        {"placed by OnInitDialog", PLACED, "owned disabled enabled at 5,6, active"},
    };
    for (const auto& [what, owner, expected] : rows) {
        TopWindow top;
        CStatic child;
        ASSERT_TRUE(child.Create("", WS_VISIBLE, {0, 0, 9, 9}, &top)) << what;
        CWnd* const parent[] = {nullptr, &child, nullptr, nullptr, nullptr, &top};
        TestDialog dialog(IDD_TEST, parent[owner]);
        CWnd* const mainWnd[] = {&top, nullptr, &dialog, &top, &top, nullptr};
        app.m_pMainWnd = mainWnd[owner];
        top.EnableWindow(owner != DISABLED);
        top.ShowWindow(owner == MINIMISED ? SW_MINIMIZE : SW_SHOWNA);
        std::string seen;
        dialog.onInit = [&, placed = owner == PLACED](TestDialog& d) {
            seen += std::string(::GetWindow(d, GW_OWNER) == top.m_hWnd ? "owned " : "unowned ") +
                    (top.IsWindowEnabled() ? "enabled " : "disabled ");
            if (placed)
                d.SetWindowPos(nullptr, 5, 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            d.PostMessage(WM_COMMAND, IDCANCEL);
        };
        dialog.onDestroy = [&](TestDialog& d) {
            seen += (top.IsWindowEnabled() ? "enabled " : "disabled ") + Where(d);
        };
        EXPECT_EQ(IDCANCEL, dialog.DoModal()) << what;
        seen += ::GetActiveWindow() == top.m_hWnd ? ", active" : "";
        EXPECT_EQ(expected, seen) << what;
    }
}

}  // namespace
}  // namespace kg
