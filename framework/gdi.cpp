#include "framework/gdi.h"

#include <utility>

#include "framework/resource_exception.h"
#include "framework/system_api.h"

namespace kg {

BOOL CGdiObject::Attach(HGDIOBJ object) {
    if (m_hObject != nullptr || object == nullptr) {
        return FALSE;
    }
    m_hObject = object;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() { return std::exchange(m_hObject, nullptr); }

BOOL CGdiObject::DeleteObject() {
    const HGDIOBJ object = Detach();
    return object != nullptr && ::DeleteObject(object);
}

BOOL CFont::CreateFontIndirect(const LOGFONTA* logFont) {
    const HFONT font = sys.CreateFontIndirectA(logFont);
    if (font == nullptr) {
        return FALSE;
    }
    DeleteObject();
    return Attach(font);
}

int CFont::GetLogFont(LOGFONTA* logFont) const { return sys.GetObjectA(m_hObject, sizeof *logFont, logFont); }

CBrush::CBrush(COLORREF color) {
    if (!CreateSolidBrush(color)) {
        AfxThrowResourceException();
    }
}

BOOL CBrush::CreateSolidBrush(COLORREF color) {
    const HBRUSH brush = sys.CreateSolidBrush(color);
    if (brush == nullptr) {
        return FALSE;
    }
    DeleteObject();
    return Attach(brush);
}

}  // namespace kg
