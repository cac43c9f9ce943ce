// Device contexts. CDC borrows a device context that someone else releases
// (the one a message brings, for instance); the classes derived from it own
// theirs and give it back when they are destroyed: CPaintDC (BeginPaint and
// EndPaint), CClientDC (GetDC and ReleaseDC), CMemoryDC (CreateCompatibleDC
// and DeleteDC). None can be copied. SelectGuard puts back what it selected.
#pragma once

#include <windows.h>

namespace kg {

class CGdiObject;
class CWnd;

class CDC {
public:
    CDC() = default;
    explicit CDC(HDC dc) : m_hDC(dc) {}
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC() = default;

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    // Each returns what the system function returns; SelectObject gives the
    // object that was selected before.
    HGDIOBJ SelectObject(HGDIOBJ object);
    HGDIOBJ SelectObject(const CGdiObject* object);
    COLORREF SetTextColor(COLORREF color);
    COLORREF SetBkColor(COLORREF color);
    int SetBkMode(int mode);
    // The extent of `text` (`length` bytes) as one line, GetTextExtentPoint32A.
    SIZE GetTextExtent(const char* text, int length) const;
    int FillRect(const RECT* rect, HBRUSH brush);
    BOOL PatBlt(int x, int y, int width, int height, DWORD rop);
    int IntersectClipRect(const RECT* rect);
    BOOL DrawIcon(int x, int y, HICON icon);

    HDC m_hDC = nullptr;
};

// Selects `object` into `dc` and selects the previous object again when the
// guard goes; a null `object` selects and restores nothing.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object);
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard();

private:
    HDC dc;
    HGDIOBJ previous;
};

// The window's paint context for WM_PAINT. Throws CResourceException when
// the system gives none.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps;

private:
    HWND hwnd;
};

// The client-area context of `wnd` (null: the screen). Throws CResourceException when the
// system gives none.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* wnd);
    ~CClientDC() override;

private:
    HWND hwnd;
};

// A memory context compatible with `dc` (null: the screen). Throws
// CResourceException when the system gives none.
class CMemoryDC : public CDC {
public:
    explicit CMemoryDC(HDC dc = nullptr);
    ~CMemoryDC() override;
};

}  // namespace kg
