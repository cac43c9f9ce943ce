// What the window-layer tests share: the test dialog's identifiers and a
// top-level window to own and parent things.
#pragma once

#define IDD_TEST 200
#define IDC_LABEL 10

#ifndef RC_INVOKED
#include "framework/wnd.h"

namespace kg::test {

// A visible top-level popup window at 300,200, 200 by 100, destroyed with the object.
struct TopWindow : CWnd {
    TopWindow() { CreateEx(0, "STATIC", "top", WS_POPUP | WS_VISIBLE, 300, 200, 200, 100, nullptr, nullptr); }
};

}  // namespace kg::test
#endif
