// The application object and the program's entry point. The one instance of
// a class derived from CWinApp is created before the entry point runs; the
// entry point calls its InitInstance once and ends the process with the
// application's exit code.
#pragma once

#include <string>

#include "framework/wnd.h"

namespace kg {

// The framework's standard Help command.
constexpr UINT ID_HELP = 0xE146;

class CWinApp : public CCmdTarget {
    DECLARE_DYNAMIC(CWinApp)
public:
    // `name` null: the title is the program file's name without its
    // extension.
    explicit CWinApp(const char* name = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Start-up; a false result ends the application without a message loop.
    virtual BOOL InitInstance();

    // Dialog controls are drawn in three dimensions by the system itself on
    // every Windows this program runs on; nothing has to be loaded for it.
    BOOL Enable3dControlsStatic();

    // The process's exit code when the application ends by returning from
    // InitInstance (0 unless set).
    void SetExitCode(int code) { exitCode = code; }

    // The framework's help command: opens the program's help file.
    void OnHelp();

    // Icon resource `id` of the program (LoadIconA through
    // AfxGetResourceHandle); null when there is none. Shared: never destroyed.
    HICON LoadIcon(UINT id) const;

    // Runs the application: called once, by the entry point.
    int Run(HINSTANCE instance, LPSTR commandLine);

    const char* m_pszAppName = nullptr;  // the title: message-box caption
    LPSTR m_lpCmdLine = nullptr;         // the arguments after the program name
    CWnd* m_pMainWnd = nullptr;          // cleared when its window is destroyed
    HINSTANCE m_hInstance = nullptr;

    DECLARE_MESSAGE_MAP()

private:
    std::string appName;
    std::string helpFilePath;
    int exitCode = 0;
};

// The application object, or null before it is constructed.
CWinApp* AfxGetApp();

// The application's main window, or null.
CWnd* AfxGetMainWnd();

// The module whose resources (strings, dialogs, icons) the program uses.
HINSTANCE AfxGetResourceHandle();

// A message box with the application's title as caption, owned by the main
// window when there is one. A box of type MB_OK or MB_OKCANCEL that asks for
// no icon gets the exclamation icon.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
// The same for the text of string resource `promptId`.
int AfxMessageBox(UINT promptId, UINT type = MB_OK, UINT helpId = static_cast<UINT>(-1));

// The full path of `module`'s file (null: the program); empty when the system
// gives none or it does not fit MAX_PATH.
std::string GetModuleFilePath(HMODULE module);

// The text of string resource `id`; empty when there is none.
std::string LoadResourceString(UINT id);

}  // namespace kg
