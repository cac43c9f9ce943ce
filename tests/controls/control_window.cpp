#include "tests/controls/control_window.h"

namespace kg::test {
namespace {

const char* const PARENT_CLASS = "KgTestParent";

void RegisterParentClass() {
    static const bool registered = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = ::DefWindowProcA;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = PARENT_CLASS;
        return ::RegisterClassA(&windowClass) != 0;
    }();
    (void)registered;
}

}  // namespace

ParentWindow::ParentWindow(int width, int height) {
    RegisterParentClass();
    CreateEx(0, PARENT_CLASS, "", WS_POPUP, 0, 0, width, height, nullptr, nullptr);
}

HFONT DialogFont() {
    static const HFONT font = ::CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                            DEFAULT_PITCH, "MS Sans Serif");
    return font;
}

void AttachStatic(CWnd& control, CWnd& parent, DWORD style, const char* text, const RECT& rect, int id) {
    const HWND window = ::CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                                          rect.right - rect.left, rect.bottom - rect.top, parent.m_hWnd,
                                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                          ::GetModuleHandleA(nullptr), nullptr);
    ::SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
    control.SubclassWindow(window);
}

SIZE TextExtent(HFONT font, const std::string& text) {
    const HDC dc = ::GetDC(nullptr);
    const HGDIOBJ previous = ::SelectObject(dc, font);
    SIZE extent{};
    ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    ::SelectObject(dc, previous);
    ::ReleaseDC(nullptr, dc);
    return extent;
}

RECT RectInParent(HWND window) {
    RECT rect;
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

namespace {

// Tool `toolId` of `window`, its text in `text`; false without one.
bool ReadTool(HWND tooltip, HWND window, UINT_PTR toolId, TOOLINFOA& info, char (&text)[1024]) {
    info = TOOLINFOA{};
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.hwnd = window;
    info.uId = toolId;
    info.lpszText = text;
    return ::SendMessageA(tooltip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info)) != 0;
}

}  // namespace

std::string ToolText(HWND tooltip, HWND window, UINT_PTR toolId) {
    char text[1024] = "";
    TOOLINFOA info;
    return ReadTool(tooltip, window, toolId, info, text) ? text : "(no tool)";
}

RECT ToolRect(HWND tooltip, HWND window, UINT_PTR toolId) {
    char text[1024] = "";
    TOOLINFOA info;
    return ReadTool(tooltip, window, toolId, info, text) ? info.rect : RECT{};
}

ColourAnswer AskColours(const CWnd& parent, const CWnd& control) {
    const HDC dc = ::CreateCompatibleDC(nullptr);
    const HGDIOBJ font = ::GetCurrentObject(dc, OBJ_FONT);
    ::SetTextColor(dc, RGB(1, 2, 3));
    ::SetBkMode(dc, OPAQUE);
    ColourAnswer answer{};
    answer.brush = reinterpret_cast<HBRUSH>(
        ::SendMessageA(parent.m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control.m_hWnd)));
    answer.textColor = ::GetTextColor(dc);
    answer.backgroundMode = ::GetBkMode(dc);
    answer.font = ::GetCurrentObject(dc, OBJ_FONT);
    ::SelectObject(dc, font);
    ::DeleteDC(dc);
    return answer;
}

PixelCanvas::PixelCanvas(int width, int height, COLORREF fill) : width_(width) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_ = ::CreateCompatibleDC(nullptr);
    bitmap_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<const DWORD*>(bits);
    previous_ = ::SelectObject(dc_, bitmap_);
    const HBRUSH brush = ::CreateSolidBrush(fill);
    const RECT all{0, 0, width, height};
    ::FillRect(dc_, &all, brush);
    ::DeleteObject(brush);
}

PixelCanvas::~PixelCanvas() {
    ::SelectObject(dc_, previous_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(dc_);
}

COLORREF PixelCanvas::Pixel(int x, int y) const {
    ::GdiFlush();
    const DWORD pixel = bits_[y * width_ + x];  // 0x00RRGGBB
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

std::vector<COLORREF> PixelCanvas::Row(int y) const {
    std::vector<COLORREF> row;
    for (int x = 0; x < width_; ++x) {
        row.push_back(Pixel(x, y));
    }
    return row;
}

}  // namespace kg::test
