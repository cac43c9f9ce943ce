// The tests' hook in the program under test: see hook.h.
#define KG_HOOK_DLL
#include "tests/ui/hook.h"

#include <commctrl.h>

#include <string>

#define SHARED __attribute__((section(".kgshare"), shared))
extern "C" {
volatile LONG keysTaken SHARED = 0, mouseTaken SHARED = 0, answers SHARED = 0;
char answer[4096] SHARED = "";
}

namespace kg::ui {
namespace {

// What an icon handle is, among the icons the program and the system load.
std::string IconName(HICON icon) {
    const struct { LPCSTR id; const char* name; } system[] = {
        {IDI_ASTERISK, "information"}, {IDI_EXCLAMATION, "exclamation"}, {IDI_HAND, "stop"}, {IDI_QUESTION, "question"}};
    if (icon == nullptr) return "none";
    if (icon == LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128))) return "icon 128";
    for (const auto& s : system) {
        if (icon == LoadIconA(nullptr, s.id)) return s.name;
    }
    return "another icon";
}

// Wine adds items of its own to every system menu: the program's are last.
std::string MenuEnd(HWND window) {
    const HMENU menu = GetSystemMenu(window, FALSE);
    std::string items;
    for (int i = GetMenuItemCount(menu) - 2; i >= 0 && i < GetMenuItemCount(menu); ++i) {
        char text[256] = "";
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        const bool separator = GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR;
        items += (items.empty() ? "" : " | ") + (separator ? "separator" : std::to_string(GetMenuItemID(menu, i)) + " " + text);
    }
    return items;
}

std::string StaticIcon(HWND window) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return IconName(reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0)));
    }
    return "no icon";
}

// What a WM_PAINT draws: the program's DrawIcon calls, taken through its
// import table, and its WM_ICONERASEBKGND, through a subclass.
std::string drawn;
int erased = 0;
HDC erasedOn = nullptr;
WNDPROC windowProc = nullptr;

BOOL WINAPI RecordDrawIcon(HDC dc, int x, int y, HICON icon) {
    drawn += (drawn.empty() ? "" : "; ") + IconName(icon) + " at " + std::to_string(x) + "," + std::to_string(y) +
             (erased == 1 && dc == erasedOn ? " on the erased context" : "");
    return DrawIcon(dc, x, y, icon);
}

LRESULT CALLBACK RecordErase(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ICONERASEBKGND) {
        ++erased;
        erasedOn = reinterpret_cast<HDC>(wParam);
    }
    return CallWindowProcA(windowProc, window, message, wParam, lParam);
}

// The program's import slot that holds `function`.
void** ImportSlot(void* function) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; dll->Name; ++dll) {
        for (auto* slot = reinterpret_cast<void**>(base + dll->FirstThunk); *slot; ++slot) {
            if (*slot == function) return slot;
        }
    }
    return nullptr;
}

void Patch(void** slot, void* value) {
    DWORD protection = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
}

std::string Paint(HWND window) {
    void** const slot = ImportSlot(reinterpret_cast<void*>(DrawIcon));
    if (slot == nullptr) return "the program does not import DrawIcon";
    drawn.clear();
    erased = 0;
    Patch(slot, reinterpret_cast<void*>(RecordDrawIcon));
    windowProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordErase)));
    SendMessageA(window, WM_PAINT, 0, 0);
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(windowProc));
    Patch(slot, reinterpret_cast<void*>(DrawIcon));
    return std::to_string(erased) + " erased, " + (drawn.empty() ? "nothing drawn" : drawn);
}

std::string Cursor() {
    const HCURSOR cursor = GetCursor();
    return cursor == nullptr                                                           ? "none"
           : cursor == LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(23460)) ? "hand"
           : cursor == LoadCursorA(nullptr, IDC_ARROW)                                 ? "arrow"
                                                                                       : "another cursor";
}

// The text of the control's tool 1 while its tooltip shows; "" otherwise.
std::string Tooltip(HWND control) {
    struct Search { HWND control; std::string text; } search = {control, ""};
    EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM found) -> BOOL {
        auto& search = *reinterpret_cast<Search*>(found);
        char name[64] = "", text[1024] = "";
        TOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V1_SIZE;
        tool.hwnd = search.control;
        tool.uId = 1;
        tool.lpszText = text;
        GetClassNameA(window, name, sizeof name);
        if (lstrcmpiA(name, TOOLTIPS_CLASSA) != 0 || !SendMessageA(window, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool))) return TRUE;
        search.text = IsWindowVisible(window) ? text : "";
        return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.text;
}

std::string Answer(Call call, HWND window) {
    switch (call) {
    case PING: return "";
    case REPAINT: RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW); return "";
    case MENU_END: return MenuEnd(window);
    case BIG_ICON: return IconName(reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_BIG, 0)));
    case SMALL_ICON: return IconName(reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_SMALL, 0)));
    case DRAG_ICON: return IconName(reinterpret_cast<HICON>(SendMessageA(window, WM_QUERYDRAGICON, 0, 0)));
    case STATIC_ICON: return StaticIcon(window);
    case PAINT: return Paint(window);
    case CURSOR: return Cursor();
    case TOOLTIP: return Tooltip(window);
    }
    return "unknown call";
}

}  // namespace
}  // namespace kg::ui

LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT call = RegisterWindowMessageA(kg::ui::HOOK_CALL);
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        switch (msg->message) {
        case WM_KEYDOWN: case WM_KEYUP: case WM_SYSKEYDOWN: case WM_SYSKEYUP: InterlockedIncrement(&keysTaken); break;
        case WM_MOUSEMOVE: case WM_LBUTTONDOWN: case WM_LBUTTONUP:
        case WM_NCMOUSEMOVE: case WM_NCLBUTTONDOWN: case WM_NCLBUTTONUP: InterlockedIncrement(&mouseTaken); break;
        }
        if (msg->message == call) {
            lstrcpynA(answer, kg::ui::Answer(static_cast<kg::ui::Call>(msg->wParam), msg->hwnd).c_str(), sizeof answer);
            InterlockedIncrement(&answers);
            msg->message = WM_NULL;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
