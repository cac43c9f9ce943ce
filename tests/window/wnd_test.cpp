// CWnd by itself: the handle map, subclassing, reflection to the control,
// exceptions at the window procedure and the run-time classes.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

#include "framework/dialog.h"
#include "framework/file.h"
#include "framework/resource_exception.h"
#include "framework/static.h"
#include "framework/tooltip.h"
#include "tests/support/message_boxes.h"
#include "tests/window/window_test.h"

namespace kg {
namespace {

using test::TopWindow;

constexpr RECT CONTROL_RECT = {0, 0, 80, 20};

std::string Text(const CWnd& window) {
    std::string text;
    window.GetWindowText(text);
    return text;
}

TEST(HandleMap, PermanentAndTemporaryObjects) {
    TopWindow top;
    const HWND foreign = ::CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 9, 9, top, nullptr, nullptr, nullptr);
    CWnd* temporary = CWnd::FromHandle(foreign);
    EXPECT_EQ(foreign, temporary->m_hWnd) << "a window the program does not own has no temporary object";
    EXPECT_EQ(temporary, CWnd::FromHandle(foreign)) << "a second temporary object before idle";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(foreign)) << "a temporary object taken for a permanent one";
    EXPECT_EQ(nullptr, CWnd::FromHandle(nullptr)) << "an object for no window";
    CWnd::DeleteTempMap();

    CWnd first, second;
    EXPECT_TRUE(first.Attach(foreign));
    EXPECT_EQ(&first, CWnd::FromHandle(foreign)) << "the attached object is not found";
    EXPECT_FALSE(second.Attach(foreign)) << "a window got two permanent objects";
    EXPECT_FALSE(first.Attach(top)) << "an object got two windows";
    EXPECT_EQ(foreign, first.Detach());
    EXPECT_TRUE(second.Attach(foreign)) << "a detached window stayed in the map";
    second.DestroyWindow();
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(foreign)) << "a window destroyed through its object stayed in the map";

    CStatic destroyed;
    ASSERT_TRUE(destroyed.Create("", 0, CONTROL_RECT, &top));
    const HWND destroyedWindow = destroyed;
    test::App().m_pMainWnd = &destroyed;
    ::DestroyWindow(destroyedWindow);
    EXPECT_EQ(nullptr, destroyed.m_hWnd) << "a destroyed window's object still holds it";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(destroyedWindow)) << "a destroyed window stayed in the map";
    EXPECT_EQ(nullptr, test::App().m_pMainWnd) << "the main window pointer outlived its window";

    HWND owned = nullptr;
    {
        CStatic control;
        ASSERT_TRUE(control.Create("", 0, CONTROL_RECT, &top));
        owned = control;
    }
    EXPECT_FALSE(::IsWindow(owned)) << "an object left the window it held behind";
}

// A static that logs what reaches it; `fail` runs at WM_SETTEXT.
class Logged : public CStatic {
public:
    std::string seen;
    LONG_PTR procAtPreSubclass = 0;
    std::function<void()> fail = [] {};

    void PreSubclassWindow() override {
        seen += FromHandlePermanent(m_hWnd) == this ? "attached" : "detached";
        procAtPreSubclass = ::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC);
    }
    LRESULT OnSetText(WPARAM, LPARAM lParam) {
        seen += std::string(", text ") + reinterpret_cast<const char*>(lParam);
        fail();
        return Default();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Logged, CStatic)
    ON_MESSAGE(WM_SETTEXT, OnSetText)
END_MESSAGE_MAP()

TEST(Subclassing, PreSubclassWindowRunsAttachedThenTheMapGetsTheMessages) {
    TopWindow top;
    const HWND window = ::CreateWindowA("STATIC", "old", WS_CHILD, 0, 0, 9, 9, top, nullptr, nullptr, nullptr);
    const LONG_PTR classProc = ::GetWindowLongPtrA(window, GWLP_WNDPROC);
    Logged control, other;
    ASSERT_TRUE(control.SubclassWindow(window));
    EXPECT_EQ(classProc, control.procAtPreSubclass) << "PreSubclassWindow ran after the messages were taken";
    control.SetWindowText("new");
    EXPECT_EQ("attached, text new", control.seen) << "PreSubclassWindow found no object, or the map no message";
    EXPECT_EQ("new", Text(control)) << "Default did not give WM_SETTEXT to the static's own procedure";
    EXPECT_FALSE(other.SubclassWindow(window)) << "subclassed twice";
    control.Detach();
    EXPECT_EQ(classProc, ::GetWindowLongPtrA(window, GWLP_WNDPROC)) << "Detach did not put the procedure back";
}

// A parent that answers colour requests and clicks of control 10 itself.
class Parent : public TopWindow {
public:
    std::string calls;
    LRESULT OnCtlColorStatic(WPARAM, LPARAM) { return calls += "parent ", reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH)); }
    void OnClicked() { calls += "parent "; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Parent, TopWindow)
    ON_MESSAGE(WM_CTLCOLORSTATIC, OnCtlColorStatic)
    ON_BN_CLICKED(10, OnClicked)
END_MESSAGE_MAP()

// A control that answers the reflected colour request with `answer` and the reflected click.
class Reflecting : public CStatic {
public:
    std::string* calls = nullptr;
    HBRUSH answer = nullptr;
    UINT kind = 99;
    HBRUSH CtlColor(CDC*, UINT ctlColor) { return kind = ctlColor, *calls += "child ", answer; }
    void OnClicked() { *calls += "child "; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Reflecting, CStatic)
    ON_WM_CTLCOLOR_REFLECT()
    ON_CONTROL_REFLECT(STN_CLICKED, OnClicked)
END_MESSAGE_MAP()

TEST(Reflection, TheControlAnswersFirstAndTheParentWhenItDoesNot) {
    enum Child { REFLECTING, PLAIN, FOREIGN };
    const HBRUSH white = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)), gray = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    // answer: the reflecting control's brush; code: WM_COMMAND's notification; then who was asked, in order, what
    // the parent's sender got and the kind of colour request the control was told
    const struct { const char* what; Child child; HBRUSH answer; UINT message; WORD code; const char* calls; HBRUSH result; UINT kind; } rows[] = {
        {"child answers colour", REFLECTING, white, WM_CTLCOLORSTATIC, 0, "child ", white, CTLCOLOR_STATIC},
        {"child leaves colour", REFLECTING, nullptr, WM_CTLCOLORSTATIC, 0, "child parent ", gray, CTLCOLOR_STATIC},
        {"button colour", REFLECTING, white, WM_CTLCOLORBTN, 0, "child ", white, CTLCOLOR_BTN},
        {"plain static colour", PLAIN, nullptr, WM_CTLCOLORSTATIC, 0, "parent ", gray, 99},
        {"foreign static colour", FOREIGN, nullptr, WM_CTLCOLORSTATIC, 0, "parent ", gray, 99},
        {"child click", REFLECTING, nullptr, WM_COMMAND, STN_CLICKED, "child ", nullptr, 99},
        {"plain static click", PLAIN, nullptr, WM_COMMAND, STN_CLICKED, "parent ", nullptr, 99},
        {"double click", REFLECTING, nullptr, WM_COMMAND, STN_DBLCLK, "", nullptr, 99},
    };
    for (const auto& row : rows) {
        Parent parent;
        Reflecting reflecting;
        CStatic plain;
        reflecting.calls = &parent.calls;
        reflecting.answer = row.answer;
        CStatic& control = row.child == REFLECTING ? reflecting : plain;
        ASSERT_TRUE(control.Create("", 0, CONTROL_RECT, &parent, 10));
        const HWND child = row.child == FOREIGN ? control.Detach() : control.m_hWnd;
        CClientDC dc(CWnd::FromHandle(child));
        const bool command = row.message == WM_COMMAND;
        const LRESULT result = parent.SendMessage(row.message, command ? MAKEWPARAM(10, row.code) : WPARAM(dc.m_hDC), LPARAM(child));
        EXPECT_EQ(row.calls, parent.calls) << row.what;
        EXPECT_EQ(reinterpret_cast<LRESULT>(row.result), result) << row.what;
        EXPECT_EQ(row.kind, reflecting.kind) << row.what;
    }
}

TEST(WindowProcedure, AnExceptionIsToldAndTheMessageGetsItsDefault) {
    const CFileException fileError(CFileException::fileNotFound, ERROR_FILE_NOT_FOUND, "x.sys");
    const struct { const char* what; std::function<void()> fail; std::string told; } rows[] = {
        {"resource", [] { AfxThrowResourceException(); }, "A required resource was unavailable."},
        {"memory", [] { throw std::bad_alloc(); }, "Out of memory."},
        {"file", [&] { throw fileError; }, "x.sys: " + fileError.GetErrorMessage()},
        {"other", [] { throw std::runtime_error("x"); }, "An internal error occurred; the last action was not completed."},
    };
    TopWindow top;
    for (const auto& row : rows) {
        const test::MessageBoxRecorder boxes;
        Logged control;
        ASSERT_TRUE(control.Create("old", 0, CONTROL_RECT, &top));
        control.fail = row.fail;
        control.SetWindowText("new");
        EXPECT_EQ("new", Text(control)) << row.what << ": the text was not stored after the failure";
        ASSERT_EQ(1u, boxes.Boxes().size()) << row.what;
        EXPECT_EQ(row.told, boxes.Boxes()[0].text) << row.what;
        EXPECT_EQ(UINT(MB_OK | MB_ICONSTOP), boxes.Boxes()[0].type) << row.what << ": not a stop box";
    }
}

TEST(RuntimeClass, NamesAndKinds) {
    const CDialog dialog(1);
    const CToolTipCtrl tooltip;
    const struct { const CObject& object; const char* name; const CRuntimeClass* kind; bool isKind; } rows[] = {
        {dialog, "CDialog", RUNTIME_CLASS(CDialog), true},
        {dialog, "CDialog", RUNTIME_CLASS(CWnd), true},
        {dialog, "CDialog", RUNTIME_CLASS(CObject), true},
        {tooltip, "CToolTipCtrl", RUNTIME_CLASS(CStatic), false},
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(row.name, row.object.GetRuntimeClass()->m_lpszClassName);
        EXPECT_EQ(row.isKind, row.object.IsKindOf(row.kind)) << row.name << " as " << row.kind->m_lpszClassName;
    }
}

}  // namespace
}  // namespace kg
