// The tests' hands and eyes on a program, from another process, as a person
// uses it; the hook (hook.h) reads what only the program's own thread can.
// Each action returns once the program has handled it or opened a box: it
// polls for that, it never sleeps a fixed time.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/handle.h"
#include "tests/support/files.h"
#include "tests/ui/hook.h"

namespace kg::ui {

// Polls `done` every 20 ms for up to `ms` ms; whether it came true.
template <typename Done>
bool WaitFor(DWORD ms, Done done) {
    for (DWORD waited = 0; !done(); waited += 20) {
        if (waited >= ms) return false;
        ::Sleep(20);
    }
    return true;
}

// The program started with exactly the argument text `arguments`; ended if it still runs when this goes.
class Program {
public:
    explicit Program(const std::string& path, const std::string& arguments = "") {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + path + "\" " + arguments;
        PROCESS_INFORMATION started = {};
        ::CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started);
        process_.Reset(started.hProcess);
        thread_.Reset(started.hThread);
    }
    ~Program() {
        if (hook_ != nullptr) ::UnhookWindowsHookEx(hook_);
        if (ExitCode(0) == STILL_ACTIVE && ::TerminateProcess(process_.Get(), 1)) ExitCode(10000);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Its exit code once it has ended, waiting up to `ms` ms; STILL_ACTIVE while it runs.
    DWORD ExitCode(DWORD ms) const {
        DWORD code = STILL_ACTIVE;
        return ::WaitForSingleObject(process_.Get(), ms) == WAIT_OBJECT_0 && ::GetExitCodeProcess(process_.Get(), &code) ? code : STILL_ACTIVE;
    }

    // The visible window captioned `title` (the program's: it runs alone on
    // this machine), waited for up to `ms` ms; the hook goes on its thread.
    HWND Window(const std::string& title, DWORD ms = 5000) {
        HWND found = nullptr;
        WaitFor(ms, [&] { return ::IsWindowVisible(found = ::FindWindowA(nullptr, title.c_str())); });
        if (found != nullptr && hook_ == nullptr) {
            hook_ = ::SetWindowsHookExA(WH_GETMESSAGE, HookProc, ::GetModuleHandleA("kgui_hook.dll"), ::GetWindowThreadProcessId(found, nullptr));
        }
        return ::IsWindowVisible(found) ? found : nullptr;
    }

private:
    FileHandle process_, thread_;
    HHOOK hook_ = nullptr;
};

// The hook's answer in the window's thread (hook.h); "" once the window has gone.
inline std::string Ask(HWND window, Call call) {
    static const UINT message = ::RegisterWindowMessageA(HOOK_CALL);
    const LONG before = answers;
    if (!::IsWindow(window) || !::PostMessageA(window, message, call, 0)) return "";
    if (!WaitFor(10000, [&] { return answers != before || !::IsWindow(window); })) return "(the hook did not answer)";
    return answers != before ? answer : "";
}

// A control's text as a person reads it: without the "&" of its access key.
inline std::string Text(HWND window) {
    char text[1024] = "";
    ::GetWindowTextA(window, text, sizeof text);
    std::string shown = text;
    shown.erase(std::remove(shown.begin(), shown.end(), '&'), shown.end());
    return shown;
}

// The window's enabled buttons in tab order, " " between; with `all`, the texts of all its controls but icons, " | " between.
inline std::string Controls(HWND window, bool all = false) {
    std::string seen;
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = "";
        ::GetClassNameA(child, name, sizeof name);
        const bool button = lstrcmpiA(name, "Button") == 0, icon = !button && (::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
        if (all ? !icon : button && ::IsWindowEnabled(child)) seen += (seen.empty() ? "" : all ? " | " : " ") + Text(child);
    }
    return seen;
}

inline GUITHREADINFO ThreadInfo(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info);
    return info;
}

// The focused control's text; "*" marks the default button's look (the one Enter presses).
inline std::string Focus(HWND window) {
    const HWND focus = ThreadInfo(window).hwndFocus;
    return focus == nullptr ? "nothing" : Text(focus) + ((::GetWindowLongA(focus, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON ? "*" : "");
}

// A button pressed, only when it is enabled: Wine clicks disabled buttons too.
inline void Press(HWND window, int id) {
    const HWND button = ::GetDlgItem(window, id), root = ::GetAncestor(window, GA_ROOTOWNER);
    if (::IsWindowEnabled(button) && ::PostMessageA(button, BM_CLICK, 0, 0)) Ask(root, PING);
}

inline void SysCommand(HWND window, UINT command) {
    ::PostMessageA(window, WM_SYSCOMMAND, command, 0);
    Ask(window, PING);
}

// Input events sent to the window, brought to the front; returns once its
// thread has taken them from its queue and handled them, or it is gone.
inline void Send(HWND window, std::vector<INPUT> events) {
    const HWND root = ::GetAncestor(window, GA_ROOTOWNER);
    Ask(root, PING);
    ::SetForegroundWindow(window);
    ::SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
    WaitFor(5000, [&] { return Ask(root, PING) != "input waiting"; });
}

// One key and its modifiers typed: "Enter", "Escape", "Tab", "F4", a letter, after "Shift+" or "Alt+".
inline void Type(HWND window, const std::string& keys) {
    static const std::map<std::string, WORD> named = {{"Shift", VK_SHIFT}, {"Alt", VK_MENU}, {"Enter", VK_RETURN}, {"Escape", VK_ESCAPE}, {"Tab", VK_TAB}, {"F4", VK_F4}};
    std::vector<INPUT> events;
    for (std::size_t from = 0, plus = 0; plus != std::string::npos; from = plus + 1) {
        plus = keys.find('+', from);
        const std::string key = keys.substr(from, plus - from);
        INPUT down = {INPUT_KEYBOARD, {}}, up = down;
        down.ki.wVk = up.ki.wVk = named.count(key) ? named.at(key) : ::VkKeyScanA(key[0]) & 0xFF;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        // Inside the keys before it: the modifiers go down first and up last.
        events.insert(events.begin() + events.size() / 2, {down, up});
    }
    Send(window, events);
}

// The mouse moved to `at` on the screen (and clicked there), as a hand does.
inline void Mouse(HWND window, POINT at, bool click) {
    const auto event = [](DWORD flags, POINT p) {
        INPUT input = {INPUT_MOUSE, {}};
        input.mi = {MulDiv(p.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1), MulDiv(p.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1), 0, flags | MOUSEEVENTF_ABSOLUTE, 0, 0};
        return input;
    };
    // A move to where the mouse is already brings no message: it comes from beside.
    Send(window, {event(MOUSEEVENTF_MOVE, {at.x - 1, at.y}), event(MOUSEEVENTF_MOVE, at)});
    if (click) Send(window, {event(MOUSEEVENTF_LEFTDOWN, at), event(MOUSEEVENTF_LEFTUP, at)});
}

inline POINT Centre(HWND control) {
    RECT rect = {};
    ::GetWindowRect(control, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// The cursor the program shows once the mouse rests on control `id`.
inline std::string Hover(HWND window, int id) {
    Mouse(window, Centre(::GetDlgItem(window, id)), false);
    return Ask(window, CURSOR);
}
inline void Click(HWND window, int id) { Mouse(window, Centre(::GetDlgItem(window, id)), true); }

inline void ClickCloseBox(HWND window) {
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    for (LONG y = rect.top; y < rect.top + 40; ++y) {
        for (LONG x = rect.right - 1; x > rect.right - 80; --x) {
            if (::SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) return Mouse(window, {x, y}, true);
        }
    }
}

// Control `id`'s tooltip once it shows, after the mouse comes to rest there.
inline std::string Tooltip(HWND window, int id) {
    Hover(window, id);
    std::string text;
    WaitFor(5000, [&] { return !(text = Ask(::GetDlgItem(window, id), TOOLTIP)).empty(); });
    return text.empty() ? "(no tooltip)" : text;
}

// What Wine drew in `rect` of the screen: opaque 32-bit pixels 0xFFRRGGBB (a
// viewer reads the top byte as alpha), bottom row first.
inline std::vector<DWORD> ScreenPixels(const RECT& rect, BITMAPINFOHEADER& header) {
    header = {sizeof header, rect.right - rect.left, rect.bottom - rect.top, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> pixels(header.biWidth * header.biHeight);
    const std::unique_ptr<HDC__, void (*)(HDC)> screen(::GetDC(nullptr), [](HDC dc) { ::ReleaseDC(nullptr, dc); });
    const std::unique_ptr<HDC__, BOOL(WINAPI*)(HDC)> memory(::CreateCompatibleDC(screen.get()), ::DeleteDC);
    const std::unique_ptr<HBITMAP__, BOOL(WINAPI*)(HGDIOBJ)> bitmap(::CreateCompatibleBitmap(screen.get(), header.biWidth, header.biHeight), ::DeleteObject);
    const HGDIOBJ before = ::SelectObject(memory.get(), bitmap.get());
    ::BitBlt(memory.get(), 0, 0, header.biWidth, header.biHeight, screen.get(), rect.left, rect.top, SRCCOPY);
    ::SelectObject(memory.get(), before);
    ::GetDIBits(memory.get(), bitmap.get(), 0, header.biHeight, pixels.data(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    for (DWORD& pixel : pixels) pixel |= 0xFF000000;
    return pixels;
}

// Whether control `id`'s text shows "blue" (0000FF) or "purple" (800080): its pure pixels counted on the screen.
inline std::string LinkColour(HWND window, int id) {
    RECT rect = {};
    ::GetWindowRect(::GetDlgItem(window, id), &rect);
    BITMAPINFOHEADER header;
    long blue = 0, purple = 0;
    WaitFor(2000, [&] {  // a box that was over it may have just gone
        const std::vector<DWORD> pixels = ScreenPixels(rect, header);
        blue = std::count(pixels.begin(), pixels.end(), 0xFF0000FF);
        purple = std::count(pixels.begin(), pixels.end(), 0xFF800080);
        return (blue > 0) != (purple > 0);
    });
    return blue && !purple ? "blue" : purple && !blue ? "purple" : std::to_string(blue) + " blue and " + std::to_string(purple) + " purple pixels";
}

// The window as Wine drew it, as a BMP file.
inline void SaveScreenshot(HWND window, const std::string& path) {
    Ask(window, REPAINT);
    ::Sleep(300);  // what was painted reaches the screen a moment later: a picture only, no check
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    BITMAPINFOHEADER header;
    const std::vector<DWORD> pixels = ScreenPixels(rect, header);
    const BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(sizeof file + sizeof header + pixels.size() * 4), 0, 0, sizeof file + sizeof header};
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(&file), sizeof file).write(reinterpret_cast<const char*>(&header), sizeof header)
        .write(reinterpret_cast<const char*>(pixels.data()), pixels.size() * 4);
}

// The shell's handler of http addresses: `recorder` (kgurlrecorder), which
// appends each to `record`; none at all when `recorder` is empty.
inline void SetHttpHandler(const std::string& recorder, const std::string& record) {
    ::SHDeleteKeyA(HKEY_CLASSES_ROOT, "http");  // Wine's own handler, which answers by DDE first
    const std::string command = "\"" + recorder + "\" \"" + record + "\" \"%1\"";
    RegistryKey key;
    if (!recorder.empty() && ::RegCreateKeyExA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(), nullptr) == ERROR_SUCCESS) {
        ::RegSetValueExA(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()), static_cast<DWORD>(command.size() + 1));
    }
}

// The addresses recorded, one a line, once there are `count` (the shell returns before its handler runs).
inline std::string Opened(const std::string& record, long count) {
    std::string lines;
    WaitFor(15000, [&] {
        lines = test::ReadBytes(record);
        return std::count(lines.begin(), lines.end(), '\n') >= count;
    });
    return lines == "(missing)" ? "" : lines;
}

}  // namespace kg::ui
