// CWnd by itself: the handle map with subclassing, reflection to the control
// and exceptions at the window procedure; the drawing guard and the tooltip's
// tool records.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

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

using test::TopWindow;

constexpr RECT CONTROL_RECT = {0, 0, 80, 20};
std::string calls;  // what the test's windows were asked, in order

std::string Text(const CWnd& window) { std::string text; window.GetWindowText(text); return text; }

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
    LRESULT OnSetText(WPARAM, LPARAM lParam) {
        calls += std::string(", text ") + reinterpret_cast<const char*>(lParam);
        fail();
        return Default();
    }
    HBRUSH CtlColor(CDC*, UINT kind) { calls += "control " + std::to_string(kind) + " "; return answer; }
    void OnClicked() { calls += "control "; }
    LRESULT OnChildColour(WPARAM, LPARAM) { calls += "parent "; return reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH)); }
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
    second.DestroyWindow();
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(foreign)) << "a window destroyed through its object stayed in the map";

    auto control = std::make_unique<CStatic>();
    ASSERT_TRUE(control->Create("", 0, CONTROL_RECT, &top));
    const HWND window = *control;
    AfxGetApp()->m_pMainWnd = control.get();
    ::DestroyWindow(window);
    EXPECT_EQ(nullptr, control->m_hWnd) << "a destroyed window's object still holds it";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(window)) << "a destroyed window stayed in the map";
    EXPECT_EQ(nullptr, AfxGetApp()->m_pMainWnd) << "the main window pointer outlived its window";
    ASSERT_TRUE(control->Create("", 0, CONTROL_RECT, &top));
    const HWND held = *control;
    control.reset();
    EXPECT_FALSE(::IsWindow(held)) << "an object left the window it held behind";
}

TEST(Reflection, TheControlAnswersFirstAndTheParentWhenItDoesNot) {
    enum Child { REFLECTING, PLAIN, FOREIGN };
    const HBRUSH white = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)), gray = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    const std::string STATIC = std::to_string(CTLCOLOR_STATIC), BUTTON = std::to_string(CTLCOLOR_BTN);
    // answer: the reflecting control's brush; code: WM_COMMAND's notification; then who was asked, in order, and
    // what the parent's sender got
    const struct { const char* what; Child child; HBRUSH answer; UINT message; WORD code; std::string calls; HBRUSH result; } rows[] = {
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
        ASSERT_TRUE(parent.CreateEx(0, "STATIC", "", WS_POPUP, 300, 200, 200, 100, nullptr, nullptr)) << row.what;
        CStatic plain;
        reflecting.answer = row.answer;
        CStatic& control = row.child == REFLECTING ? reflecting : plain;
        ASSERT_TRUE(control.Create("", 0, CONTROL_RECT, &parent, 10)) << row.what;
        const HWND child = row.child == FOREIGN ? control.Detach() : control.m_hWnd;
        CClientDC dc(CWnd::FromHandle(child));
        const bool command = row.message == WM_COMMAND;
        calls.clear();
        const LRESULT result = parent.SendMessage(row.message, command ? MAKEWPARAM(10, row.code) : WPARAM(dc.m_hDC), LPARAM(child));
        EXPECT_EQ(row.calls, calls) << row.what;
        EXPECT_EQ(reinterpret_cast<LRESULT>(row.result), result) << row.what;
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
        ASSERT_TRUE(control.Create("old", 0, CONTROL_RECT, &top)) << row.what;
        control.fail = row.fail;
        control.SetWindowText("new");
        EXPECT_EQ("new", Text(control)) << row.what << ": the text was not stored after the failure";
        ASSERT_EQ(1u, boxes.Boxes().size()) << row.what;
        EXPECT_EQ(row.told, boxes.Boxes()[0].text) << row.what;
        EXPECT_EQ(UINT(MB_OK | MB_ICONSTOP), boxes.Boxes()[0].type) << row.what << ": not a stop box";
    }
}

TEST(SelectGuard, PutsBackWhatWasSelected) {
    CMemoryDC dc;
    const CBrush brush(RGB(1, 2, 3));
    const struct { const char* what; UINT kind; HGDIOBJ object; } rows[] = {
        {"font", OBJ_FONT, ::GetStockObject(ANSI_FIXED_FONT)}, {"brush", OBJ_BRUSH, brush.m_hObject}, {"nothing", OBJ_FONT, nullptr}};
    for (const auto& row : rows) {
        const HGDIOBJ before = ::GetCurrentObject(dc, row.kind);
        {
            const SelectGuard guard(dc, row.object);
            EXPECT_EQ(row.object != nullptr ? row.object : before, ::GetCurrentObject(dc, row.kind)) << row.what << " not selected";
        }
        EXPECT_EQ(before, ::GetCurrentObject(dc, row.kind)) << row.what << ": the old one not put back";
    }
}

std::vector<UINT> recordSizes;

LRESULT WINAPI RecordToolSize(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER && message != TTM_ACTIVATE && message != TTM_RELAYEVENT) recordSizes.push_back(reinterpret_cast<const TOOLINFOA*>(lParam)->cbSize);
    return test::Real(&SystemApi::SendMessageA)(hwnd, message, wParam, lParam);
}

TEST(ToolTip, ToolRecordsHaveTheFirstVersionsSize) {
    TopWindow top;
    CToolTipCtrl tooltip;
    ASSERT_TRUE(tooltip.Create(&top));
    const RECT rect = {0, 0, 10, 10};
    CToolInfo info;
    const test::ApiOverride<decltype(sys.SendMessageA)> record(sys.SendMessageA, RecordToolSize);
    ASSERT_TRUE(tooltip.AddTool(&top, "first", &rect, 1));
    tooltip.UpdateTipText("second", &top, 1);
    ASSERT_TRUE(tooltip.GetToolInfo(info, &top, 1));
    tooltip.SetToolInfo(info);
    tooltip.DelTool(&top, 1);
    EXPECT_EQ(std::vector<UINT>(5, TTTOOLINFOA_V1_SIZE), recordSizes) << "NT 4 refuses a larger record";
}

}  // namespace
}  // namespace kg
