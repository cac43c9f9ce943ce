// The tooltip control. The common controls are initialised once, with
// InitCommonControls (NT 4 has nothing newer). Tool records are sent at
// TTTOOLINFOA_V1_SIZE, the size that NT 4's common controls accept (the
// headers' TOOLINFOA is larger for newer _WIN32_IE values and is refused
// there). Every message goes through CWnd::SendMessage (kg::sys).
#pragma once

#include "framework/wnd.h"

#include <commctrl.h>

namespace kg {

// The longest tool text in bytes, terminator included: longer texts are cut
// (never inside a double-byte character), so that a tool's record with its
// text always fits CToolInfo.
constexpr int TOOL_TEXT_SIZE = 1024;

// A tool's record with room for its text, as GetToolInfo fills it and
// SetToolInfo writes it back (text included, so the tool keeps its text).
// lpszText points into the record itself: it cannot be copied.
class CToolInfo : public TOOLINFOA {
public:
    CToolInfo();
    CToolInfo(const CToolInfo&) = delete;
    CToolInfo& operator=(const CToolInfo&) = delete;

    char szText[TOOL_TEXT_SIZE];
};

class CToolTipCtrl : public CWnd {
    DECLARE_DYNAMIC(CToolTipCtrl)
public:
    // Creates the tooltip window (WS_POPUP | `style`) owned by `parent`;
    // false when none is created.
    BOOL Create(CWnd* parent, DWORD style = 0);

    // Adds tool `toolId` of window `wnd` covering `toolRect` (client
    // coordinates of `wnd`) with `text`; with a null rectangle the tool is
    // the whole window (TTF_IDISHWND, `toolId` ignored).
    BOOL AddTool(CWnd* wnd, const char* text, const RECT* toolRect, UINT_PTR toolId);
    void UpdateTipText(const char* text, CWnd* wnd, UINT_PTR toolId);
    void DelTool(CWnd* wnd, UINT_PTR toolId);
    void Activate(BOOL activate);
    // Passes a mouse message to the tooltip (TTM_RELAYEVENT).
    void RelayEvent(MSG* msg);
    // Reads tool `toolId` of `wnd`; false when there is no such tool.
    BOOL GetToolInfo(CToolInfo& info, CWnd* wnd, UINT_PTR toolId) const;
    void SetToolInfo(const CToolInfo& info);
};

}  // namespace kg
