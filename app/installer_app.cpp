#include "app/installer_app.h"

#include <cstdlib>

#include "app/command_line.h"
#include "installer/driver_installer.h"
#include "ui/installer_dialog.h"

namespace kg {
namespace {

constexpr char HELP_SWITCH[] = "/?";
constexpr char HELP_SWITCH_DASH[] = "-?";

}  // namespace

BEGIN_MESSAGE_MAP(InstallerApp, CWinApp)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

BOOL InstallerApp::InitInstance() {
    Enable3dControlsStatic();
    if (m_lpCmdLine[0] == '\0') {
        // The dialog run: every failure of the preparation is shown in a box,
        // and every message of the dialog's operations in a box it owns.
        DriverInstaller installer(FALSE);
        if (!installer.IsSupported()) {
            return FALSE;  // a box has said why
        }
        InstallerDialog dialog(&installer);
        m_pMainWnd = &dialog;
        dialog.DoModal();
        // A dialog that could not be created never cleared the pointer.
        m_pMainWnd = nullptr;
        return FALSE;
    }

    // Run unattended (by the system account, say), nobody may be there to
    // answer a box: the system shows none for a drive without a disk or a
    // crash either.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    DriverInstaller installer(TRUE);
    CommandLineTokens tokens(m_lpCmdLine);
    tokens.Tokenize();
    if (tokens.Contains(HELP_SWITCH) || tokens.Contains(HELP_SWITCH_DASH)) {
        installer.ShowUsage();
        // The process ends here, before the installer object would clean up.
        installer.RemoveTempFolder();
        std::exit(USAGE_EXIT_CODE);
    }
    SetExitCode(installer.IsSupported() && installer.Install() ? EXIT_SUCCESS : INSTALL_FAILED_EXIT_CODE);
    return FALSE;
}

}  // namespace kg
