// The tests' hook in the program under test (hook.cpp): a WH_GETMESSAGE hook
// on the program's GUI thread. It counts the input messages that thread takes
// from its queue, and answers there what another process cannot read (the
// system menu, a window's icons, what a paint draws, the cursor, a tooltip).
#pragma once

#include <windows.h>

namespace kg::ui {

// A call is the registered message HOOK_CALL with the call in wParam, posted
// to the window it is about; its answer is a text. The hook takes it from the
// queue after everything posted before: PING answers "" once that is handled.
enum Call { PING, REPAINT, MENU_END, BIG_ICON, SMALL_ICON, DRAG_ICON, STATIC_ICON, PAINT, CURSOR, TOOLTIP };
constexpr char HOOK_CALL[] = "kg-ui-hook-call";

}  // namespace kg::ui

#ifdef KG_HOOK_DLL
#define KG_HOOK_API __declspec(dllexport)
#else
#define KG_HOOK_API __declspec(dllimport)
#endif

// In a shared section of the hook: the same in the tests and in the program.
extern "C" {
KG_HOOK_API extern volatile LONG keysTaken, mouseTaken, answers;
KG_HOOK_API extern char answer[4096];
KG_HOOK_API LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
}
