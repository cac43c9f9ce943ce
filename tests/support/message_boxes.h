// Message boxes in tests: recorded instead of shown, or shown for real and
// read back and closed by a watcher thread.
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
// with IDOK at once; nothing is shown.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    const std::vector<ShownBox>& Boxes() const;

private:
    ApiOverride<decltype(sys.MessageBoxA)> override_;
};

// A real box as it appeared on the screen.
struct ScreenBox {
    std::string caption;
    std::string text;     // the box's text control
    bool hasOkButton;
    int buttonCount;
    HICON icon;           // the icon the box shows, or null
};

// While it lives, a thread watches for message boxes of this process, reads
// each one back and closes it with its OK button.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    std::vector<ScreenBox> Boxes() const;

private:
    static DWORD WINAPI Watch(LPVOID self);
    HANDLE thread_;
    HANDLE stop_;
};

// The icon a box shows for MB_ICONINFORMATION, MB_ICONEXCLAMATION, ...
HICON StandardIcon(UINT iconFlag);

}  // namespace kg::test
