#include "ui/installer_dialog.h"

#include "framework/winapp.h"
#include "installer/driver_installer.h"
#include "ui/about_dialog.h"
#include "ui/resource.h"

namespace kg {
namespace {

// Button 2's label once an operation has succeeded and only it is left.
constexpr char CLOSE_TEXT[] = "Close";

}  // namespace

BEGIN_MESSAGE_MAP(InstallerDialog, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_INSTALL, OnInstall)
    ON_BN_CLICKED(IDC_UNINSTALL, OnUninstall)
    ON_BN_CLICKED(IDC_UPGRADE, OnUpgrade)
END_MESSAGE_MAP()

InstallerDialog::InstallerDialog(DriverInstaller* driverInstaller)
    : CDialog(IDD_INSTALLER), icon(AfxGetApp()->LoadIcon(IDR_MAINFRAME)), installer(driverInstaller) {}

InstallerDialog::~InstallerDialog() = default;

void InstallerDialog::DoDataExchange(CDataExchange* dx) { DDX_Control(dx, IDC_HYPERLINK, hyperlink); }

BOOL InstallerDialog::OnInitDialog() {
    CDialog::OnInitDialog();

    CMenu systemMenu = GetSystemMenu(FALSE);
    if (systemMenu.m_hMenu != nullptr) {
        const std::string aboutText = LoadResourceString(IDS_ABOUTBOX);
        if (!aboutText.empty()) {
            systemMenu.AppendMenu(MF_SEPARATOR);
            systemMenu.AppendMenu(MF_STRING, IDM_ABOUTBOX, aboutText.c_str());
        }
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));

    if (installer->GetInstallStatus() == INSTALL_STATUS_INSTALLED) {
        GetDlgItem(IDC_INFO)->SetWindowText(LoadResourceString(IDS_INFO_UPGRADE).c_str());
        GetDlgItem(IDC_INSTALL)->EnableWindow(FALSE);
    } else {
        GetDlgItem(IDC_INFO)->SetWindowText(LoadResourceString(IDS_INFO_INSTALL).c_str());
        GetDlgItem(IDC_UNINSTALL)->EnableWindow(FALSE);
        GetDlgItem(IDC_UPGRADE)->EnableWindow(FALSE);
    }
    // The system gives the focus to the first enabled button; it is made the
    // default button too, which the template's three default buttons would
    // leave on the last of them, disabled or not.
    SendMessage(DM_SETDEFID, ::GetDlgCtrlID(::GetNextDlgTabItem(m_hWnd, nullptr, FALSE)));
    return TRUE;
}

BOOL InstallerDialog::PreTranslateMessage(MSG* msg) {
    // Enter presses the focused button if it is an enabled push button, and
    // does nothing else: there is no OK button to end the dialog. The dialog
    // manager would press the template's last default button instead,
    // disabled or not, whenever the focus came without the default look.
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
        const HWND focus = ::GetFocus();
        if (IsEnabledPushButton(focus)) {
            SendMessage(WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(focus), BN_CLICKED), reinterpret_cast<LPARAM>(focus));
        }
        return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
}

void InstallerDialog::OnSysCommand(UINT id, LPARAM lParam) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        AboutDialog about;
        about.DoModal();
    } else {
        CDialog::OnSysCommand(id, lParam);
    }
}

void InstallerDialog::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT client;
    GetClientRect(&client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, icon);
}

HCURSOR InstallerDialog::OnQueryDragIcon() { return icon; }

void InstallerDialog::OnInstall() {
    if (installer->Install()) {
        ShowSucceeded({IDC_INSTALL});
    }
}

void InstallerDialog::OnUninstall() {
    if (installer->Uninstall()) {
        ShowSucceeded({IDC_UNINSTALL, IDC_UPGRADE});
    }
}

void InstallerDialog::OnUpgrade() {
    if (installer->Upgrade()) {
        ShowSucceeded({IDC_UNINSTALL, IDC_UPGRADE});
    }
}

void InstallerDialog::ShowSucceeded(std::initializer_list<int> done) {
    GetDlgItem(IDCANCEL)->SetWindowText(CLOSE_TEXT);
    for (const int id : done) {
        GetDlgItem(id)->EnableWindow(FALSE);
    }
    KeepFocusEnabled();
}

void InstallerDialog::KeepFocusEnabled() {
    const HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(m_hWnd, focus) && ::IsWindowEnabled(focus)) {
        return;
    }
    const HWND first = ::GetNextDlgTabItem(m_hWnd, nullptr, FALSE);
    if (first != nullptr) {
        // As Tab would move it: the dialog also makes it the default button.
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
    }
}

bool InstallerDialog::IsEnabledPushButton(HWND control) const {
    return control != nullptr && ::IsChild(m_hWnd, control) && ::IsWindowEnabled(control) &&
           (::SendMessageA(control, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

}  // namespace kg
