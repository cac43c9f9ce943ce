#include "controls/styled_static.h"

#include <algorithm>

#include "framework/system_api.h"

namespace kg {
namespace {

// What the low byte of a static's style says when the control shows text.
bool IsTextType(DWORD type) {
    switch (type) {
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT:
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP: return true;
    default: return false;
    }
}

constexpr DWORD STATIC_TYPE_BYTE = 0xFF;
constexpr DWORD STATIC_ALIGNMENT = 0x0F;
constexpr UINT REDRAW_NOW = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;

}  // namespace

IMPLEMENT_DYNAMIC(CStyledStatic, CStatic)

BEGIN_MESSAGE_MAP(CStyledStatic, CStatic)
    ON_WM_CTLCOLOR_REFLECT()
    ON_MESSAGE(WM_SETTEXT, OnSetText)
    ON_WM_SIZE()
    ON_WM_DESTROY()
    ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CStyledStatic::CStyledStatic()
    : backgroundColor(::GetSysColor(COLOR_BTNFACE)), textColor(::GetSysColor(COLOR_WINDOWTEXT)) {}

void CStyledStatic::PreSubclassWindow() {
    InitializeStatic();
    CStatic::PreSubclassWindow();
}

BOOL CStyledStatic::PreTranslateMessage(MSG* msg) {
    if (tooltip.m_hWnd != nullptr) {
        tooltip.Activate(tooltipActive);
        tooltip.RelayEvent(msg);
    }
    return CStatic::PreTranslateMessage(msg);
}

BOOL CStyledStatic::IsTextStatic() const { return IsTextType(GetStyle() & STATIC_TYPE_BYTE) ? TRUE : FALSE; }

std::string CStyledStatic::ShownText() const {
    std::string text;
    if (IsTextStatic()) {
        GetWindowText(text);
    }
    return text;
}

RECT CStyledStatic::RectInParent() const {
    RECT rect;
    GetWindowRect(&rect);
    if (const CWnd* parent = GetParent()) {
        parent->ScreenToClient(&rect);
    }
    return rect;
}

BOOL CStyledStatic::InitializeStatic() {
    savedRect = RectInParent();
    RECT client;
    GetClientRect(&client);
    if (tooltip.Create(this, 0)) {
        tooltip.AddTool(this, tooltipText.c_str(), &client, TOOL_ID);
    }
    UpdateTooltipText();
    if (!fontMade && CreateTextFont()) {
        fontMade = TRUE;
    }
    return TRUE;
}

BOOL CStyledStatic::CreateTextFont() { return MakeTextFont(false); }

BOOL CStyledStatic::MakeTextFont(bool underline) {
    if (!IsTextStatic()) {
        return TRUE;
    }
    const HFONT windowFont = GetFont();
    if (windowFont == nullptr) {
        return FALSE;
    }
    textFont.DeleteObject();
    LOGFONTA logFont;
    if (sys.GetObjectA(windowFont, sizeof logFont, &logFont) == 0) {
        return FALSE;
    }
    if (underline) {
        logFont.lfUnderline = 1;
    }
    if (!textFont.CreateFontIndirect(&logFont)) {
        return FALSE;
    }
    if (fitToText) {
        AdjustWindowSize();
    }
    return TRUE;
}

void CStyledStatic::UpdateTooltipText() {
    if (!tooltipActive) {
        return;
    }
    if (!ownTooltipText) {
        tooltipText = ShownText();
    }
    SetToolText();
}

void CStyledStatic::SetToolText() {
    if (tooltip.m_hWnd != nullptr) {
        tooltip.UpdateTipText(tooltipText.c_str(), this, TOOL_ID);
    }
}

void CStyledStatic::SetToolRect(int width, int height) {
    CToolInfo info;
    if (tooltip.m_hWnd != nullptr && tooltip.GetToolInfo(info, this, TOOL_ID)) {
        ::SetRect(&info.rect, 0, 0, width, height);
        tooltip.SetToolInfo(info);
    }
}

HBRUSH CStyledStatic::CtlColor(CDC* dc, UINT /*ctlColor*/) {
    // A static reports clicks and gets the mouse only with SS_NOTIFY.
    if ((GetStyle() & SS_NOTIFY) == 0) {
        ModifyStyle(0, SS_NOTIFY);
    }
    if (!IsTextStatic()) {
        return nullptr;
    }
    if (textFont.GetSafeHandle() != nullptr) {
        dc->SelectObject(&textFont);
    }
    dc->SetTextColor(textColor);
    dc->SetBkMode(TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

LRESULT CStyledStatic::OnSetText(WPARAM, LPARAM) {
    const LRESULT result = Default();
    UpdateTooltipText();
    if (fitToText) {
        AdjustWindowSize();
    }
    RedrawWindow(nullptr, nullptr, REDRAW_NOW);
    return result;
}

void CStyledStatic::OnSize(UINT, int, int) {
    Default();
    if (fitToText) {
        AdjustWindowSize();
        return;
    }
    savedRect = RectInParent();
    SetToolRect(savedRect.right - savedRect.left, savedRect.bottom - savedRect.top);
    RedrawWindow(nullptr, nullptr, REDRAW_NOW);
}

void CStyledStatic::AdjustWindowSize() {
    const CWnd* parent = GetParent();
    if (!IsTextStatic() || parent == nullptr) {
        return;
    }
    RECT rect = RectInParent();
    std::string text;
    GetWindowText(text);
    SIZE extent;
    {
        CClientDC dc(this);
        const SelectGuard font(dc, textFont.GetSafeHandle());
        extent = dc.GetTextExtent(text.c_str(), static_cast<int>(text.size()));
    }
    RECT parentClient;
    parent->GetClientRect(&parentClient);
    const int width = std::min<int>(extent.cx, parentClient.right - parentClient.left);
    const int height = std::min<int>(extent.cy, parentClient.bottom - parentClient.top);
    const DWORD style = GetStyle();
    if ((style & SS_CENTERIMAGE) != 0) {
        ::InflateRect(&rect, 0, -((rect.bottom - rect.top - height) / 2));
    } else {
        rect.bottom = rect.top + height;
    }
    switch (style & STATIC_ALIGNMENT) {
    case SS_CENTER: ::InflateRect(&rect, -((rect.right - rect.left - width) / 2), 0); break;
    case SS_RIGHT: rect.left = rect.right - width; break;
    default: rect.right = rect.left + width; break;
    }
    SetToolRect(rect.right - rect.left, rect.bottom - rect.top);
    SetWindowPos(nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, SWP_NOZORDER);
}

BOOL CStyledStatic::OnEraseBkgnd(CDC* dc) {
    if (backgroundColor != CLR_NONE) {
        PaintBackground(dc);
    }
    return TRUE;
}

void CStyledStatic::OnDestroy() {
    if (tooltip.m_hWnd != nullptr) {
        tooltip.DelTool(this, TOOL_ID);
        tooltip.DestroyWindow();
    }
    CStatic::OnDestroy();
}

}  // namespace kg
