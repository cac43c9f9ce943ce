#include "framework/winapp.h"

#include <windows.h>

#include "framework/system_api.h"
#include "framework/text.h"

namespace kg {
namespace {

CWinApp* theApp = nullptr;

// "C:\dir\Kgsetup.exe" -> "Kgsetup".
std::string TitleFromPath(const std::string& path) {
    std::size_t nameStart = 0;
    for (const char* p = path.c_str(); *p != '\0'; p = NextChar(p)) {
        if (*p == '\\' || *p == '/' || *p == ':') {
            nameStart = static_cast<std::size_t>(p - path.c_str()) + 1;
        }
    }
    std::string name = path.substr(nameStart);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

IMPLEMENT_DYNAMIC(CWinApp, CCmdTarget)

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(const char* name) {
    if (name != nullptr) {
        appName = name;
    }
    theApp = this;
}

CWinApp::~CWinApp() {
    if (theApp == this) {
        theApp = nullptr;
    }
}

BOOL CWinApp::InitInstance() { return TRUE; }

BOOL CWinApp::Enable3dControlsStatic() { return TRUE; }

void CWinApp::OnHelp() { ::WinHelpA(GetSafeHwnd(m_pMainWnd), helpFilePath.c_str(), HELP_FINDER, 0); }

HICON CWinApp::LoadIcon(UINT id) const { return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id)); }

int CWinApp::Run(HINSTANCE instance, LPSTR commandLine) {
    m_hInstance = instance;
    m_lpCmdLine = commandLine;
    const std::string modulePath = GetModuleFilePath(instance);
    if (appName.empty()) {
        appName = TitleFromPath(modulePath);
    }
    m_pszAppName = appName.c_str();
    const std::size_t dot = modulePath.rfind('.');
    helpFilePath = modulePath.substr(0, dot) + ".HLP";
    // Start-up does all the work; the program has no message loop of its own.
    InitInstance();
    return exitCode;
}

CWinApp* AfxGetApp() { return theApp; }

CWnd* AfxGetMainWnd() { return theApp != nullptr ? theApp->m_pMainWnd : nullptr; }

HINSTANCE AfxGetResourceHandle() {
    return theApp != nullptr && theApp->m_hInstance != nullptr ? theApp->m_hInstance : ::GetModuleHandleA(nullptr);
}

int AfxMessageBox(const char* text, UINT type, UINT /*helpId*/) {
    if ((type & MB_ICONMASK) == 0) {
        switch (type & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL: type |= MB_ICONEXCLAMATION; break;
        case MB_YESNO:
        case MB_YESNOCANCEL: type |= MB_ICONQUESTION; break;
        default: break;
        }
    }
    CWinApp* app = AfxGetApp();
    const HWND owner = app != nullptr ? GetSafeHwnd(app->m_pMainWnd) : nullptr;
    const char* caption = app != nullptr ? app->m_pszAppName : nullptr;
    return sys.MessageBoxA(owner, text, caption, type);
}

int AfxMessageBox(UINT promptId, UINT type, UINT helpId) {
    return AfxMessageBox(LoadResourceString(promptId).c_str(), type, helpId);
}

std::string GetModuleFilePath(HMODULE module) {
    char path[MAX_PATH];
    const DWORD length = sys.GetModuleFileNameA(module, path, sizeof path);
    // A path cut to the buffer would name another file.
    return length == 0 || length >= sizeof path ? std::string() : std::string(path, length);
}

std::string LoadResourceString(UINT id) {
    char buffer[1024];
    const int length = ::LoadStringA(AfxGetResourceHandle(), id, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

}  // namespace kg
