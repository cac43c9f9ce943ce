// A window object. A CWnd is either permanent (the program attached it to
// its window: Attach, SubclassWindow, CreateEx, a dialog) or temporary
// (FromHandle's wrapper of a window the program does not own).
//
// The handle map finds the permanent object of a window. A subclassed window
// runs the framework's window procedure, which looks its object up in the map
// (no code is generated at run time) and dispatches through the message map:
// the object's own entries first, then each base class's, then the window's
// previous procedure (Default). Before a parent handles WM_COMMAND from a
// control or a WM_CTLCOLOR* request for it, it reflects the message to the
// control's permanent object (the entries ON_CONTROL_REFLECT and
// ON_WM_CTLCOLOR_REFLECT); only when the control does not answer does the
// parent handle it itself. No exception leaves the window procedure: one
// that a handler throws is reported (exception_report.h) and the message
// gets its default processing.
//
// When a subclassed window is destroyed (WM_NCDESTROY), its object is
// detached: m_hWnd becomes null, the previous procedure is put back, and the
// application's m_pMainWnd is cleared if it was this object. An object
// destroyed while still attached destroys its window first.
#pragma once

#include <string>

#include "framework/cmdtarget.h"
#include "framework/dc.h"
#include "framework/menu.h"

namespace kg {

// Reflected messages, as a control's message map sees them.
constexpr UINT WM_REFLECT_CTLCOLOR = 0xBC19;  // wParam HDC, lParam CTLCOLOR_* kind
constexpr UINT WM_REFLECT_COMMAND = 0xBD11;   // entry code: the notification code

class CWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CWnd)
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    ~CWnd() override;

    // --- Handle map --------------------------------------------------------
    // The permanent object of `hwnd`, else a temporary one (null for a null
    // handle). A temporary object lives until the outermost modal loop next
    // runs out of messages; keep no pointer to one beyond the handler that
    // asked for it.
    static CWnd* FromHandle(HWND hwnd);
    // The permanent object of `hwnd`, or null.
    static CWnd* FromHandlePermanent(HWND hwnd);
    // Deletes the temporary objects (the modal loop does this when idle).
    static void DeleteTempMap();

    // Makes this object the permanent object of `hwnd` without subclassing
    // it; false when this object has a window or `hwnd` has an object.
    BOOL Attach(HWND hwnd);
    // Gives the window up; its procedure is put back if it was subclassed.
    HWND Detach();
    // Attach, PreSubclassWindow, then route the window's messages through
    // this object's message map. False when Attach would fail.
    BOOL SubclassWindow(HWND hwnd);
    // Creates a window (CreateWindowExA) and subclasses it as above; false
    // when the system creates none. Messages sent during creation
    // (WM_NCCREATE, WM_CREATE) reach only the class's own procedure.
    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y, int width,
                  int height, HWND parent, HMENU idOrMenu);
    BOOL DestroyWindow();

    HWND GetSafeHwnd() const { return m_hWnd; }
    // The handle of `wnd`, null for no object (the free function below, also
    // reachable inside the members of window classes).
    static HWND GetSafeHwnd(const CWnd* wnd) { return wnd != nullptr ? wnd->m_hWnd : nullptr; }
    operator HWND() const { return m_hWnd; }

    // --- Overridables ------------------------------------------------------
    // Called by SubclassWindow and CreateEx once the object is attached and
    // before the window's messages reach it.
    virtual void PreSubclassWindow();
    // Called by the modal loop for each message taken from the queue, for
    // the message's window and each parent up to the dialog, before
    // IsDialogMessage; TRUE: the message is done with. The base does nothing.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Message-map dispatch, then DefWindowProc for what no entry handles.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The window's previous procedure (or DefWindowProcA).
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // A reflected message from the parent: TRUE when this control answered
    // it (a non-null brush for the colour request; any entry for a command
    // notification), with its result in `result`.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // Finds the entry for the message and runs it (reflecting to a child
    // first, as described above); false when nothing handled it.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // The message being handled, passed to DefWindowProc unchanged.
    LRESULT Default();

    // Runs PreTranslateMessage for `msg`'s window and its parents (permanent
    // objects only), stopping after `stop`; TRUE as soon as one returns TRUE.
    static BOOL WalkPreTranslateTree(HWND stop, MSG* msg);

    // --- Thin wrappers of the window functions ----------------------------
    CWnd* GetDlgItem(int id) const;  // FromHandle: may be temporary
    CWnd* GetParent() const;         // FromHandle: may be temporary
    int GetDlgCtrlID() const;
    void SetWindowText(const char* text);
    int GetWindowText(char* buffer, int bufferSize) const;
    void GetWindowText(std::string& text) const;
    int GetWindowTextLength() const;
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsWindowVisible() const;
    BOOL IsIconic() const;
    BOOL ShowWindow(int showCommand);
    // Centres the window over its owner when the owner is visible and not
    // minimised, else over the screen's work area; it stays on the work area.
    void CenterWindow();
    void GetClientRect(RECT* rect) const;
    void GetWindowRect(RECT* rect) const;
    void ScreenToClient(RECT* rect) const;
    void ScreenToClient(POINT* point) const;
    void ClientToScreen(POINT* point) const;
    // The window's system menu (GetSystemMenu); its m_hMenu is null when the
    // window has none.
    CMenu GetSystemMenu(BOOL revert) const;
    // Through kg::sys, so that tests can observe and fail them.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void Invalidate(BOOL erase = TRUE);
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE);
    BOOL RedrawWindow(const RECT* updateRect = nullptr, HRGN updateRegion = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int width, int height, UINT flags);
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    // Removes `remove` and adds `add` to GWL_STYLE (SetWindowLongA); with
    // `flags`, SetWindowPos(SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER |
    // SWP_NOACTIVATE | flags) makes the frame follow. False if nothing changed.
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    // The window's font (WM_GETFONT), borrowed: null when it uses the system font.
    HFONT GetFont() const;

    HWND m_hWnd = nullptr;

protected:
    // The default handlers of the message-map entries below: each gives the
    // message its default processing (Default).
    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
    void OnSize(UINT type, int cx, int cy);
    void OnDestroy();
    BOOL OnEraseBkgnd(CDC* dc);

    DECLARE_MESSAGE_MAP()

private:
    friend LRESULT CALLBACK FrameworkWindowProc(HWND, UINT, WPARAM, LPARAM);
    void OnNcDestroy();

    WNDPROC previousProc = nullptr;  // set while subclassed
};

// The window handle of `wnd`, null for no window object.
inline HWND GetSafeHwnd(const CWnd* wnd) { return CWnd::GetSafeHwnd(wnd); }

}  // namespace kg

#include "framework/wnd_messages.h"
