// Message boxes recorded instead of shown, for tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/api_override.h"

namespace kg::test {

struct ShownBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

// While it lives, every message box of the program is recorded and answered
// with IDOK at once; nothing is shown. The tests' one recorder of boxes.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    const std::vector<ShownBox>& Boxes() const;
    // Each box so far as "[icon: text]" ("exclamation", "information",
    // "stop" or "plain"), "owned" before the icon when it has an owner.
    std::string Told() const;

private:
    ApiOverride<decltype(sys.MessageBoxA)> swap;
};

}  // namespace kg::test
