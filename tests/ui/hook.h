// The tests' hook in the program under test (hook.cpp): a WH_GETMESSAGE hook on its GUI thread, which answers there
// what another process cannot read.
#pragma once

#include <windows.h>

namespace kg::ui {
// A call: the message HOOK_CALL, wParam the call, posted to the window it is about; its answer, a text, comes once
// what was posted before is handled. PING's is "input waiting" while mouse or key messages wait in the queue.
enum Call { PING, MENU_END, ICONS, STATIC_ICON, PAINT, CURSOR };
constexpr char HOOK_CALL[] = "kg-ui-hook-call";
}  // namespace kg::ui

#ifndef KG_HOOK_API
#define KG_HOOK_API __declspec(dllimport)
#endif
// In a shared section of the hook: the same in the tests and in the program.
extern "C" KG_HOOK_API volatile LONG answers;
extern "C" KG_HOOK_API char answer[4096];
extern "C" KG_HOOK_API LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
