// A static text control that is a hyperlink: blue underlined text, purple
// once followed, a pointing hand over it, a tooltip with its target, and a
// click that runs its HyperlinkAction. With the defaults the action opens
// the control's own text through the shell.
#pragma once

#include "controls/hyperlink_action.h"
#include "controls/styled_static.h"

namespace kg {

class CStaticHyperlink : public CStyledStatic {
    DECLARE_DYNAMIC(CStaticHyperlink)
public:
    CStaticHyperlink();

    // The window's font underlined.
    BOOL CreateTextFont() override;
    // Loads the hand cursor first, then the set-up of CStyledStatic.
    BOOL InitializeStatic() override;
    // The action's file, else (when useWindowText) the window text.
    void UpdateTooltipText() override;
    // CStyledStatic's answer, with the text in the link's colour.
    HBRUSH CtlColor(CDC* dc, UINT ctlColor) override;
    virtual void LoadLinkCursor();
    // Runs the action as a click does; the window text is the target while
    // the action's file is empty (and useWindowText is set).
    virtual void FollowLink();

    // Set by the owner before the control is attached.
    COLORREF linkColor = RGB(0, 0, 255);
    COLORREF followedColor = RGB(128, 0, 128);
    BOOL followed = FALSE;  // set by the first successful run, never cleared
    HyperlinkAction action;
    HCURSOR handCursor = nullptr;  // shared resource cursor: never destroyed
    BOOL useWindowText = TRUE;
    BOOL reportErrors = TRUE;

protected:
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);

    DECLARE_MESSAGE_MAP()
};

}  // namespace kg
