// The pilot's hook: a WH_GETMESSAGE hook that the pilot sets on the GUI
// thread of the program under test. It counts the key messages the thread
// takes from its queue, and answers the pilot's calls there, because the
// system menu and a window's icons can only be read in the window's own
// process.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "tests/ui/json.h"
#include "tests/ui/pilot_shared.h"

namespace {

using namespace kg::pilot;

class SharedView {
public:
    SharedView()
        : mapping_(OpenFileMappingA(FILE_MAP_WRITE, FALSE, SHARED_NAME)),
          replied_(OpenEventA(EVENT_MODIFY_STATE, FALSE, REPLY_EVENT)),
          view_(mapping_ ? static_cast<Shared*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(Shared)))
                         : nullptr) {}
    ~SharedView() {
        if (view_) UnmapViewOfFile(view_);
        if (replied_) CloseHandle(replied_);
        if (mapping_) CloseHandle(mapping_);
    }
    SharedView(const SharedView&) = delete;
    SharedView& operator=(const SharedView&) = delete;

    HANDLE mapping_;
    HANDLE replied_;
    Shared* view_;
};

SharedView shared;
const UINT callMessage = RegisterWindowMessageA(CALL_MESSAGE);

// What an icon handle is, by the icons the program and the system load.
std::string IconName(HICON icon) {
    static const struct {
        LPCSTR id;
        const char* name;
    } standard[] = {{IDI_ASTERISK, "information"}, {IDI_EXCLAMATION, "exclamation"}, {IDI_HAND, "stop"},
                    {IDI_QUESTION, "question"}};
    if (icon == nullptr) return "none";
    if (icon == LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128))) return "icon 128";
    for (const auto& s : standard) {
        if (icon == LoadIconA(nullptr, s.id)) return s.name;
    }
    return "other";
}

std::string SystemMenu(HWND window) {
    const HMENU menu = GetSystemMenu(window, FALSE);
    std::string items;
    for (int i = 0; menu != nullptr && i < GetMenuItemCount(menu); ++i) {
        char text[256] = "";
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        const bool separator = (GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR) != 0;
        items += (i ? ", [" : "[") + std::to_string(static_cast<int>(GetMenuItemID(menu, i))) + ", " + Quote(text) +
                 ", " + Bool(separator) + "]";
    }
    return "{\"items\": [" + items + "]}";
}

std::string Icons(HWND window) {
    std::string statics;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            const auto icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
            statics += (statics.empty() ? "" : ", ") + Quote(IconName(icon));
        }
    }
    const auto get = [window](UINT message, WPARAM wParam) {
        return Quote(IconName(reinterpret_cast<HICON>(SendMessageA(window, message, wParam, 0))));
    };
    return "{\"big\": " + get(WM_GETICON, ICON_BIG) + ", \"small\": " + get(WM_GETICON, ICON_SMALL) +
           ", \"drag\": " + get(WM_QUERYDRAGICON, 0) + ", \"statics\": [" + statics + "]}";
}

// What a WM_PAINT of the window draws: DrawIcon calls of the program are
// recorded through its import table, WM_ICONERASEBKGND through a subclass.
struct Drawn {
    HDC dc;
    int x, y;
    HICON icon;
};
std::vector<Drawn> drawn;
std::vector<HDC> erased;
decltype(&DrawIcon) realDrawIcon = DrawIcon;
WNDPROC windowProc = nullptr;

BOOL WINAPI RecordDrawIcon(HDC dc, int x, int y, HICON icon) {
    drawn.push_back({dc, x, y, icon});
    return realDrawIcon(dc, x, y, icon);
}

LRESULT CALLBACK RecordErase(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ICONERASEBKGND) erased.push_back(reinterpret_cast<HDC>(wParam));
    return CallWindowProcA(windowProc, window, message, wParam, lParam);
}

// Points the program's import of `real` at `replacement` while it lives.
class ImportPatch {
public:
    ImportPatch(void* real, void* replacement) : real_(real) {
        auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
        const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
        for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); dll->Name && !slot_; ++dll) {
            for (auto* thunk = reinterpret_cast<void**>(base + dll->FirstThunk); *thunk && !slot_; ++thunk) {
                if (*thunk == real) slot_ = thunk;
            }
        }
        Set(replacement);
    }
    ~ImportPatch() { Set(real_); }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    bool Found() const { return slot_ != nullptr; }

private:
    void Set(void* value) {
        DWORD protection = 0;
        if (slot_ && VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection)) {
            *slot_ = value;
            VirtualProtect(slot_, sizeof *slot_, protection, &protection);
        }
    }
    void* real_;
    void** slot_ = nullptr;
};

std::string Paint(HWND window) {
    drawn.clear();
    erased.clear();
    RECT client = {};
    GetClientRect(window, &client);
    {
        const ImportPatch patch(reinterpret_cast<void*>(realDrawIcon), reinterpret_cast<void*>(RecordDrawIcon));
        if (!patch.Found()) return "{\"error\": \"the program does not import DrawIcon\"}";
        windowProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordErase)));
        SendMessageA(window, WM_PAINT, 0, 0);
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(windowProc));
    }
    std::string calls;
    for (const Drawn& d : drawn) {
        const bool onErased = erased.size() == 1 && erased[0] == d.dc;
        calls += (calls.empty() ? "[" : ", [") + std::to_string(d.x) + ", " + std::to_string(d.y) + ", " +
                 Quote(IconName(d.icon)) + ", " + Bool(onErased) + "]";
    }
    return "{\"iconic\": " + std::string(Bool(IsIconic(window))) + ", \"client\": [" +
           std::to_string(client.right) + ", " + std::to_string(client.bottom) + "], \"icon size\": [" +
           std::to_string(GetSystemMetrics(SM_CXICON)) + ", " + std::to_string(GetSystemMetrics(SM_CYICON)) +
           "], \"erased\": " + std::to_string(erased.size()) + ", \"drawn\": [" + calls + "]}";
}

// Which cursor the program shows now.
std::string Cursor() {
    const HCURSOR cursor = GetCursor();
    const char* name = cursor == nullptr                                                           ? "none"
                       : cursor == LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(23460)) ? "hand"
                       : cursor == LoadCursorA(nullptr, IDC_ARROW)                                 ? "arrow"
                                                                                                   : "other";
    return std::string("{\"cursor\": ") + Quote(name) + "}";
}

// Tool 1 of `control` in a tooltip of its thread: its text and whether the
// tooltip is showing.
std::string Tooltip(HWND control) {
    struct Search {
        HWND control;
        std::string reply;
    } search = {control, "{\"error\": \"no tooltip has a tool for the control\"}"};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(found);
            char name[64] = "";
            GetClassNameA(window, name, sizeof name);
            char text[1024] = "";
            TOOLINFOA tool = {};
            tool.cbSize = TTTOOLINFOA_V1_SIZE;
            tool.hwnd = search.control;
            tool.uId = 1;
            tool.lpszText = text;
            if (lstrcmpiA(name, TOOLTIPS_CLASSA) != 0 ||
                !SendMessageA(window, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool))) {
                return TRUE;
            }
            search.reply = "{\"text\": " + Quote(text) + ", \"showing\": " + Bool(IsWindowVisible(window)) + "}";
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.reply;
}

void Answer(Shared& call) {
    std::string reply = "{}";
    switch (call.call) {
    case Call::Ping: break;
    case Call::Update:
        RedrawWindow(call.window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        break;
    case Call::SystemMenu: reply = SystemMenu(call.window); break;
    case Call::Icons: reply = Icons(call.window); break;
    case Call::Paint: reply = Paint(call.window); break;
    case Call::Cursor: reply = Cursor(); break;
    case Call::Tooltip: reply = Tooltip(call.window); break;
    }
    lstrcpynA(call.reply, reply.c_str(), sizeof call.reply);
    SetEvent(shared.replied_);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK PilotHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && shared.view_ != nullptr) {
        switch (msg->message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP: InterlockedIncrement(&shared.view_->keyMessages); break;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP: InterlockedIncrement(&shared.view_->mouseMessages); break;
        default:
            if (msg->message == callMessage) {
                Answer(*shared.view_);
                msg->message = WM_NULL;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
