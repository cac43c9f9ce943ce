// The tests' hands and eyes on a program, from another process, as a person uses it: each action returns once the
// program has handled it or opened a box.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "framework/dc.h"
#include "framework/gdi.h"
#include "tests/support/files.h"
#include "tests/support/wait.h"
#include "tests/ui/hook.h"

namespace kg::ui {

using test::WaitFor;

// The program started without arguments, the hook set on its GUI thread (the main one) before it reads its first
// message; ended if it still runs when this goes.
class Program {
public:
    explicit Program(const std::string& path) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + path + "\"";
        ::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &started);
        ::SetWindowsHookExA(WH_GETMESSAGE, HookProc, ::GetModuleHandleA("kgui_hook.dll"), started.dwThreadId);
        ::CloseHandle(started.hThread);
    }
    ~Program() {
        if (ExitCode(0) == STILL_ACTIVE && ::TerminateProcess(started.hProcess, 1))
            ExitCode(10000);
        ::CloseHandle(started.hProcess);
    }

    // Its exit code once it has ended, waiting up to `ms` ms; STILL_ACTIVE while it runs.
    DWORD ExitCode(DWORD ms) const {
        DWORD code = STILL_ACTIVE;
        if (::WaitForSingleObject(started.hProcess, ms) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(started.hProcess, &code);
        return code;
    }

    // The visible window captioned `title` (the program runs alone on this machine), waited for up to `ms` ms.
    HWND Window(const std::string& title, DWORD ms = 5000) const {
        HWND found = nullptr;
        WaitFor(ms, [&] { return ::IsWindowVisible(found = ::FindWindowA(nullptr, title.c_str())); });
        return ::IsWindowVisible(found) ? found : nullptr;
    }

private:
    PROCESS_INFORMATION started = {};
};

// The hook's answer in the window's thread (hook.h); "" once the window has gone or when it does not answer.
inline std::string Ask(HWND window, Call call) {
    static const UINT message = ::RegisterWindowMessageA(HOOK_CALL);
    const LONG before = answers;
    if (::PostMessageA(window, message, call, 0))
        WaitFor(10000, [&] { return answers != before || !::IsWindow(window); });
    return answers != before ? answer : "";
}

// `message` posted to `window`; returns once the window's program has handled it (or opened a box), or it is gone.
inline void Post(HWND window, UINT message, WPARAM wParam = 0) {
    if (::PostMessageA(window, message, wParam, 0))
        Ask(::GetAncestor(window, GA_ROOTOWNER), PING);
}

// A control's text as a person reads it: without the "&" of its access key.
inline std::string Text(HWND window) {
    char text[1024] = "";
    std::string shown(text, ::GetWindowTextA(window, text, sizeof text));
    shown.erase(std::remove(shown.begin(), shown.end(), '&'), shown.end());
    return shown;
}

// The window's enabled buttons in tab order, " " between; with `all`, all its controls (an icon named), " | " between.
inline std::string Controls(HWND window, bool all = false) {
    std::string seen;
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = "";
        ::GetClassNameA(child, name, sizeof name);
        const bool button = lstrcmpiA(name, "Button") == 0;
        const bool icon = !button && (::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
        if (all || (button && ::IsWindowEnabled(child)))
            seen += (seen.empty() ? "" : all ? " | " : " ") + (icon ? Ask(child, STATIC_ICON) : Text(child));
    }
    return seen;
}

// Input events sent to the window, brought to the front; returns once its thread has handled them, or it is gone.
inline void Send(HWND window, std::vector<INPUT> events) {
    const HWND root = ::GetAncestor(window, GA_ROOTOWNER);
    ::SetForegroundWindow(window);
    ::SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
    WaitFor(5000, [&] { return Ask(root, PING) != "input waiting"; });
}

// What a person does: "press " a button (only when it is enabled: Wine clicks disabled buttons too), or a key typed
// after its modifiers: "Enter", "Tab", "Alt+F4".
inline void Do(HWND window, const std::string& action) {
    static const std::map<std::string, WORD> named = {
        {"Alt", VK_MENU}, {"Enter", VK_RETURN}, {"Tab", VK_TAB}, {"F4", VK_F4}};
    if (action.rfind("press ", 0) == 0) {
        const HWND button = ::FindWindowExA(window, nullptr, "Button", action.substr(6).c_str());
        if (::IsWindowEnabled(button))
            Post(button, BM_CLICK);
    } else {
        std::vector<INPUT> events;
        for (std::size_t from = 0, plus = 0; plus != std::string::npos; from = plus + 1) {
            const std::string key = action.substr(from, (plus = action.find('+', from)) - from);
            INPUT down = {INPUT_KEYBOARD, {}}, up = down;
            down.ki.wVk = up.ki.wVk = named.count(key) ? named.at(key) : ::VkKeyScanA(key[0]) & 0xFF;
            up.ki.dwFlags = KEYEVENTF_KEYUP;
            events.insert(events.begin() + events.size() / 2, {down, up});  // the modifiers go down first and up last
        }
        Send(window, events);
    }
}

// The mouse moved onto control `id`'s centre, from beside (a move to where it is brings no message), and with
// `click` clicked there; the cursor the program shows then.
inline std::string Hover(HWND window, int id, bool click = false) {
    RECT rect = {};
    ::GetWindowRect(::GetDlgItem(window, id), &rect);
    const LONG x = (rect.left + rect.right) / 2, y = (rect.top + rect.bottom) / 2;
    const int width = ::GetSystemMetrics(SM_CXSCREEN) - 1, height = ::GetSystemMetrics(SM_CYSCREEN) - 1;
    const auto event = [&](DWORD flags, LONG atX) {
        const LONG dx = MulDiv(atX, 65535, width), dy = MulDiv(y, 65535, height);
        return INPUT{INPUT_MOUSE, {{dx, dy, 0, flags | MOUSEEVENTF_ABSOLUTE, 0, 0}}};
    };
    Send(window, {event(MOUSEEVENTF_MOVE, x - 1), event(MOUSEEVENTF_MOVE, x)});
    if (click)
        Send(window, {event(MOUSEEVENTF_LEFTDOWN, x), event(MOUSEEVENTF_LEFTUP, x)});
    return Ask(window, CURSOR);
}

// The tooltip shown once the mouse rests on its tool, asked for its text (GetWindowText reads only captions).
inline std::string Tooltip() {
    char text[1024] = "(no tooltip)";
    const HWND tip = ::FindWindowA(TOOLTIPS_CLASSA, nullptr);
    WaitFor(5000, [&] {
        return ::IsWindowVisible(tip) && ::SendMessageA(tip, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    });
    return text;
}

// What Wine drew of the window on the screen: pixels 0xFFRRGGBB (opaque to a viewer), bottom row first.
inline std::vector<DWORD> ScreenPixels(HWND window, BITMAPINFOHEADER& header) {
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    header = {sizeof header, rect.right - rect.left, rect.bottom - rect.top, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    CClientDC screen(nullptr);
    CMemoryDC memory(screen);
    DWORD* bits = nullptr;
    CGdiObject bitmap;
    bitmap.Attach(::CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                     reinterpret_cast<void**>(&bits), nullptr, 0));
    const SelectGuard selected(memory, bitmap.m_hObject);
    ::BitBlt(memory, 0, 0, header.biWidth, header.biHeight, screen, rect.left, rect.top, SRCCOPY);
    std::vector<DWORD> pixels(bits, bits + header.biWidth * header.biHeight);
    for (DWORD& pixel : pixels)
        pixel |= 0xFF000000;
    return pixels;
}

// Whether control `id`'s text shows "blue" (0000FF) or "purple" (800080): its pure pixels counted on the screen.
inline std::string LinkColour(HWND window, int id) {
    BITMAPINFOHEADER header;
    long blue = 0, purple = 0;
    WaitFor(2000, [&] {  // a box that was over it may have just gone
        const std::vector<DWORD> pixels = ScreenPixels(::GetDlgItem(window, id), header);
        blue = std::count(pixels.begin(), pixels.end(), 0xFF0000FF);
        purple = std::count(pixels.begin(), pixels.end(), 0xFF800080);
        return (blue > 0) != (purple > 0);
    });
    return blue && !purple ? "blue" : purple && !blue ? "purple" : "neither, or both";
}

// The window as Wine drew it, as the BMP file `name` in `folder`.
inline void SaveScreenshot(HWND window, const std::string& folder, const std::string& name) {
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::Sleep(300);  // what was painted reaches the screen a moment later: a picture only, no check
    BITMAPINFOHEADER header;
    const std::vector<DWORD> pixels = ScreenPixels(window, header);
    const BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(sizeof file + sizeof header + pixels.size() * 4), 0, 0,
                                   sizeof file + sizeof header};
    std::ofstream(folder + "\\" + name + ".bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(&file), sizeof file)
        .write(reinterpret_cast<const char*>(&header), sizeof header)
        .write(reinterpret_cast<const char*>(pixels.data()), pixels.size() * 4);
}

// The shell's handler of http addresses: `recorder` (kgurlrecorder), which appends each to `record`; none when "".
inline void SetHttpHandler(const std::string& recorder, const std::string& record) {
    ::SHDeleteKeyA(HKEY_CLASSES_ROOT, "http");  // Wine's own handler, which answers by DDE first
    const std::string command = "\"" + recorder + "\" \"" + record + "\" \"%1\"";
    if (!recorder.empty())
        ::RegSetValueA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", REG_SZ, command.c_str(), 0);
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
