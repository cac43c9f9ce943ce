// What the pilot shares with its hook inside the program under test: a
// named memory block that carries one call at a time and its reply, and a
// count of the key messages the program's thread has taken from its queue.
#pragma once

#include <windows.h>

namespace kg::pilot {

constexpr char SHARED_NAME[] = "kgpilot-shared";
constexpr char REPLY_EVENT[] = "kgpilot-reply";
// Posted to a window of the program; the hook answers it in that window's
// thread, where GetSystemMenu and the icon messages work.
constexpr char CALL_MESSAGE[] = "kgpilot-call";

// Ping: answered once every message posted before it is handled. Update:
// paints the whole window again, frame and controls. Cursor: the cursor
// shown now. Tooltip: tool 1 of the control the call was posted to.
enum class Call : LONG { Ping, Update, SystemMenu, Icons, Paint, Cursor, Tooltip };

struct Shared {
    volatile LONG keyMessages;
    volatile LONG mouseMessages;  // mouse moves and left-button messages taken
    Call call;
    HWND window;
    char reply[8192];  // one JSON object
};

}  // namespace kg::pilot
