// Windows for the controls' tests: a framework parent that reflects its
// children's notifications, static children attached to control objects,
// and a 32-bit bitmap whose pixels can be read back after painting.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "framework/gdi.h"
#include "framework/wnd.h"

namespace kg::test {

// A hidden top-level framework window of `width` by `height` client pixels.
class ParentWindow : public CWnd {
public:
    ParentWindow(int width, int height);
};

// The dialogs' font: "MS Sans Serif" at 8 points.
HFONT DialogFont();

// Creates a static child of `parent` (WS_CHILD | WS_VISIBLE | `style`) with
// the dialogs' font, and attaches `control` to it as a dialog's data
// exchange does.
void AttachStatic(CWnd& control, CWnd& parent, DWORD style, const char* text, const RECT& rect, int id = 1004);

// The extent of `text` in `font`, as one line.
SIZE TextExtent(HFONT font, const std::string& text);

// `window`'s rectangle in its parent's client coordinates.
RECT RectInParent(HWND window);

// The text of tool `toolId` of `window` in `tooltip`; "(no tool)" without one.
std::string ToolText(HWND tooltip, HWND window, UINT_PTR toolId);

// The rectangle of that tool; empty without one.
RECT ToolRect(HWND tooltip, HWND window, UINT_PTR toolId);

// What the parent's colour request for `control` leaves in a device context.
struct ColourAnswer {
    HBRUSH brush;
    COLORREF textColor;
    int backgroundMode;
    HGDIOBJ font;
};
ColourAnswer AskColours(const CWnd& parent, const CWnd& control);

// A 32-bit bitmap selected into a memory device context.
class PixelCanvas {
public:
    PixelCanvas(int width, int height, COLORREF fill);
    ~PixelCanvas();
    PixelCanvas(const PixelCanvas&) = delete;
    PixelCanvas& operator=(const PixelCanvas&) = delete;

    HDC Dc() const { return dc_; }
    COLORREF Pixel(int x, int y) const;
    // The colours of row `y`.
    std::vector<COLORREF> Row(int y) const;

private:
    int width_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
    const DWORD* bits_;
};

}  // namespace kg::test
