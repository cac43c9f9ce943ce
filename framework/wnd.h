// A window object: the owner of an HWND that the program creates.
#pragma once

#include "framework/cmdtarget.h"

namespace kg {

class CWnd : public CCmdTarget {
public:
    HWND m_hWnd = nullptr;
};

// The window handle of `wnd`, null for no window object.
inline HWND GetSafeHwnd(const CWnd* wnd) { return wnd != nullptr ? wnd->m_hWnd : nullptr; }

}  // namespace kg
