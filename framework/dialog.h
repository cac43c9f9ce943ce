// Modal dialogs from resource templates, with dialog-data exchange.
//
// DoModal creates the dialog modeless (CreateDialogParamA) and runs the
// framework's own modal loop until EndDialog: every message taken from the
// queue goes first to PreTranslateMessage of its window and each parent up
// to the dialog (CWnd::WalkPreTranslateTree), then to IsDialogMessageA, and
// only then is it translated and dispatched. The owner is the parent given
// to the constructor, else the application's main window (when it has one
// and is not this dialog), taken at its top-level window; it is disabled
// while the dialog runs and enabled again before the dialog is destroyed, so
// the activation returns to it. The dialog's window is destroyed before
// DoModal returns.
//
// The dialog's window runs the framework's window procedure from
// WM_INITDIALOG on; its message map sees IDOK and IDCANCEL as commands
// (OnOK, OnCancel). Escape, the close box, WM_CLOSE and Alt+F4 all arrive as
// IDCANCEL.
#pragma once

#include "framework/wnd.h"

namespace kg {

// One data exchange: the dialog and the direction (FALSE: into the controls,
// TRUE: out of them).
class CDataExchange {
public:
    CDataExchange(CWnd* dlgWnd, BOOL saveAndValidate) : m_pDlgWnd(dlgWnd), m_bSaveAndValidate(saveAndValidate) {}

    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Binds `control` to the dialog's control `id`: the first exchange
// subclasses the control with `control` (its PreSubclassWindow runs then);
// later exchanges leave it as it is. A missing control throws
// CResourceException.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
public:
    // `templateId`: the dialog resource (AfxGetResourceHandle). `parent` may
    // be null (see the owner rule above).
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog; returns what EndDialog was given, or -1 when the
    // dialog could not be created (the user is told) or the loop got
    // WM_QUIT (which is posted again for the loop outside).
    virtual INT_PTR DoModal();
    // Ends the modal loop with `result` once the current message is done.
    void EndDialog(int code);

    // WM_INITDIALOG: runs the data exchange into the controls (UpdateData
    // FALSE); TRUE lets the system set the focus.
    virtual BOOL OnInitDialog();
    // Runs DoDataExchange in the given direction; TRUE.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

protected:
    virtual void DoDataExchange(CDataExchange* dx);
    // IDOK: UpdateData(TRUE), then EndDialog(IDOK).
    virtual void OnOK();
    // IDCANCEL: EndDialog(IDCANCEL).
    virtual void OnCancel();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    friend INT_PTR CALLBACK FrameworkDialogProc(HWND, UINT, WPARAM, LPARAM);
    HWND OwnerWindow() const;
    void RunModalLoop();

    bool endRequested = false;
    INT_PTR result = -1;
};

}  // namespace kg
