#include "framework/wnd.h"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "framework/exception_report.h"
#include "framework/system_api.h"
#include "framework/winapp.h"

namespace kg {
namespace {

// The program has one thread: the maps and the current message need no lock.
std::map<HWND, CWnd*>& PermanentMap() {
    static std::map<HWND, CWnd*> map;
    return map;
}

std::map<HWND, std::unique_ptr<CWnd>>& TemporaryMap() {
    static std::map<HWND, std::unique_ptr<CWnd>> map;
    return map;
}

// The message that the innermost framework window procedure is handling,
// for Default.
struct CurrentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
CurrentMessage current = {};

bool IsControlColor(UINT message) { return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC; }

}  // namespace

LRESULT CALLBACK FrameworkWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
    if (wnd == nullptr) {
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    }
    const CurrentMessage outer = current;
    current = {message, wParam, lParam};
    LRESULT result = 0;
    try {
        result = wnd->WindowProc(message, wParam, lParam);
    } catch (...) {
        // The message is completed the default way first (a failed paint is
        // validated), then the user is told.
        try {
            result = wnd->DefWindowProc(message, wParam, lParam);
        } catch (...) {
            result = 0;
        }
        ReportCurrentException();
    }
    current = outer;
    if (message == WM_NCDESTROY) {
        wnd->OnNcDestroy();
    }
    return result;
}

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::~CWnd() {
    if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this) {
        DestroyWindow();
    }
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    if (hwnd == nullptr) {
        return nullptr;
    }
    if (CWnd* permanent = FromHandlePermanent(hwnd)) {
        return permanent;
    }
    std::unique_ptr<CWnd>& temporary = TemporaryMap()[hwnd];
    if (temporary == nullptr) {
        temporary = std::make_unique<CWnd>();
        temporary->m_hWnd = hwnd;
    }
    return temporary.get();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
    const auto found = PermanentMap().find(hwnd);
    return found != PermanentMap().end() ? found->second : nullptr;
}

void CWnd::DeleteTempMap() { TemporaryMap().clear(); }

BOOL CWnd::Attach(HWND hwnd) {
    if (m_hWnd != nullptr || hwnd == nullptr || FromHandlePermanent(hwnd) != nullptr) {
        return FALSE;
    }
    PermanentMap()[hwnd] = this;
    m_hWnd = hwnd;
    return TRUE;
}

HWND CWnd::Detach() {
    if (m_hWnd == nullptr) {
        return nullptr;
    }
    // Another procedure set over ours would be cut off by putting ours back.
    if (previousProc != nullptr &&
        ::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&FrameworkWindowProc)) {
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
    }
    previousProc = nullptr;
    PermanentMap().erase(m_hWnd);
    const HWND hwnd = m_hWnd;
    m_hWnd = nullptr;
    return hwnd;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
    if (!Attach(hwnd)) {
        return FALSE;
    }
    try {
        PreSubclassWindow();
    } catch (...) {
        Detach();
        throw;
    }
    previousProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameworkWindowProc)));
    if (previousProc == nullptr) {  // a window of another process
        Detach();
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y, int width,
                    int height, HWND parent, HMENU idOrMenu) {
    const HWND hwnd = ::CreateWindowExA(exStyle, className, windowName, style, x, y, width, height, parent, idOrMenu,
                                        ::GetModuleHandleA(nullptr), nullptr);
    if (hwnd == nullptr) {
        return FALSE;
    }
    BOOL subclassed = FALSE;
    try {
        subclassed = SubclassWindow(hwnd);
    } catch (...) {
        ::DestroyWindow(hwnd);
        throw;
    }
    if (!subclassed) {
        ::DestroyWindow(hwnd);
    }
    return subclassed;
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    const HWND hwnd = m_hWnd;
    const BOOL destroyed = ::DestroyWindow(hwnd);
    // A window that was attached but not subclassed sends us no WM_NCDESTROY.
    if (m_hWnd == hwnd) {
        Detach();
    }
    return destroyed;
}

void CWnd::OnNcDestroy() {
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
    }
    Detach();
}

void CWnd::PreSubclassWindow() {}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) {
        result = DefWindowProc(message, wParam, lParam);
    }
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return previousProc != nullptr ? ::CallWindowProcA(previousProc, m_hWnd, message, wParam, lParam)
                                   : ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() { return DefWindowProc(current.message, current.wParam, current.lParam); }

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    UINT code = 0;
    UINT id = 0;
    HWND control = nullptr;
    if (message == WM_COMMAND) {
        code = HIWORD(wParam);
        id = LOWORD(wParam);
        control = reinterpret_cast<HWND>(lParam);
    } else if (IsControlColor(message)) {
        control = reinterpret_cast<HWND>(lParam);
    }
    if (control != nullptr && control != m_hWnd) {
        CWnd* child = FromHandlePermanent(control);
        if (child != nullptr && child->OnChildNotify(message, wParam, lParam, result)) {
            return TRUE;
        }
    }
    const MessageMapEntry* entry = FindEntry(message, code, id);
    if (entry == nullptr) {
        return FALSE;
    }
    *result = entry->invoke(this, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (IsControlColor(message)) {
        const MessageMapEntry* entry = FindEntry(WM_REFLECT_CTLCOLOR, 0, 0);
        if (entry == nullptr) {
            return FALSE;
        }
        const LRESULT brush = entry->invoke(this, wParam, static_cast<LPARAM>(message - WM_CTLCOLORMSGBOX));
        if (brush == 0) {
            return FALSE;
        }
        *result = brush;
        return TRUE;
    }
    if (message == WM_COMMAND) {
        const MessageMapEntry* entry = FindEntry(WM_REFLECT_COMMAND, HIWORD(wParam), 0);
        if (entry == nullptr) {
            return FALSE;
        }
        *result = entry->invoke(this, wParam, lParam);
        return TRUE;
    }
    return FALSE;
}

BOOL CWnd::WalkPreTranslateTree(HWND stop, MSG* msg) {
    for (HWND hwnd = msg->hwnd; hwnd != nullptr; hwnd = ::GetParent(hwnd)) {
        CWnd* wnd = FromHandlePermanent(hwnd);
        if (wnd != nullptr && wnd->PreTranslateMessage(msg)) {
            return TRUE;
        }
        if (hwnd == stop) {
            break;
        }
    }
    return FALSE;
}

CWnd* CWnd::GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }

CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }

int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }

void CWnd::SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }

int CWnd::GetWindowText(char* buffer, int bufferSize) const { return ::GetWindowTextA(m_hWnd, buffer, bufferSize); }

void CWnd::GetWindowText(std::string& text) const {
    // The length may count more bytes than the text has (double-byte texts).
    std::vector<char> buffer(static_cast<std::size_t>(GetWindowTextLength()) + 1);
    const int length = ::GetWindowTextA(m_hWnd, buffer.data(), static_cast<int>(buffer.size()));
    text.assign(buffer.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
}

int CWnd::GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }

BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }

BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }

BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }

BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }

BOOL CWnd::ShowWindow(int showCommand) { return ::ShowWindow(m_hWnd, showCommand); }

void CWnd::CenterWindow() {
    RECT workArea;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    RECT over = workArea;
    const HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        ::GetWindowRect(owner, &over);
    }
    RECT rect;
    GetWindowRect(&rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    // The caption wins where the window is larger than the work area.
    const int x = std::max(workArea.left, std::min((over.left + over.right - width) / 2, workArea.right - width));
    const int y = std::max(workArea.top, std::min((over.top + over.bottom - height) / 2, workArea.bottom - height));
    SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }

void CWnd::GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }

void CWnd::ScreenToClient(RECT* rect) const {
    ::ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&rect->left));
    ::ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&rect->right));
}

void CWnd::ScreenToClient(POINT* point) const { ::ScreenToClient(m_hWnd, point); }

void CWnd::ClientToScreen(POINT* point) const { ::ClientToScreen(m_hWnd, point); }

CMenu CWnd::GetSystemMenu(BOOL revert) const { return CMenu(::GetSystemMenu(m_hWnd, revert)); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return sys.SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return sys.PostMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::Invalidate(BOOL erase) { ::InvalidateRect(m_hWnd, nullptr, erase); }

void CWnd::InvalidateRect(const RECT* rect, BOOL erase) { ::InvalidateRect(m_hWnd, rect, erase); }

BOOL CWnd::RedrawWindow(const RECT* updateRect, HRGN updateRegion, UINT flags) {
    return ::RedrawWindow(m_hWnd, updateRect, updateRegion, flags);
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int width, int height, UINT flags) {
    return ::SetWindowPos(m_hWnd, GetSafeHwnd(insertAfter), x, y, width, height, flags);
}

DWORD CWnd::GetStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)); }

DWORD CWnd::GetExStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_EXSTYLE)); }

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
    const DWORD style = GetStyle();
    const DWORD newStyle = (style & ~remove) | add;
    if (newStyle == style) {
        return FALSE;
    }
    ::SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(newStyle));
    if (flags != 0) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    }
    return TRUE;
}

HFONT CWnd::GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }

void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }

void CWnd::OnPaint() { Default(); }

HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }

BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }

void CWnd::OnSize(UINT, int, int) { Default(); }

void CWnd::OnDestroy() { Default(); }

BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }

}  // namespace kg
