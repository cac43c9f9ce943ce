#include "tests/installer/test_app.h"

namespace kg::test {

CWinApp& TestApp() {
    static CWinApp app;
    static const bool started = [] {
        static char noArguments[] = "";
        app.Run(::GetModuleHandleA(nullptr), noArguments);
        return true;
    }();
    (void)started;
    return app;
}

}  // namespace kg::test
