#include "framework/dialog.h"

#include "framework/exception_report.h"
#include "framework/resource_exception.h"
#include "framework/winapp.h"

namespace kg {
namespace {

constexpr char DIALOG_FAILED[] = "The window could not be opened.";

// How many framework modal loops run, one inside the other.
int modalDepth = 0;

// One run of a modal dialog: the owner is disabled from before the dialog
// is created; it is enabled again, and activated if the dialog was active,
// before the dialog's window is destroyed.
class ModalRun {
public:
    explicit ModalRun(HWND disabledOwner)
        : owner(disabledOwner), disabled(disabledOwner != nullptr && ::IsWindowEnabled(disabledOwner)) {
        if (disabled) {
            ::EnableWindow(owner, FALSE);
        }
    }
    ModalRun(const ModalRun&) = delete;
    ModalRun& operator=(const ModalRun&) = delete;
    ~ModalRun() {
        if (disabled) {
            ::EnableWindow(owner, TRUE);
        }
        if (dialog != nullptr) {
            if (owner != nullptr && ::GetActiveWindow() == dialog) {
                ::SetActiveWindow(owner);
            }
            ::DestroyWindow(dialog);
        }
    }

    HWND Owner() const { return owner; }
    void SetDialog(HWND created) { dialog = created; }

private:
    HWND owner;
    bool disabled;
    HWND dialog = nullptr;
};

}  // namespace

INT_PTR CALLBACK FrameworkDialogProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
    // From WM_INITDIALOG on, the framework's window procedure gets the
    // dialog's messages first; this procedure only starts it.
    if (message != WM_INITDIALOG || CWnd::FromHandlePermanent(hwnd) != nullptr) {
        return FALSE;
    }
    CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
    try {
        if (!dialog->SubclassWindow(hwnd)) {
            return FALSE;
        }
        RECT before;
        ::GetWindowRect(hwnd, &before);
        const BOOL systemSetsFocus = dialog->OnInitDialog();
        // A dialog that its OnInitDialog did not place opens centred, as
        // users expect of a modal window, rather than in a screen corner.
        RECT after;
        ::GetWindowRect(hwnd, &after);
        if (::EqualRect(&before, &after)) {
            dialog->CenterWindow();
        }
        return systemSetsFocus;
    } catch (...) {
        ReportCurrentException();
        return TRUE;
    }
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.m_hWnd != nullptr) {
        return;
    }
    const HWND item = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
    if (item == nullptr || !control.SubclassWindow(item)) {
        AfxThrowResourceException();
    }
}

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() = default;

HWND CDialog::OwnerWindow() const {
    HWND owner = GetSafeHwnd(m_pParentWnd);
    if (m_pParentWnd == nullptr) {
        const CWnd* mainWnd = AfxGetMainWnd();
        owner = mainWnd != this ? GetSafeHwnd(mainWnd) : nullptr;
    }
    // A child window cannot own a dialog: its top-level window does.
    while (owner != nullptr && (::GetWindowLongA(owner, GWL_STYLE) & WS_CHILD) != 0) {
        owner = ::GetParent(owner);
    }
    return owner;
}

INT_PTR CDialog::DoModal() {
    result = -1;
    endRequested = false;
    bool created = false;
    {
        ModalRun run(OwnerWindow());
        const HWND hwnd = ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), run.Owner(),
                                               FrameworkDialogProc, reinterpret_cast<LPARAM>(this));
        run.SetDialog(hwnd);
        created = hwnd != nullptr && m_hWnd == hwnd;
        if (created) {
            if (!endRequested && !IsWindowVisible()) {
                ShowWindow(SW_SHOWNORMAL);
            }
            RunModalLoop();
        }
    }
    if (!created) {
        AfxMessageBox(DIALOG_FAILED, MB_OK | MB_ICONSTOP);
    }
    return result;
}

void CDialog::RunModalLoop() {
    ++modalDepth;
    MSG msg;
    while (!endRequested && m_hWnd != nullptr) {
        // Idle: no handler of the outermost loop holds a temporary object.
        if (modalDepth == 1 && !::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            DeleteTempMap();
        }
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            if (got == 0) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
            }
            result = -1;
            break;
        }
        BOOL done = FALSE;
        try {
            done = WalkPreTranslateTree(m_hWnd, &msg);
        } catch (...) {
            ReportCurrentException();
        }
        if (!done && !::IsDialogMessageA(m_hWnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    --modalDepth;
}

void CDialog::EndDialog(int code) {
    result = code;
    endRequested = true;
    // Wakes the loop when this runs inside a message sent from elsewhere.
    if (m_hWnd != nullptr) {
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
    }
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

}  // namespace kg
