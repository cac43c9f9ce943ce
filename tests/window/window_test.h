// What the window-layer tests share: the test dialog's resource identifiers,
// the application object and a top-level window to own and parent things.
#pragma once

#define IDD_TEST 200
#define IDC_LABEL 10

#ifndef RC_INVOKED
#include "framework/wnd.h"
#include "framework/winapp.h"

namespace kg::test {

// The program's one application object (no main window unless a test sets one).
CWinApp& App();

// A top-level popup window, destroyed with the object.
class TopWindow : public CWnd {
public:
    TopWindow();
};

}  // namespace kg::test
#endif
