#include "framework/tooltip.h"

#include <algorithm>
#include <iterator>

#include "framework/text.h"

namespace kg {
namespace {

void InitCommonControlsOnce() {
    static const bool initialised = (::InitCommonControls(), true);
    static_cast<void>(initialised);
}

// The record that names tool `toolId` of `wnd`, at the size NT 4 accepts.
TOOLINFOA ToolRecord(const CWnd* wnd, UINT_PTR toolId) {
    TOOLINFOA info = {};
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.hwnd = GetSafeHwnd(wnd);
    info.uId = toolId;
    return info;
}

// A tool text cut to TOOL_TEXT_SIZE.
class ToolText {
public:
    explicit ToolText(const char* source) { CopyBounded(text, sizeof text, source != nullptr ? source : ""); }
    char* Get() { return text; }

private:
    char text[TOOL_TEXT_SIZE];
};

}  // namespace

IMPLEMENT_DYNAMIC(CToolTipCtrl, CWnd)

CToolInfo::CToolInfo() : TOOLINFOA(), szText() {
    cbSize = TTTOOLINFOA_V1_SIZE;
    lpszText = szText;
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
    InitCommonControlsOnce();
    return CreateEx(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, GetSafeHwnd(parent), nullptr);
}

BOOL CToolTipCtrl::AddTool(CWnd* wnd, const char* text, const RECT* toolRect, UINT_PTR toolId) {
    TOOLINFOA info = ToolRecord(wnd, toolId);
    if (toolRect != nullptr) {
        info.rect = *toolRect;
    } else {
        info.uFlags = TTF_IDISHWND;
        info.uId = reinterpret_cast<UINT_PTR>(GetSafeHwnd(wnd));
    }
    ToolText bounded(text);
    info.lpszText = bounded.Get();
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)));
}

void CToolTipCtrl::UpdateTipText(const char* text, CWnd* wnd, UINT_PTR toolId) {
    TOOLINFOA info = ToolRecord(wnd, toolId);
    ToolText bounded(text);
    info.lpszText = bounded.Get();
    SendMessage(TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::DelTool(CWnd* wnd, UINT_PTR toolId) {
    TOOLINFOA info = ToolRecord(wnd, toolId);
    SendMessage(TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::Activate(BOOL activate) { SendMessage(TTM_ACTIVATE, static_cast<WPARAM>(activate)); }

void CToolTipCtrl::RelayEvent(MSG* msg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }

BOOL CToolTipCtrl::GetToolInfo(CToolInfo& info, CWnd* wnd, UINT_PTR toolId) const {
    info.hwnd = GetSafeHwnd(wnd);
    info.uId = toolId;
    info.lpszText = info.szText;
    // Zeroed whole: a control that fills only part of the buffer (Wine's
    // stops at 80 bytes) leaves a terminated text.
    std::fill(std::begin(info.szText), std::end(info.szText), '\0');
    return static_cast<BOOL>(SendMessage(TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info)));
}

void CToolTipCtrl::SetToolInfo(const CToolInfo& info) {
    SendMessage(TTM_SETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info));
}

}  // namespace kg
