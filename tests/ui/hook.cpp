// The tests' hook in the program under test: see hook.h.
#define KG_HOOK_API __declspec(dllexport)
#include "tests/ui/hook.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#define SHARED __attribute__((section(".kgshare"), shared))
extern "C" {
volatile LONG answers SHARED = 0;
char answer[4096] SHARED = "";
}

namespace kg::ui {
namespace {

// What an icon or cursor is, among those the program and the system load.
std::string Name(HANDLE handle) {
    const HINSTANCE program = GetModuleHandleA(nullptr);
    const std::pair<HANDLE, const char*> known[] = {{nullptr, "none"},
                                                    {LoadIconA(program, MAKEINTRESOURCEA(128)), "icon 128"},
                                                    {LoadCursorA(program, MAKEINTRESOURCEA(23460)), "hand"},
                                                    {LoadCursorA(nullptr, IDC_ARROW), "arrow"},
                                                    {LoadIconA(nullptr, IDI_ASTERISK), "information"},
                                                    {LoadIconA(nullptr, IDI_EXCLAMATION), "exclamation"},
                                                    {LoadIconA(nullptr, IDI_HAND), "stop"}};
    const auto found =
        std::find_if(std::begin(known), std::end(known), [&](const auto& name) { return name.first == handle; });
    return found != std::end(known) ? found->second : "another one";
}
std::string Name(LRESULT handle) { return Name(reinterpret_cast<HANDLE>(handle)); }

// Wine puts items of its own in every system menu: the program's come last.
std::string MenuEnd(HWND window) {
    const HMENU menu = GetSystemMenu(window, FALSE);
    std::string items;
    for (int i = GetMenuItemCount(menu) - 2; i >= 0 && i < GetMenuItemCount(menu); ++i) {
        char text[256] = "";
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        const bool separator = GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR;
        items += (items.empty() ? "" : " | ") +
                 (separator ? "separator" : std::to_string(GetMenuItemID(menu, i)) + " " + text);
    }
    return items;
}

std::string StaticIcon(HWND window) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            return Name(SendMessageA(child, STM_GETICON, 0, 0));
    }
    return "no icon";
}

// The text of the control's tool 1 while its tooltip shows; "" otherwise.
std::string Tooltip(HWND control) {
    for (HWND tip = FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); tip;
         tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr)) {
        char text[1024] = "";
        TOOLINFOA tool = {TTTOOLINFOA_V1_SIZE, 0, control, 1, {}, nullptr, text, 0, nullptr};
        if (SendMessageA(tip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool)))
            return IsWindowVisible(tip) ? text : "";
    }
    return "";
}

// What a WM_PAINT draws: the program's DrawIcon calls, taken through its
// import table, and its WM_ICONERASEBKGND, through a subclass.
std::string drawn;
int erased = 0;
WNDPROC windowProc = nullptr;

BOOL WINAPI RecordDrawIcon(HDC dc, int x, int y, HICON icon) {
    drawn += (drawn.empty() ? "" : "; ") + Name(icon) + " at " + std::to_string(x) + "," + std::to_string(y);
    return DrawIcon(dc, x, y, icon);
}

LRESULT CALLBACK RecordErase(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    erased += message == WM_ICONERASEBKGND;
    return CallWindowProcA(windowProc, window, message, wParam, lParam);
}

// Makes the program's import slot that holds `from` hold `to`; false when there is none.
bool Reroute(void* from, void* to) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
             base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
         dll->Name; ++dll) {
        for (auto* slot = reinterpret_cast<void**>(base + dll->FirstThunk); *slot; ++slot) {
            DWORD protection = 0;
            if (*slot == from && VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection))
                return *slot = to, VirtualProtect(slot, sizeof *slot, protection, &protection);
        }
    }
    return false;
}

std::string Paint(HWND window) {
    drawn.clear();
    erased = 0;
    if (!Reroute(reinterpret_cast<void*>(DrawIcon), reinterpret_cast<void*>(RecordDrawIcon)))
        return "the program does not import DrawIcon";
    windowProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordErase)));
    SendMessageA(window, WM_PAINT, 0, 0);
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(windowProc));
    Reroute(reinterpret_cast<void*>(RecordDrawIcon), reinterpret_cast<void*>(DrawIcon));
    return std::to_string(erased) + " erased, " + (drawn.empty() ? "nothing drawn" : drawn);
}

std::string Answer(Call call, HWND window) {
    switch (call) {
    case PING: return HIWORD(GetQueueStatus(QS_INPUT)) ? "input waiting" : "";
    case MENU_END: return MenuEnd(window);
    case ICONS:
        return "big " + Name(SendMessageA(window, WM_GETICON, ICON_BIG, 0)) + ", small " +
               Name(SendMessageA(window, WM_GETICON, ICON_SMALL, 0)) + ", drag " +
               Name(SendMessageA(window, WM_QUERYDRAGICON, 0, 0));
    case STATIC_ICON: return StaticIcon(window);
    case PAINT: return Paint(window);
    case CURSOR: return Name(GetCursor());
    case TOOLTIP: return Tooltip(window);
    }
    return "unknown call";
}

}  // namespace
}  // namespace kg::ui

LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT call = RegisterWindowMessageA(kg::ui::HOOK_CALL);
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == call) {
        lstrcpynA(answer, kg::ui::Answer(static_cast<kg::ui::Call>(msg->wParam), msg->hwnd).c_str(), sizeof answer);
        InterlockedIncrement(&answers);
        msg->message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
