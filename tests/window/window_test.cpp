#include "tests/window/window_test.h"

namespace kg::test {

CWinApp& App() {
    static CWinApp app("window_tests");
    return app;
}

TopWindow::TopWindow() { CreateEx(0, "STATIC", "top", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr); }

}  // namespace kg::test
