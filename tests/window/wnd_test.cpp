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

TEST(HandleMap, PermanentAndTemporaryObjects) {
    EXPECT_EQ(nullptr, CWnd::FromHandle(nullptr));
    TopWindow top;
    const HWND foreign = ::CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 9, 9, top, nullptr, nullptr, nullptr);
    CWnd* temporary = CWnd::FromHandle(foreign);
    EXPECT_EQ(foreign, temporary->m_hWnd) << "a window the program does not own";
    EXPECT_EQ(temporary, CWnd::FromHandle(foreign)) << "the same temporary object until idle";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(foreign));
    CWnd::DeleteTempMap();

    CWnd first, second;
    EXPECT_TRUE(first.Attach(foreign));
    EXPECT_EQ(&first, CWnd::FromHandle(foreign));
    EXPECT_FALSE(second.Attach(foreign)) << "a window has one permanent object";
    EXPECT_FALSE(first.Attach(top)) << "an object has one window";
    EXPECT_EQ(foreign, first.Detach());
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(foreign));
    ::DestroyWindow(foreign);

    CStatic destroyed;
    ASSERT_TRUE(destroyed.Create("", 0, CONTROL_RECT, &top));
    const HWND destroyedWindow = destroyed;
    test::App().m_pMainWnd = &destroyed;
    ::DestroyWindow(destroyedWindow);
    EXPECT_EQ(nullptr, destroyed.m_hWnd) << "a destroyed window's object is detached";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(destroyedWindow));
    EXPECT_EQ(nullptr, test::App().m_pMainWnd) << "the main window pointer is cleared with its window";

    HWND owned = nullptr;
    {
        CStatic control;
        ASSERT_TRUE(control.Create("", 0, CONTROL_RECT, &top));
        owned = control;
    }
    EXPECT_FALSE(::IsWindow(owned)) << "an object destroys the window it still holds";
}

class TextLog : public CStatic {
public:
    std::string seen;
    LONG_PTR procAtPreSubclass = 0;

    void PreSubclassWindow() override {
        seen += FromHandlePermanent(m_hWnd) == this ? "attached " : "detached ";
        procAtPreSubclass = ::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC);
    }
    LRESULT OnSetText(WPARAM, LPARAM lParam) {
        seen += std::string("text:") + reinterpret_cast<const char*>(lParam) + " ";
        return Default();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TextLog, CStatic)
    ON_MESSAGE(WM_SETTEXT, OnSetText)
END_MESSAGE_MAP()

TEST(Subclassing, PreSubclassRunsAttachedThenMessagesReachTheMap) {
    TopWindow top;
    const HWND window = ::CreateWindowA("STATIC", "old", WS_CHILD, 0, 0, 9, 9, top, nullptr, nullptr, nullptr);
    const LONG_PTR classProc = ::GetWindowLongPtrA(window, GWLP_WNDPROC);
    TextLog control;
    ASSERT_TRUE(control.SubclassWindow(window));
    EXPECT_EQ(classProc, control.procAtPreSubclass) << "PreSubclassWindow ran after the messages were taken";
    EXPECT_NE(classProc, ::GetWindowLongPtrA(window, GWLP_WNDPROC));
    control.SetWindowText("new");
    std::string text;
    control.GetWindowText(text);
    EXPECT_EQ("attached text:new ", control.seen);
    EXPECT_EQ("new", text) << "Default gave WM_SETTEXT to the static's own procedure";
    TextLog other;
    EXPECT_FALSE(other.SubclassWindow(window)) << "subclassed twice";
    control.Detach();
    EXPECT_EQ(classProc, ::GetWindowLongPtrA(window, GWLP_WNDPROC)) << "Detach puts the procedure back";
    ::DestroyWindow(window);
}

// A parent that answers colour requests and clicks of control 10 itself.
class Parent : public TopWindow {
public:
    std::string calls;

private:
    LRESULT OnCtlColorStatic(WPARAM, LPARAM) {
        calls += "parent ";
        return reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH));
    }
    void OnClicked() { calls += "parent "; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Parent, TopWindow)
    ON_MESSAGE(WM_CTLCOLORSTATIC, OnCtlColorStatic)
    ON_BN_CLICKED(10, OnClicked)
END_MESSAGE_MAP()

class Reflecting : public CStatic {
public:
    std::string* calls = nullptr;
    HBRUSH answer = nullptr;
    UINT kind = 99;

    virtual HBRUSH CtlColor(CDC*, UINT ctlColor) {
        kind = ctlColor;
        *calls += "child ";
        return answer;
    }
    virtual void OnClicked() { *calls += "child "; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Reflecting, CStatic)
    ON_WM_CTLCOLOR_REFLECT()
    ON_CONTROL_REFLECT(STN_CLICKED, OnClicked)
END_MESSAGE_MAP()

TEST(Reflection, TheControlAnswersFirstAndTheParentWhenItDoesNot) {
    enum Child { REFLECTING, PLAIN, FOREIGN };
    const HBRUSH white = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    const HBRUSH gray = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    const struct {
        const char* what;
        Child child;
        HBRUSH answer;
        UINT message;
        WPARAM wParam;  // WM_COMMAND: the notification code
        const char* calls;
        HBRUSH result;  // colour requests only
        UINT kind;
    } rows[] = {
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
        if (row.child == FOREIGN) {
            control.Detach();
        }
        const HWND child = control.m_hWnd != nullptr ? control.m_hWnd : ::GetDlgItem(parent, 10);
        CDC dc(::GetDC(child));
        const bool command = row.message == WM_COMMAND;
        const LRESULT result = parent.SendMessage(row.message, command ? MAKEWPARAM(10, row.wParam) : WPARAM(dc.m_hDC),
                                                  reinterpret_cast<LPARAM>(child));
        ::ReleaseDC(child, dc.m_hDC);
        EXPECT_EQ(row.calls, parent.calls) << row.what;
        if (!command) {
            EXPECT_EQ(reinterpret_cast<LRESULT>(row.result), result) << row.what;
        }
        EXPECT_EQ(row.kind, reflecting.kind) << row.what;
        if (row.child == FOREIGN) {
            ::DestroyWindow(child);
        }
    }
}

class Throwing : public CStatic {
public:
    std::function<void()> fail;
    LRESULT OnSetText(WPARAM, LPARAM) {
        fail();
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Throwing, CStatic)
    ON_MESSAGE(WM_SETTEXT, OnSetText)
END_MESSAGE_MAP()

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
        {"other", [] { throw std::runtime_error("x"); }, "An internal error occurred; the last action was not completed."},
    };
    TopWindow top;
    for (const auto& row : rows) {
        const test::MessageBoxRecorder boxes;
        Throwing control;
        ASSERT_TRUE(control.Create("old", 0, CONTROL_RECT, &top));
        control.fail = row.fail;
        control.SetWindowText("new");
        std::string text;
        control.GetWindowText(text);
        EXPECT_EQ("new", text) << row.what << ": the text was not stored after the failure";
        ASSERT_EQ(1u, boxes.Boxes().size()) << row.what;
        EXPECT_EQ(row.told, boxes.Boxes()[0].text) << row.what;
        EXPECT_EQ(UINT(MB_OK | MB_ICONSTOP), boxes.Boxes()[0].type) << row.what;
    }
}

class Derived : public CStatic {
    DECLARE_DYNAMIC(Derived)
};

IMPLEMENT_DYNAMIC(Derived, CStatic)

TEST(RuntimeClass, NamesAndKinds) {
    const CDialog dialog(1);
    const Derived derived;
    const CToolTipCtrl tooltip;
    const struct {
        const CObject& object;
        const char* name;
        const CRuntimeClass* kind;
        bool isKind;
    } rows[] = {
        {dialog, "CDialog", RUNTIME_CLASS(CWnd), true},
        {dialog, "CDialog", RUNTIME_CLASS(CObject), true},
        {derived, "Derived", RUNTIME_CLASS(CStatic), true},
        {derived, "Derived", RUNTIME_CLASS(CDialog), false},
        {tooltip, "CToolTipCtrl", RUNTIME_CLASS(CStatic), false},
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(row.name, row.object.GetRuntimeClass()->m_lpszClassName);
        EXPECT_EQ(row.isKind, row.object.IsKindOf(row.kind)) << row.name << " as " << row.kind->m_lpszClassName;
    }
}

}  // namespace
}  // namespace kg
