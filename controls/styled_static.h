// A static text control with its own text colour, its own copy of the
// window's font, a background of its own (a solid colour or one of three
// fades to black), fitting of the window to its text, and a tooltip. All of
// its set-up runs when it is attached to an existing static control.
#pragma once

#include <string>

#include "framework/gdi.h"
#include "framework/static.h"
#include "framework/tooltip.h"

namespace kg {

class CStyledStatic : public CStatic {
    DECLARE_DYNAMIC(CStyledStatic)
public:
    enum BackgroundMode : int {
        BACKGROUND_SOLID = 0,
        BACKGROUND_FADE_LEFTWARD = 1,   // full colour at the right edge
        BACKGROUND_FADE_CENTRE = 2,     // full colour at both edges
        BACKGROUND_FADE_RIGHTWARD = 3,  // full colour at the left edge
    };
    // The control's one tool in its tooltip.
    static constexpr UINT_PTR TOOL_ID = 1;

    CStyledStatic();

    // Runs InitializeStatic, then the framework's own preparation.
    void PreSubclassWindow() override;
    // Shows the tooltip (or not) and lets it see the message.
    BOOL PreTranslateMessage(MSG* msg) override;

    // Makes textFont from the window's font and fits the window when fitting
    // is on; FALSE when the window has no font or no copy can be made. A
    // control that shows no text needs no font: TRUE.
    virtual BOOL CreateTextFont();
    // The one-time set-up: rectangle, tooltip and its tool, tooltip text,
    // font. Always TRUE.
    virtual BOOL InitializeStatic();
    // Gives the tooltip the text it should show now.
    virtual void UpdateTooltipText();
    // The parent's colour request for this control: the control's font and
    // text colour over a transparent background, and no brush, so that what
    // OnEraseBkgnd painted shows. Null for a control that shows no text (the
    // parent answers then).
    virtual HBRUSH CtlColor(CDC* dc, UINT ctlColor);

    // Whether the control's style is one that shows text.
    BOOL IsTextStatic() const;
    // Fits the window to its text, keeping the text's alignment inside the
    // old rectangle and never growing beyond the parent's client area.
    void AdjustWindowSize();
    void PaintBackground(CDC* dc);
    void PaintGradient(CDC* dc, int mode, RECT rect, COLORREF color);
    void FillBand(CDC* dc, int x, int y, int cx, int cy, COLORREF color);

    // Set by the owner (or a derived constructor) before the control is attached.
    COLORREF backgroundColor;  // CLR_NONE: no background is painted
    int backgroundMode = BACKGROUND_SOLID;
    COLORREF textColor;
    CFont textFont;
    BOOL tooltipActive = FALSE;
    std::string tooltipText;
    CToolTipCtrl tooltip;
    BOOL fitToText = FALSE;
    RECT savedRect{};  // in the parent's client coordinates
    BOOL ownTooltipText = FALSE;
    BOOL fontMade = FALSE;

protected:
    // The steps of CreateTextFont, with the copy underlined or not.
    BOOL MakeTextFont(bool underline);
    // The window text when the control shows text, else the empty text.
    std::string ShownText() const;
    // Gives tool 1 the text tooltipText, when there is a tooltip.
    void SetToolText();

    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    void OnSize(UINT type, int cx, int cy);
    void OnDestroy();
    BOOL OnEraseBkgnd(CDC* dc);

    DECLARE_MESSAGE_MAP()

private:
    // The window rectangle in the parent's client coordinates (screen
    // coordinates when there is no parent).
    RECT RectInParent() const;
    // Sets the rectangle of tool 1 to (0, 0, width, height), when it exists.
    void SetToolRect(int width, int height);
};

}  // namespace kg
