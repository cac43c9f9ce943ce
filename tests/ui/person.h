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

// The program started with exactly the argument text `arguments`, its
// standard streams on NUL; ended if it still runs when this goes.
class Program {
public:
    explicit Program(const std::string& path, const std::string& arguments = "") {
        SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
        const FileHandle nul(::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, 0, &inherited, OPEN_EXISTING, 0, nullptr));
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.Get();
        std::string commandLine = "\"" + path + "\" " + arguments;
        PROCESS_INFORMATION started = {};
        ::CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started);
        process_.Reset(started.hProcess);
        thread_.Reset(started.hThread);
        id_ = started.dwProcessId;
    }
    ~Program() {
        if (hook_ != nullptr) ::UnhookWindowsHookEx(hook_);
        if (ExitCode(0) == STILL_ACTIVE) ::TerminateProcess(process_.Get(), 1), ExitCode(10000);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Its exit code once it has ended, waiting up to `ms` ms; STILL_ACTIVE while it runs.
    DWORD ExitCode(DWORD ms) const {
        DWORD code = STILL_ACTIVE;
        return ::WaitForSingleObject(process_.Get(), ms) == WAIT_OBJECT_0 && ::GetExitCodeProcess(process_.Get(), &code) ? code : STILL_ACTIVE;
    }

    // Its visible window captioned `title`, waited for up to `ms` ms (nullptr:
    // none); the hook goes on the window's thread.
    HWND Window(const std::string& title, DWORD ms = 5000) {
        struct Search { DWORD id; const std::string& title; HWND found; } search = {id_, title, nullptr};
        WaitFor(ms, [&] {
            ::EnumWindows([](HWND window, LPARAM found) -> BOOL {
                auto& search = *reinterpret_cast<Search*>(found);
                DWORD id = 0;
                ::GetWindowThreadProcessId(window, &id);
                char text[256] = "";
                ::GetWindowTextA(window, text, sizeof text);
                if (id == search.id && ::IsWindowVisible(window) && search.title == text) search.found = window;
                return search.found == nullptr;
            }, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        });
        if (search.found != nullptr && hook_ == nullptr) {
            const HMODULE dll = ::GetModuleHandleA("kgui_hook.dll");
            hook_ = ::SetWindowsHookExA(WH_GETMESSAGE, HookProc, dll, ::GetWindowThreadProcessId(search.found, nullptr));
        }
        return search.found;
    }

private:
    FileHandle process_, thread_;
    DWORD id_ = 0;
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

inline std::string Text(HWND window) {
    char text[1024] = "";
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

// The window's controls in tab order: a person's words for each ("&" gone, icons left out), " " or " | " between.
inline std::string Controls(HWND window, bool enabledButtonsOnly) {
    std::string seen;
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = "";
        ::GetClassNameA(child, name, sizeof name);
        const bool button = lstrcmpiA(name, "Button") == 0, icon = !button && (::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
        std::string text = Text(child);
        text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
        if (enabledButtonsOnly ? button && ::IsWindowEnabled(child) : !icon) seen += (seen.empty() ? "" : enabledButtonsOnly ? " " : " | ") + text;
    }
    return seen;
}
inline std::string EnabledButtons(HWND window) { return Controls(window, true); }
inline std::string Texts(HWND window) { return Controls(window, false); }

inline GUITHREADINFO ThreadInfo(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info);
    return info;
}
inline bool Active(HWND window) { return ThreadInfo(window).hwndActive == window; }

// The focused control's label; "*" marks the default button's look (the one Enter presses).
inline std::string Focus(HWND window) {
    const HWND focus = ThreadInfo(window).hwndFocus;
    std::string label = Text(focus);
    label.erase(std::remove(label.begin(), label.end(), '&'), label.end());
    return focus == nullptr ? "nothing" : label + ((::GetWindowLongA(focus, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON ? "*" : "");
}

// Waits until what was sent or posted to `root`'s thread before has been handled.
inline void Settle(HWND root) { Ask(root, PING); }

// A button pressed, only when it is enabled: Wine clicks disabled buttons too.
inline void Press(HWND window, int id) {
    const HWND button = ::GetDlgItem(window, id), root = ::GetAncestor(window, GA_ROOTOWNER);
    if (button != nullptr && ::IsWindowEnabled(button) && ::PostMessageA(button, BM_CLICK, 0, 0)) Settle(root);
}

inline void SysCommand(HWND window, UINT command) {
    ::PostMessageA(window, WM_SYSCOMMAND, command, 0);
    Settle(window);
}

// Sends input events, then waits until the window's thread has taken `count`
// of them (`taken`: the hook's count) and handled them, or the window is gone.
inline void Send(HWND window, std::vector<INPUT> events, volatile LONG& taken, LONG count) {
    const HWND root = ::GetAncestor(window, GA_ROOTOWNER);
    Settle(root);
    ::SetForegroundWindow(window);
    const LONG before = taken;
    ::SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
    WaitFor(5000, [&] { return taken - before >= count || !::IsWindow(window); });
    Settle(root);
}

// One key and its modifiers typed into the window: "Enter", "Escape", "Tab", "F4", a letter, after "Shift+" or "Alt+".
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
    Send(window, events, keysTaken, static_cast<LONG>(events.size()));
}

// The mouse moved to `at` on the screen (and clicked there), as a hand does.
inline void Mouse(HWND window, POINT at, bool click) {
    const auto event = [](DWORD flags, POINT p) {
        INPUT input = {INPUT_MOUSE, {}};
        input.mi = {MulDiv(p.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1), MulDiv(p.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1), 0, flags | MOUSEEVENTF_ABSOLUTE, 0, 0};
        return input;
    };
    // A move to where the mouse is already brings no message: it comes from beside.
    Send(window, {event(MOUSEEVENTF_MOVE, {at.x - 1, at.y}), event(MOUSEEVENTF_MOVE, at)}, mouseTaken, 2);
    // A box that the press opens takes the release: the press is enough.
    if (click) Send(window, {event(MOUSEEVENTF_LEFTDOWN, at), event(MOUSEEVENTF_LEFTUP, at)}, mouseTaken, 1);
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

// Control `id`'s tooltip once it shows after the mouse rests on the control.
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

// Whether control `id`'s text is drawn "blue" (0000FF) or "purple" (800080): its pure pixels counted on the screen.
inline std::string LinkColour(HWND window, int id) {
    Ask(window, REPAINT);  // a box that was over it may have just gone
    RECT rect = {};
    ::GetWindowRect(::GetDlgItem(window, id), &rect);
    BITMAPINFOHEADER header;
    long blue = 0, purple = 0;
    WaitFor(2000, [&] {
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

// The shell's handler of http addresses: `recorder` (kgurlrecorder), which appends each to `record`.
inline void RecordHttpAddresses(const std::string& recorder, const std::string& record) {
    ::SHDeleteKeyA(HKEY_CLASSES_ROOT, "http");  // Wine's own handler answers by DDE first
    const std::string command = "\"" + recorder + "\" \"" + record + "\" \"%1\"";
    RegistryKey key;
    ::RegCreateKeyExA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(), nullptr);
    ::RegSetValueExA(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()), static_cast<DWORD>(command.size() + 1));
}
inline void RemoveHttpHandler() { ::SHDeleteKeyA(HKEY_CLASSES_ROOT, "http"); }

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
