#include "tests/support/message_boxes.h"

#include <mutex>

namespace kg::test {
namespace {

std::vector<ShownBox> recorded;

int WINAPI RecordBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    recorded.push_back({owner, text != nullptr ? text : "", caption != nullptr ? caption : "", type});
    return IDOK;
}

std::mutex screenMutex;
std::vector<ScreenBox> screenBoxes;

// The controls of a message box, as the system builds it.
constexpr int BOX_TEXT_ID = 0xFFFF;
constexpr int BOX_ICON_ID = 0x0440;

std::string WindowText(HWND window) {
    char text[2048] = "";
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

BOOL CALLBACK CountButton(HWND child, LPARAM count) {
    char className[32] = "";
    ::GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Button") == 0) {
        ++*reinterpret_cast<int*>(count);
    }
    return TRUE;
}

BOOL CALLBACK FindBox(HWND window, LPARAM found) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    char className[16] = "";
    ::GetClassNameA(window, className, sizeof className);
    if (process == ::GetCurrentProcessId() && lstrcmpA(className, "#32770") == 0 && ::IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

MessageBoxRecorder::MessageBoxRecorder() : override_(sys.MessageBoxA, RecordBox) { recorded.clear(); }
MessageBoxRecorder::~MessageBoxRecorder() { recorded.clear(); }
const std::vector<ShownBox>& MessageBoxRecorder::Boxes() const { return recorded; }

MessageBoxWatcher::MessageBoxWatcher() {
    stop_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    {
        std::lock_guard<std::mutex> lock(screenMutex);
        screenBoxes.clear();
    }
    thread_ = ::CreateThread(nullptr, 0, Watch, this, 0, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher() {
    ::SetEvent(stop_);
    ::WaitForSingleObject(thread_, INFINITE);
    ::CloseHandle(thread_);
    ::CloseHandle(stop_);
}

std::vector<ScreenBox> MessageBoxWatcher::Boxes() const {
    std::lock_guard<std::mutex> lock(screenMutex);
    return screenBoxes;
}

DWORD WINAPI MessageBoxWatcher::Watch(LPVOID self) {
    const MessageBoxWatcher* watcher = static_cast<MessageBoxWatcher*>(self);
    while (::WaitForSingleObject(watcher->stop_, 50) == WAIT_TIMEOUT) {
        HWND box = nullptr;
        ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
        if (box == nullptr) {
            continue;
        }
        ::Sleep(100);  // let the box finish laying itself out
        ScreenBox seen{};
        seen.caption = WindowText(box);
        seen.text = WindowText(::GetDlgItem(box, BOX_TEXT_ID));
        seen.hasOkButton = ::GetDlgItem(box, IDOK) != nullptr;
        ::EnumChildWindows(box, CountButton, reinterpret_cast<LPARAM>(&seen.buttonCount));
        seen.icon = reinterpret_cast<HICON>(::SendDlgItemMessageA(box, BOX_ICON_ID, STM_GETICON, 0, 0));
        {
            std::lock_guard<std::mutex> lock(screenMutex);
            screenBoxes.push_back(seen);
        }
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
        while (::IsWindow(box) && ::WaitForSingleObject(watcher->stop_, 20) == WAIT_TIMEOUT) {
        }
    }
    return 0;
}

HICON StandardIcon(UINT iconFlag) {
    switch (iconFlag & MB_ICONMASK) {
    case MB_ICONINFORMATION: return ::LoadIconA(nullptr, IDI_INFORMATION);
    case MB_ICONEXCLAMATION: return ::LoadIconA(nullptr, IDI_EXCLAMATION);
    case MB_ICONSTOP: return ::LoadIconA(nullptr, IDI_HAND);
    case MB_ICONQUESTION: return ::LoadIconA(nullptr, IDI_QUESTION);
    default: return nullptr;
    }
}

}  // namespace kg::test
