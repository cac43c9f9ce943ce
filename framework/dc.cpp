#include "framework/dc.h"

#include "framework/gdi.h"
#include "framework/resource_exception.h"
#include "framework/wnd.h"

namespace kg {

HGDIOBJ CDC::SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }

HGDIOBJ CDC::SelectObject(const CGdiObject* object) { return ::SelectObject(m_hDC, object->m_hObject); }

COLORREF CDC::SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }

COLORREF CDC::SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }

int CDC::SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }

SIZE CDC::GetTextExtent(const char* text, int length) const {
    SIZE size = {0, 0};
    ::GetTextExtentPoint32A(m_hDC, text, length, &size);
    return size;
}

int CDC::FillRect(const RECT* rect, HBRUSH brush) { return ::FillRect(m_hDC, rect, brush); }

BOOL CDC::PatBlt(int x, int y, int width, int height, DWORD rop) { return ::PatBlt(m_hDC, x, y, width, height, rop); }

int CDC::IntersectClipRect(const RECT* rect) {
    return ::IntersectClipRect(m_hDC, rect->left, rect->top, rect->right, rect->bottom);
}

BOOL CDC::DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }

SelectGuard::SelectGuard(HDC target, HGDIOBJ object)
    : dc(target), previous(object != nullptr ? ::SelectObject(target, object) : nullptr) {}

SelectGuard::~SelectGuard() {
    if (previous != nullptr) {
        ::SelectObject(dc, previous);
    }
}

CPaintDC::CPaintDC(CWnd* wnd) : m_ps(), hwnd(wnd->m_hWnd) {
    m_hDC = ::BeginPaint(hwnd, &m_ps);
    if (m_hDC == nullptr) {
        AfxThrowResourceException();
    }
}

CPaintDC::~CPaintDC() { ::EndPaint(hwnd, &m_ps); }

CClientDC::CClientDC(CWnd* wnd) : hwnd(GetSafeHwnd(wnd)) {
    m_hDC = ::GetDC(hwnd);
    if (m_hDC == nullptr) {
        AfxThrowResourceException();
    }
}

CClientDC::~CClientDC() { ::ReleaseDC(hwnd, m_hDC); }

CMemoryDC::CMemoryDC(HDC dc) {
    m_hDC = ::CreateCompatibleDC(dc);
    if (m_hDC == nullptr) {
        AfxThrowResourceException();
    }
}

CMemoryDC::~CMemoryDC() { ::DeleteDC(m_hDC); }

}  // namespace kg
