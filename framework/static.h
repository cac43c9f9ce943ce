// The static control: a CWnd on a "STATIC" window, most often a dialog's
// control bound by DDX_Control.
#pragma once

#include "framework/wnd.h"

namespace kg {

class CStatic : public CWnd {
    DECLARE_DYNAMIC(CStatic)
public:
    // Creates a static child of `parent` with `style` (WS_CHILD added) and
    // subclasses it (PreSubclassWindow runs); false when none is created.
    BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF);
};

}  // namespace kg
