// Owners of GDI objects. Each deletes its object when it is destroyed; none
// can be copied. Attach takes over an object (the owner then deletes it),
// Detach gives it up without deleting.
#pragma once

#include <windows.h>

namespace kg {

class CGdiObject {
public:
    CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    ~CGdiObject() { DeleteObject(); }

    // Takes `object` over; false (and nothing taken) when one is held already
    // or `object` is null.
    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach();
    // Deletes the object held; false when there was none or it could not be
    // deleted.
    BOOL DeleteObject();

    HGDIOBJ GetSafeHandle() const { return m_hObject; }

    HGDIOBJ m_hObject = nullptr;
};

class CFont : public CGdiObject {
public:
    // Creates a font from `logFont` in place of the one held; false (and the
    // old one kept) when the system makes none.
    BOOL CreateFontIndirect(const LOGFONTA* logFont);
    // Fills `logFont` with the held font's description; 0 on failure.
    int GetLogFont(LOGFONTA* logFont) const;

    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    // A solid brush; throws CResourceException when it cannot be created.
    explicit CBrush(COLORREF color);

    // A solid brush in place of the one held; false (and the old one kept)
    // when it cannot be created.
    BOOL CreateSolidBrush(COLORREF color);

    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};

}  // namespace kg
