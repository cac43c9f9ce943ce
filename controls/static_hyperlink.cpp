#include "controls/static_hyperlink.h"

#include "controls/resource.h"
#include "framework/winapp.h"

namespace kg {

IMPLEMENT_DYNAMIC(CStaticHyperlink, CStyledStatic)

BEGIN_MESSAGE_MAP(CStaticHyperlink, CStyledStatic)
    ON_WM_CTLCOLOR_REFLECT()
    ON_CONTROL_REFLECT(STN_CLICKED, FollowLink)
    ON_WM_SETCURSOR()
END_MESSAGE_MAP()

CStaticHyperlink::CStaticHyperlink() {
    tooltipActive = TRUE;
    ownTooltipText = FALSE;
    fitToText = TRUE;
}

void CStaticHyperlink::LoadLinkCursor() {
    handCursor = ::LoadCursorA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDC_HYPERLINK_HAND));
}

BOOL CStaticHyperlink::InitializeStatic() {
    LoadLinkCursor();
    return CStyledStatic::InitializeStatic();
}

BOOL CStaticHyperlink::CreateTextFont() { return MakeTextFont(true); }

void CStaticHyperlink::UpdateTooltipText() {
    if (!tooltipActive) {
        return;
    }
    if (!ownTooltipText) {
        tooltipText = action.GetFile();
        if (tooltipText.empty() && useWindowText) {
            tooltipText = ShownText();
        }
    }
    SetToolText();
}

HBRUSH CStaticHyperlink::CtlColor(CDC* dc, UINT ctlColor) {
    const HBRUSH brush = CStyledStatic::CtlColor(dc, ctlColor);
    dc->SetTextColor(followed ? followedColor : linkColor);
    return brush;
}

BOOL CStaticHyperlink::OnSetCursor(CWnd*, UINT, UINT) {
    if (handCursor == nullptr) {
        return FALSE;
    }
    ::SetCursor(handCursor);
    return TRUE;
}

void CStaticHyperlink::FollowLink() {
    const bool borrowText = action.file.empty() && useWindowText;
    if (borrowText) {
        GetWindowText(action.file);
    }
    // The borrowed text goes again on every way out, an exception's too.
    struct GiveBack {
        std::string& file;
        bool borrowed;
        ~GiveBack() {
            if (borrowed) {
                file.clear();
            }
        }
    } giveBack{action.file, borrowText};
    if (action.Run(reportErrors)) {
        followed = TRUE;
        InvalidateRect(nullptr, TRUE);
    }
}

}  // namespace kg
