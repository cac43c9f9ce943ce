// kgpilot: uses the program under test as a person would, from another
// process: starts it, finds its windows, reads their controls, presses
// buttons, types keys, clicks the close box, sends system commands and takes
// screenshots. What only the program's own thread can read (the system menu,
// icons, what a paint draws) its hook answers (pilot_hook.cpp).
//
// One command a line on standard input, its arguments separated by tabs;
// one JSON object a line in reply. A window W is named by its handle's
// number or by its caption (a visible window of the program, waited for up
// to 10 s). Commands that post to the program return once it has handled
// what they posted, or is inside a modal loop (a message box) it opened.
//   start PROGRAM [ARGS]      run PROGRAM with exactly the argument text ARGS
//   exit MS                   its exit code, waiting up to MS ms (null: runs)
//   window TITLE MS           its visible window with caption TITLE, or null
//   read W                    caption, state, focus and controls
//   click W ID                BM_CLICK posted to an enabled button
//   keys W KEY...             keys typed into the window: Enter, Escape, Tab,
//                             Space, F4, a letter, with Shift+, Alt+, Ctrl+
//   close-box W               a mouse click on the window's close box
//   syscommand W ID           WM_SYSCOMMAND posted
//   sysmenu|icons|paint W     what the hook reads (pilot_hook.cpp)
//   shot W|0 PATH             the window (0: the screen) as a BMP file
//   message CODE              the system's text for an error code
//   hover W ID                the mouse moved onto control ID's centre: the
//                             cursor the program shows then
//   press W ID                a mouse click on control ID's centre
//   colours W ID              control ID's rectangle and its pure blue
//                             (0000FF) and purple (800080) pixels on the screen
//   tooltip W ID              the text of control ID's tool 1 and whether
//                             its tooltip is showing (the hook reads them)
//   settext W ID TEXT         control ID's text set from outside
//   http [COMMAND]            COMMAND as the handler of http addresses;
//                             without: no handler at all (HKCR\http removed)
#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/ui/json.h"
#include "tests/ui/pilot_shared.h"

namespace {

using namespace kg::pilot;

struct Handle {
    explicit Handle(HANDLE h = nullptr) : h(h) {}
    ~Handle() {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE h;
};

// The hook on the program's GUI thread, set on first use.
struct Hook {
    ~Hook() { Reset(); }
    void Reset() {
        if (h) UnhookWindowsHookEx(h);
        h = nullptr;
        thread = 0;
    }
    HHOOK h = nullptr;
    DWORD thread = 0;
};

const Handle mapping(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Shared), SHARED_NAME));
Shared* const shared = static_cast<Shared*>(MapViewOfFile(mapping.h, FILE_MAP_WRITE, 0, 0, sizeof(Shared)));
const Handle replied(CreateEventA(nullptr, FALSE, FALSE, REPLY_EVENT));
const UINT callMessage = RegisterWindowMessageA(CALL_MESSAGE);

PROCESS_INFORMATION program = {};
Hook hook;

void EndProgramHandles() {
    if (program.hProcess) CloseHandle(program.hProcess);
    if (program.hThread) CloseHandle(program.hThread);
    program = {};
}

std::string Number(HWND window) { return std::to_string(reinterpret_cast<UINT_PTR>(window)); }
std::string Text(HWND window) {
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}
std::string ClassName(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::vector<HWND> ProgramWindows() {
    std::vector<HWND> windows;
    EnumWindows(
        [](HWND window, LPARAM list) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            if (pid == program.dwProcessId && IsWindowVisible(window)) {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Polls `done` every 50 ms for up to `ms` ms.
template <typename Done>
bool WaitFor(DWORD ms, Done done) {
    for (DWORD waited = 0;; waited += 50) {
        if (done()) return true;
        if (waited >= ms) return false;
        Sleep(50);
    }
}

std::string Start(const std::vector<std::string>& args) {
    EndProgramHandles();
    hook.Reset();
    std::string commandLine = "\"" + args[1] + "\"" + (args.size() > 2 ? " " + args[2] : "");
    // Its standard streams are not the pilot's replies.
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    const Handle nul(CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                 OPEN_EXISTING, 0, nullptr));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.h;
    if (!CreateProcessA(args[1].c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &program)) {
        return "{\"error\": " + std::to_string(GetLastError()) + "}";
    }
    return "{\"pid\": " + std::to_string(program.dwProcessId) + "}";
}

std::string Exit(DWORD ms) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(program.hProcess, ms) != WAIT_OBJECT_0 || !GetExitCodeProcess(program.hProcess, &code)) {
        return "{\"exit\": null}";
    }
    return "{\"exit\": " + std::to_string(code) + "}";
}

HWND FindWindowTitled(const std::string& title, DWORD ms) {
    HWND found = nullptr;
    WaitFor(ms, [&] {
        for (HWND window : ProgramWindows()) {
            if (Text(window) == title) found = window;
        }
        return found != nullptr;
    });
    return found;
}

HWND ToWindow(const std::string& name) {
    if (name.find_first_not_of("0123456789") == std::string::npos) {
        return reinterpret_cast<HWND>(std::strtoull(name.c_str(), nullptr, 10));
    }
    return FindWindowTitled(name, 10000);
}

std::string Read(HWND window) {
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui);
    std::string controls;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        controls += std::string(controls.empty() ? "" : ", ") + "{\"id\": " + std::to_string(GetDlgCtrlID(child)) +
                    ", \"class\": " + Quote(ClassName(child)) + ", \"text\": " + Quote(Text(child)) +
                    ", \"enabled\": " + Bool(IsWindowEnabled(child)) + ", \"focused\": " +
                    Bool(child == gui.hwndFocus) + ", \"style\": " + std::to_string(GetWindowLongA(child, GWL_STYLE)) +
                    "}";
    }
    return "{\"title\": " + Quote(Text(window)) + ", \"enabled\": " + Bool(IsWindowEnabled(window)) +
           ", \"active\": " + Bool(gui.hwndActive == window) + ", \"owner\": " + Number(GetWindow(window, GW_OWNER)) +
           ", \"controls\": [" + controls + "]}";
}

// Sets the hook on the window's thread and waits until it answers there.
std::string CallHook(HWND window, Call call) {
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (hook.thread != thread) {
        hook.Reset();
        const HMODULE dll = GetModuleHandleA("kgpilot_hook.dll");
        const auto proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(dll, "PilotHook")));
        hook.h = SetWindowsHookExA(WH_GETMESSAGE, proc, dll, thread);
        hook.thread = hook.h ? thread : 0;
    }
    shared->call = call;
    shared->window = window;
    ResetEvent(replied.h);
    PostMessageA(window, callMessage, 0, 0);
    // A window that goes meanwhile drops what was posted to it: what was
    // posted before has been handled then.
    for (int waited = 0; waited < 10000; waited += 50) {
        if (WaitForSingleObject(replied.h, 50) == WAIT_OBJECT_0) return shared->reply;
        if (!IsWindow(window)) return "{}";
    }
    return "{\"error\": \"the hook did not answer\"}";
}

std::string Click(HWND window, int id) {
    const HWND button = GetDlgItem(window, id);
    // Wine clicks a disabled button too; a person cannot.
    if (button == nullptr || !IsWindowEnabled(button)) return "{\"clicked\": false}";
    PostMessageA(button, BM_CLICK, 0, 0);
    const std::string handled = CallHook(GetAncestor(window, GA_ROOTOWNER), Call::Ping);
    return handled == "{}" ? "{\"clicked\": true}" : handled;
}

// One key as SendInput events: modifiers down, the key down and up,
// modifiers up.
std::vector<INPUT> KeyEvents(std::string name) {
    static const struct {
        const char* name;
        WORD key;
    } modifiers[] = {{"Shift+", VK_SHIFT}, {"Alt+", VK_MENU}, {"Ctrl+", VK_CONTROL}},
      keys[] = {{"Enter", VK_RETURN}, {"Escape", VK_ESCAPE}, {"Tab", VK_TAB}, {"Space", VK_SPACE}, {"F4", VK_F4}};
    std::vector<WORD> down;
    for (bool more = true; more;) {
        more = false;
        for (const auto& m : modifiers) {
            if (name.rfind(m.name, 0) == 0) {
                down.push_back(m.key);
                name.erase(0, std::strlen(m.name));
                more = true;
            }
        }
    }
    WORD key = name.size() == 1 ? static_cast<WORD>(VkKeyScanA(name[0]) & 0xFF) : 0;
    for (const auto& k : keys) {
        if (name == k.name) key = k.key;
    }
    if (key == 0) return {};
    down.push_back(key);
    std::vector<INPUT> events;
    const auto event = [&events](WORD k, DWORD flags) {
        INPUT input = {INPUT_KEYBOARD, {}};
        input.ki.wVk = k;
        input.ki.dwFlags = flags;
        events.push_back(input);
    };
    for (WORD k : down) event(k, 0);
    for (auto k = down.rbegin(); k != down.rend(); ++k) event(*k, KEYEVENTF_KEYUP);
    return events;
}

// Types the keys into the window and waits until its thread has taken every
// key message and handled what they caused.
std::string Keys(HWND window, const std::vector<std::string>& names) {
    std::vector<INPUT> events;
    for (const std::string& name : names) {
        const std::vector<INPUT> key = KeyEvents(name);
        if (key.empty()) return "{\"error\": " + Quote("unknown key " + name) + "}";
        events.insert(events.end(), key.begin(), key.end());
    }
    const std::string ping = CallHook(window, Call::Ping);
    if (ping != "{}") return ping;
    SetForegroundWindow(window);
    const LONG before = shared->keyMessages;
    SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
    const LONG sent = static_cast<LONG>(events.size());
    WaitFor(5000, [&] { return shared->keyMessages - before >= sent || WaitForSingleObject(program.hProcess, 0) == WAIT_OBJECT_0; });
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
    return "{\"sent\": " + std::to_string(sent) + ", \"taken\": " + std::to_string(shared->keyMessages - before) + "}";
}

INPUT MouseEvent(DWORD flags, POINT at) {
    INPUT input = {INPUT_MOUSE, {}};
    input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return input;
}

std::string CloseBox(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    for (LONG y = rect.top; y < rect.top + 40; ++y) {
        for (LONG x = rect.right - 1; x > rect.right - 80; --x) {
            DWORD_PTR hit = 0;
            SendMessageTimeoutA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_NORMAL, 2000, &hit);
            if (hit == HTCLOSE) {
                SetForegroundWindow(window);
                INPUT click[] = {MouseEvent(MOUSEEVENTF_MOVE, {x, y}), MouseEvent(MOUSEEVENTF_LEFTDOWN, {x, y}),
                                 MouseEvent(MOUSEEVENTF_LEFTUP, {x, y})};
                SendInput(3, click, sizeof(INPUT));
                return "{\"clicked\": true}";
            }
        }
    }
    return "{\"clicked\": false}";
}

// The window as it is on the screen, what Wine drew, as a 24-bit BMP.
std::string Shot(HWND window, const std::string& path) {
    RECT rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (window != nullptr) {
        CallHook(window, Call::Update);
        GetWindowRect(window, &rect);
    }
    // What was painted reaches the screen a moment later.
    Sleep(300);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    BITMAPINFOHEADER header = {sizeof header, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const DWORD rowBytes = (width * 3 + 3) & ~3u;
    std::vector<BYTE> pixels(rowBytes * height);
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, previous);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(sizeof file + sizeof header + pixels.size()), 0, 0,
                             sizeof file + sizeof header};
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return "{\"error\": " + Quote("cannot write " + path) + "}";
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&header, sizeof header, 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out);
    std::fclose(out);
    return "{\"size\": [" + std::to_string(width) + ", " + std::to_string(height) + "]}";
}

std::string Message(DWORD code) {
    char text[1024] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    return "{\"text\": " + Quote(text) + "}";
}

HWND Control(HWND window, const std::string& id) { return GetDlgItem(window, std::atoi(id.c_str())); }

// Sends the mouse events and waits until the program's thread has taken
// `expected` mouse messages from its queue, so that what they caused has
// happened; false when it has not within `ms` ms.
bool SendMouse(std::vector<INPUT> events, LONG expected, DWORD ms) {
    const LONG before = shared->mouseMessages;
    SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
    return WaitFor(ms, [&] { return shared->mouseMessages - before >= expected; });
}

// Moves the mouse to `at` (and clicks there), as a person's hand does.
std::string Mouse(HWND window, POINT at, bool click) {
    const std::string ping = CallHook(window, Call::Ping);
    if (ping != "{}") return ping;
    SetForegroundWindow(window);
    // A move to where the mouse is already brings no message: come from beside.
    SendMouse({MouseEvent(MOUSEEVENTF_MOVE, {at.x - 1, at.y})}, 1, 300);
    bool taken = SendMouse({MouseEvent(MOUSEEVENTF_MOVE, at)}, 1, 5000);
    if (taken && click) {
        // The button's release may never come: a box that the press opened
        // disables the window under the mouse.
        taken = SendMouse({MouseEvent(MOUSEEVENTF_LEFTDOWN, at), MouseEvent(MOUSEEVENTF_LEFTUP, at)}, 1, 5000);
    }
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
    return taken ? "{}" : "{\"error\": \"the program did not take the mouse messages\"}";
}

POINT Centre(HWND control) {
    RECT rect = {};
    GetWindowRect(control, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

std::string Hover(HWND window, HWND control) {
    const std::string moved = Mouse(window, Centre(control), false);
    return moved != "{}" ? moved : CallHook(window, Call::Cursor);
}

std::string Colours(HWND window, HWND control) {
    const std::string painted = CallHook(window, Call::Update);  // a box that was over it may have just gone
    if (painted != "{}") return painted;
    RECT rect = {};
    GetWindowRect(control, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    int blue = 0, purple = 0;
    const HDC screen = GetDC(nullptr);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF pixel = GetPixel(screen, rect.left + x, rect.top + y);
            blue += pixel == RGB(0, 0, 255);
            purple += pixel == RGB(128, 0, 128);
        }
    }
    ReleaseDC(nullptr, screen);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return "{\"rect\": [" + std::to_string(rect.left) + ", " + std::to_string(rect.top) + ", " +
           std::to_string(rect.right) + ", " + std::to_string(rect.bottom) + "], \"blue\": " + std::to_string(blue) +
           ", \"purple\": " + std::to_string(purple) + "}";
}

std::string HttpHandler(const std::string& command) {
    if (command.empty()) {
        return "{\"deleted\": " + std::to_string(SHDeleteKeyA(HKEY_CLASSES_ROOT, "http")) + "}";
    }
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                static_cast<DWORD>(command.size() + 1));
        RegCloseKey(key);
    }
    // Wine's own handler answers by DDE first; without that the command runs.
    SHDeleteKeyA(HKEY_CLASSES_ROOT, "http\\shell\\open\\ddeexec");
    return "{\"set\": " + std::to_string(status) + "}";
}

std::string Run(const std::vector<std::string>& args) {
    const std::string& command = args[0];
    const auto arg = [&](std::size_t i) { return i < args.size() ? args[i] : std::string(); };
    const auto number = [&](std::size_t i) { return std::strtoul(arg(i).c_str(), nullptr, 0); };
    if (command == "start" && args.size() >= 2) return Start(args);
    if (command == "exit") return Exit(number(1));
    if (command == "window") {
        const HWND found = FindWindowTitled(arg(1), number(2));
        return "{\"hwnd\": " + (found ? Number(found) : "null") + "}";
    }
    if (command == "message") return Message(number(1));
    if (command == "http") return HttpHandler(arg(1));
    const HWND window = ToWindow(arg(1));
    if (window == nullptr && command != "shot") return "{\"error\": " + Quote("no window " + arg(1)) + "}";
    if (command == "read") return Read(window);
    if (command == "click") return Click(window, static_cast<int>(number(2)));
    if (command == "keys") return Keys(window, std::vector<std::string>(args.begin() + 2, args.end()));
    if (command == "close-box") return CloseBox(window);
    if (command == "syscommand") {
        PostMessageA(window, WM_SYSCOMMAND, number(2), 0);
        return CallHook(window, Call::Ping);
    }
    if (command == "sysmenu") return CallHook(window, Call::SystemMenu);
    if (command == "icons") return CallHook(window, Call::Icons);
    if (command == "paint") return CallHook(window, Call::Paint);
    if (command == "shot") return Shot(window, arg(2));
    if (command == "hover") return Hover(window, Control(window, arg(2)));
    if (command == "press") return Mouse(window, Centre(Control(window, arg(2))), true);
    if (command == "colours") return Colours(window, Control(window, arg(2)));
    if (command == "tooltip") return CallHook(Control(window, arg(2)), Call::Tooltip);
    if (command == "settext") {
        return std::string("{\"set\": ") + Bool(SetWindowTextA(Control(window, arg(2)), arg(3).c_str())) + "}";
    }
    return "{\"error\": " + Quote("unknown command " + command) + "}";
}

}  // namespace

int main() {
    if (shared == nullptr || replied.h == nullptr || LoadLibraryA("kgpilot_hook.dll") == nullptr) {
        std::puts("{\"error\": \"no shared block or hook\"}");
        return 1;
    }
    char line[4096];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        line[std::strcspn(line, "\r\n")] = '\0';
        std::vector<std::string> args;
        for (const char* p = line;; ++p) {
            const char* end = std::strchr(p, '\t');
            args.emplace_back(p, end ? end : p + std::strlen(p));
            if (end == nullptr) break;
            p = end;
        }
        std::printf("%s\n", Run(args).c_str());
        std::fflush(stdout);
    }
    EndProgramHandles();
    UnmapViewOfFile(shared);
    return 0;
}
