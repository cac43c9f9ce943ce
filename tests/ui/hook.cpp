// The tests' hook in the program under test: see hook.h.
#define KG_HOOK_API __declspec(dllexport)
#include "tests/ui/hook.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

// C names, exported, as hook.h declares them; in one section that every process shares.
volatile LONG answers __attribute__((section(".kgshare"), shared)) = 0;
char answer[4096] __attribute__((section(".kgshare"), shared)) = "";

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
    const auto found = std::find_if(std::begin(known), std::end(known), [&](auto& k) { return k.first == handle; });
    return found == std::end(known) ? "another one" : found->second;
}
std::string Name(LRESULT handle) { return Name(reinterpret_cast<HANDLE>(handle)); }

// Wine puts items of its own in every system menu: the program's come last.
std::string MenuEnd(HMENU menu) {
    const int last = GetMenuItemCount(menu) - 1;
    char text[256] = "";
    GetMenuStringA(menu, last, text, sizeof text, MF_BYPOSITION);
    const bool separator = GetMenuState(menu, last - 1, MF_BYPOSITION) & MF_SEPARATOR;
    return (separator ? "separator | " : "no separator | ") + std::to_string(GetMenuItemID(menu, last)) + " " + text;
}

// What a WM_PAINT draws: the program's DrawIcon calls, taken through its
// import table, and its WM_ICONERASEBKGND, through a subclass.
std::string drawn;
int erased = 0;

BOOL WINAPI RecordDrawIcon(HDC dc, int x, int y, HICON icon) {
    drawn += (drawn.empty() ? "" : "; ") + Name(icon) + " at " + std::to_string(x) + "," + std::to_string(y);
    return DrawIcon(dc, x, y, icon);
}

LRESULT CALLBACK RecordErase(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    erased += message == WM_ICONERASEBKGND;
    return DefSubclassProc(window, message, wParam, lParam);
}

// Makes the program's import slots that hold `from` hold `to` (MinGW leaves its import table writable).
template <typename Function>
void Reroute(Function from, Function to) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& table = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
    auto** slots = reinterpret_cast<void**>(base + table.VirtualAddress);
    std::replace(slots, slots + table.Size / sizeof *slots, reinterpret_cast<void*>(from), reinterpret_cast<void*>(to));
}

std::string Paint(HWND window) {
    drawn.clear();
    erased = 0;
    Reroute(&DrawIcon, &RecordDrawIcon);
    SetWindowSubclass(window, RecordErase, 1, 0);
    SendMessageA(window, WM_PAINT, 0, 0);
    RemoveWindowSubclass(window, RecordErase, 1);
    Reroute(&RecordDrawIcon, &DrawIcon);
    return std::to_string(erased) + " erased, " + (drawn.empty() ? "nothing drawn" : drawn);
}

std::string Answer(Call call, HWND window) {
    switch (call) {
    case PING: return HIWORD(GetQueueStatus(QS_INPUT)) ? "input waiting" : "";
    case MENU_END: return MenuEnd(GetSystemMenu(window, FALSE));
    case ICONS:
        return "big " + Name(SendMessageA(window, WM_GETICON, ICON_BIG, 0)) + ", small " +
               Name(SendMessageA(window, WM_GETICON, ICON_SMALL, 0)) + ", drag " +
               Name(SendMessageA(window, WM_QUERYDRAGICON, 0, 0));
    case STATIC_ICON: return Name(SendMessageA(window, STM_GETICON, 0, 0));
    case PAINT: return Paint(window);
    case CURSOR: return Name(GetCursor());
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
