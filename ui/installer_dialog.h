// The installer dialog: what the installer will do, and the buttons that
// suit the driver's state found at start-up. Each button runs its operation,
// which tells the user its outcome itself; after a success only button 2 is
// left, labelled "Close". The system menu carries the About box.
#pragma once

#include <initializer_list>

#include "controls/static_hyperlink.h"
#include "framework/dialog.h"

namespace kg {

class DriverInstaller;

class InstallerDialog : public CDialog {
public:
    // `driverInstaller` must outlive the dialog.
    explicit InstallerDialog(DriverInstaller* driverInstaller);
    ~InstallerDialog() override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    // Binds the web-address line to the hyperlink.
    void DoDataExchange(CDataExchange* dx) override;
    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnInstall();
    void OnUninstall();
    void OnUpgrade();

    DECLARE_MESSAGE_MAP()

private:
    // After a successful operation: button 2 becomes "Close" and `done` are
    // disabled, for good.
    void ShowSucceeded(std::initializer_list<int> done);
    // Moves the focus to the first enabled control unless it is on one:
    // a dialog whose focused button was disabled ignores the keyboard.
    void KeepFocusEnabled();
    bool IsEnabledPushButton(HWND control) const;

    CStaticHyperlink hyperlink;  // every property at the control's default
    HICON icon;
    DriverInstaller* installer;
};

}  // namespace kg
