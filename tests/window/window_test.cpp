#include "tests/window/window_test.h"

namespace kg::test {

CWinApp& App() {
    static CWinApp app("window_tests");
    return app;
}

TopWindow::TopWindow() { CreateEx(0, "STATIC", "top", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr); }

void LoggingStatic::PreSubclassWindow() { ++subclassed; }

BOOL LoggingStatic::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN) {
        *log += "label ";
    }
    return msg->message == WM_KEYDOWN && eatKeys ? TRUE : CStatic::PreTranslateMessage(msg);
}

}  // namespace kg::test
