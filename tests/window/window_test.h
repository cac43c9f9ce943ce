// What the window-layer tests share: the test dialog's resource identifiers,
// the application object, a top-level window to own and parent things, and
// a static that records what reaches it.
#pragma once

#define IDD_TEST 200
#define IDC_LABEL 10

#ifndef RC_INVOKED
#include <string>

#include "framework/static.h"
#include "framework/winapp.h"

namespace kg::test {

// The program's one application object (no main window unless a test sets one).
CWinApp& App();

// A top-level popup window, destroyed with the object.
class TopWindow : public CWnd {
public:
    TopWindow();
};

// A static that counts its subclassings and logs the keys it is offered
// before dispatch; `eatKeys` makes it keep them.
class LoggingStatic : public CStatic {
public:
    std::string* log = nullptr;
    BOOL eatKeys = FALSE;
    int subclassed = 0;

    void PreSubclassWindow() override;
    BOOL PreTranslateMessage(MSG* msg) override;
};

}  // namespace kg::test
#endif
