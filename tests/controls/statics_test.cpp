// The styled static and the hyperlink in windows of the tests' own: fitting,
// the answer to the parent's colour request, the tooltip's text, what a click
// opens, the cursor, and backgrounds read back pixel by pixel.
#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "controls/resource.h"
#include "controls/static_hyperlink.h"
#include "framework/dc.h"
#include "framework/resource_exception.h"
#include "tests/support/api_override.h"

namespace kg {
namespace {

using test::ApiOverride;

const char* const ADDRESS = "http://www.kestrelgard.example/";
constexpr int ID = 1004;

// A hidden top-level framework window, which reflects its children's
// notifications to them.
class Parent : public CWnd {
public:
    Parent(int width, int height) {
        static const ATOM registered = [] {
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = ::DefWindowProcA;
            windowClass.lpszClassName = "KgTestParent";
            return ::RegisterClassA(&windowClass);
        }();
        CreateEx(0, MAKEINTATOM(registered), "", WS_POPUP, 0, 0, width, height, nullptr, nullptr);
    }
};

HFONT DialogFont() {
    static const HFONT font = ::CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                                            "MS Sans Serif");
    return font;
}

// A static child of `parent` in the dialogs' font, attached to `control` as
// a dialog's data exchange attaches it.
void Attach(CWnd& control, CWnd& parent, DWORD style, const char* text, RECT r) {
    const HWND window = ::CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                                          r.right - r.left, r.bottom - r.top, parent.m_hWnd,
                                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID)), nullptr, nullptr);
    ::SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
    control.SubclassWindow(window);
}

SIZE Extent(const std::string& text) {
    CMemoryDC dc;
    const SelectGuard font(dc, DialogFont());
    return dc.GetTextExtent(text.c_str(), static_cast<int>(text.size()));
}

// "left,top widthxheight" of the control in its parent.
std::string Placed(const CWnd& control) {
    RECT r;
    control.GetWindowRect(&r);
    control.GetParent()->ScreenToClient(&r);
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

std::string ToolText(CStyledStatic& control) {
    CToolInfo info;
    return control.tooltip.GetToolInfo(info, &control, 1) ? info.szText : "(no tool)";
}

std::string Hex(COLORREF c) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// The parent's colour request for the control, on a fresh memory context:
// the text colour, brush, font and background mode it leaves.
std::string AskColours(const CWnd& parent, const CStyledStatic& control) {
    CMemoryDC dc;
    const HGDIOBJ font = ::GetCurrentObject(dc, OBJ_FONT);
    const auto brush = reinterpret_cast<HGDIOBJ>(parent.SendMessage(
        WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.m_hDC), reinterpret_cast<LPARAM>(control.m_hWnd)));
    const std::string answer = Hex(::GetTextColor(dc)) +
                               (brush == ::GetStockObject(NULL_BRUSH) ? ", no brush" : ", the parent's brush") +
                               (::GetCurrentObject(dc, OBJ_FONT) == control.textFont.m_hObject ? ", its font" : "") +
                               (::GetBkMode(dc) == TRANSPARENT ? ", transparent" : "");
    dc.SelectObject(font);
    return answer;
}

TEST(StyledStatic, FittingKeepsTheTextsPlaceInTheOldRectangle) {
    const SIZE text = Extent(ADDRESS);
    const std::string fitted = std::to_string(text.cx) + "x" + std::to_string(text.cy);
    const struct {
        const char* what;
        DWORD style;
        int spareWidth, spareHeight, parentWidth;  // spare: of the template rectangle beyond the text
        std::string placed;
    } rows[] = {
        {"centred, 40 spare", SS_CENTER, 40, 10, 400, "70,30 " + fitted},
        {"centred, 39 spare", SS_CENTER, 39, 10, 400, "69,30 " + std::to_string(text.cx + 1) + "x" + std::to_string(text.cy)},
        {"right", SS_RIGHT, 40, 10, 400, "90,30 " + fitted},
        {"left", SS_LEFT, 40, 10, 400, "50,30 " + fitted},
        {"centred vertically", SS_LEFT | SS_CENTERIMAGE, 40, 11, 400, "50,35 " + std::to_string(text.cx) + "x" + std::to_string(text.cy + 1)},
        {"wider than the parent", SS_LEFT, 40, 10, 80, "50,30 80x" + std::to_string(text.cy)},
        {"no prefix: not text", SS_LEFT | SS_NOPREFIX, 40, 10, 400, "50,30 " + std::to_string(text.cx + 40) + "x" + std::to_string(text.cy + 10)},
        {"frame", SS_BLACKFRAME, 40, 10, 400, "50,30 " + std::to_string(text.cx + 40) + "x" + std::to_string(text.cy + 10)},
    };
    for (const auto& row : rows) {
        Parent parent(row.parentWidth, 200);
        CStyledStatic control;
        control.fitToText = TRUE;
        Attach(control, parent, row.style, ADDRESS, {50, 30, 50 + text.cx + row.spareWidth, 30 + text.cy + row.spareHeight});
        EXPECT_EQ(row.placed, Placed(control)) << row.what;
        EXPECT_EQ(50, control.savedRect.left) << row.what << ": the template rectangle was not kept";
    }
}

TEST(StyledStatic, TooltipTextColoursAndRefitting) {
    const std::string own = "0A141E, no brush, its font, transparent", parents = "000000, the parent's brush";
    const struct {
        const char* what;
        DWORD style;
        BOOL active, own, fit;
        const char *atFirst, *afterNewText;
        std::string colours;
    } rows[] = {
        {"defaults: inactive", SS_LEFT, FALSE, FALSE, FALSE, "", "", own},
        {"the window text", SS_CENTER, TRUE, FALSE, TRUE, ADDRESS, "second", own},
        {"its own text", SS_CENTER, TRUE, TRUE, FALSE, "mine", "mine", own},
        {"not a text static", SS_LEFT | SS_NOPREFIX, TRUE, FALSE, FALSE, "", "", parents},
        {"a frame with its own text", SS_BLACKFRAME, TRUE, TRUE, FALSE, "mine", "mine", parents},
    };
    for (const auto& row : rows) {
        Parent parent(400, 200);
        CStyledStatic control;
        control.tooltipActive = row.active;
        control.ownTooltipText = row.own;
        control.tooltipText = row.own ? "mine" : "";
        control.fitToText = row.fit;
        control.textColor = RGB(10, 20, 30);
        Attach(control, parent, row.style, ADDRESS, {10, 10, 310, 30});
        EXPECT_EQ(row.colours, AskColours(parent, control)) << row.what;
        EXPECT_EQ(row.atFirst, ToolText(control)) << row.what;
        control.SetWindowText("second");
        EXPECT_EQ(row.afterNewText, ToolText(control)) << row.what;
        RECT r;
        control.GetClientRect(&r);
        EXPECT_EQ(row.fit ? Extent("second").cx : 300, r.right) << row.what << ": refitted or not";
    }
}

// A resize: a fitting control fits itself again; another keeps the new
// rectangle and its tool covers it.
TEST(StyledStatic, Resized) {
    for (const BOOL fit : {FALSE, TRUE}) {
        Parent parent(400, 200);
        CStyledStatic control;
        control.fitToText = fit;
        Attach(control, parent, SS_LEFT, ADDRESS, {10, 10, 310, 30});
        control.SetWindowPos(nullptr, 20, 30, 100, 15, SWP_NOZORDER);
        const SIZE text = Extent(ADDRESS);
        EXPECT_EQ(fit ? "20,30 " + std::to_string(text.cx) + "x" + std::to_string(text.cy) : "20,30 100x15", Placed(control));
        CToolInfo info;
        ASSERT_TRUE(control.tooltip.GetToolInfo(info, &control, 1));
        EXPECT_EQ(fit ? text.cx : 100, info.rect.right) << "the tool does not cover the control";
        EXPECT_EQ(fit ? 10 : 20, control.savedRect.left) << "fitting " << fit;
    }
}

// --- Backgrounds, painted into a 32-bit memory bitmap --------------------

constexpr COLORREF UNTOUCHED = RGB(1, 254, 3), ORANGE = RGB(255, 128, 64), BLACK = 0;
constexpr COLORREF QUARTER_OFF = RGB(192, 96, 48);  // three quarters of each channel of ORANGE
constexpr int HEIGHT = 3;

// The row the control's background leaves in a bitmap 8 pixels wider and 1
// higher than the control, filled with UNTOUCHED before; the bands must be
// as high as the control and nothing may be painted outside it.
std::vector<COLORREF> Painted(int width, int mode, COLORREF color, bool defaults = false) {
    Parent parent(width + 20, 40);
    CStyledStatic control;
    if (!defaults) {
        control.backgroundMode = mode;
        control.backgroundColor = color;
    }
    Attach(control, parent, SS_LEFT, "", {0, 0, width, HEIGHT});
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width + 8, -(HEIGHT + 1), 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* bits = nullptr;
    CMemoryDC dc;
    CGdiObject bitmap;
    bitmap.Attach(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const SelectGuard selected(dc, bitmap.m_hObject);
    const RECT all{0, 0, width + 8, HEIGHT + 1};
    CGdiObject fill;  // not through kg::sys, which a test may make fail
    fill.Attach(::CreateSolidBrush(UNTOUCHED));
    ::FillRect(dc, &all, static_cast<HBRUSH>(fill.m_hObject));
    EXPECT_TRUE(control.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC))) << "erasing left to the system";
    ::GdiFlush();
    auto pixel = [&](int x, int y) {
        const DWORD p = static_cast<const DWORD*>(bits)[y * (width + 8) + x];
        return RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
    };
    std::vector<COLORREF> row;
    for (int x = 0; x < width + 8; ++x) {
        EXPECT_EQ(x < width ? pixel(x, 0) : UNTOUCHED, pixel(x, HEIGHT - 1)) << width << " wide, x=" << x;
        EXPECT_EQ(UNTOUCHED, pixel(x, HEIGHT)) << width << " wide, painted below at x=" << x;
        EXPECT_TRUE(x < width || pixel(x, 0) == UNTOUCHED) << width << " wide, painted beside at x=" << x;
        row.push_back(pixel(x, 0));
    }
    row.resize(width);
    return row;
}

TEST(StyledStatic, BackgroundsAtTheEdgesAndTheCentre) {
    const struct {
        int mode;
        COLORREF color;
        int width, x;
        COLORREF expected;
    } rows[] = {
        {0, ORANGE, 100, 0, ORANGE},
        {0, ORANGE, 100, 99, ORANGE},
        {4, ORANGE, 50, 10, UNTOUCHED},
        {-1, ORANGE, 50, 10, UNTOUCHED},
        {0, CLR_NONE, 50, 10, UNTOUCHED},
        {3, CLR_NONE, 50, 10, UNTOUCHED},
        {3, ORANGE, 100, 50, QUARTER_OFF},
        {3, ORANGE, 300, 298, BLACK},  // the closing band
        {1, ORANGE, 100, 50, QUARTER_OFF},
        {2, ORANGE, 1024, 256, QUARTER_OFF},
        {2, ORANGE, 1024, 513, BLACK},
        {2, ORANGE, 1, 0, ORANGE},  // no divisor
        {3, ORANGE, 3000, 1500, RGB(192, 97, 49)},  // above about 2,900 pixels d*d*v passes 2^31
        {3, ORANGE, 3000, 2999, RGB(2, 1, 1)},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Hex(row.expected), Hex(Painted(row.width, row.mode, row.color)[row.x]))
            << "mode " << row.mode << ", colour " << Hex(row.color) << ", " << row.width << " wide, x=" << row.x;
    }
    EXPECT_EQ(std::vector<COLORREF>(20, ::GetSysColor(COLOR_BTNFACE)), Painted(20, 0, 0, true)) << "defaults";
}

// Each channel v at distance d: v - d*d*v / divisor (the full colour for a divisor of 0).
COLORREF Faded(std::int64_t d, std::int64_t divisor) {
    auto channel = [&](std::int64_t v) { return static_cast<BYTE>(divisor == 0 ? v : v - d * d * v / divisor); };
    return RGB(channel(GetRValue(ORANGE)), channel(GetGValue(ORANGE)), channel(GetBValue(ORANGE)));
}

// The bands of each fade as they are described, one after the other, clipped
// to the control.
std::vector<COLORREF> Reference(int mode, int width) {
    std::vector<COLORREF> row(width, UNTOUCHED);
    auto band = [&](int x, int w, COLORREF c) { std::fill(row.begin() + std::clamp(x, 0, width), row.begin() + std::clamp(x + w, 0, width), c); };
    const std::int64_t w = width;
    const int step = width >= 256 ? width / 128 : 1, half = width / 2, halfStep = half >= 512 ? half / 256 : 1;
    int p = 0;
    if (mode == 3) {
        for (p = 0; p < width; p += step) band(p, step, Faded(p, w * w));
        band(p - step, width - (p - step) - 1, BLACK);
    } else if (mode == 1) {
        for (p = width; p > 0; p -= step) band(p, step, Faded(width - p, w * w));
        band(0, p + step, BLACK);
    } else {
        for (p = 0; half - p > 0; p += halfStep) band(2 * half - p, halfStep, Faded(p, w * w / 4));
        band(half, half - p + halfStep, BLACK);
        for (p = 0; p <= half; p += halfStep) band(p, halfStep, Faded(p, w * w / 4));
        band(p - halfStep, half + halfStep - p, BLACK);
    }
    return row;
}

TEST(StyledStatic, FadesBandByBand) {
    for (int mode : {1, 2, 3}) {
        for (int width : {1, 2, 3, 100, 255, 256, 300, 1023, 1024, 3000}) {
            const std::vector<COLORREF> painted = Painted(width, mode, ORANGE), expected = Reference(mode, width);
            const auto wrong = std::mismatch(painted.begin(), painted.end(), expected.begin());
            EXPECT_TRUE(wrong.first == painted.end()) << "mode " << mode << ", " << width << " wide: x="
                << (wrong.first - painted.begin()) << " is " << Hex(*wrong.first) << ", not " << Hex(*wrong.second);
        }
    }
}

HBRUSH WINAPI NoBrush(COLORREF) { return nullptr; }
std::vector<std::string> boxes;
int WINAPI Box(HWND, LPCSTR text, LPCSTR, UINT) {
    boxes.push_back(text);
    return IDOK;
}

TEST(StyledStatic, ABrushThatCannotBeMadeEndsThePaintingWithABox) {
    const ApiOverride<decltype(sys.MessageBoxA)> box(sys.MessageBoxA, Box);
    const ApiOverride<decltype(sys.CreateSolidBrush)> noBrush(sys.CreateSolidBrush, NoBrush);
    Painted(40, 3, ORANGE);
    EXPECT_EQ(std::vector<std::string>{CResourceException().what()}, boxes);
}

// --- The hyperlink outside the dialog ----------------------------------

std::vector<std::string> opened;
HINSTANCE WINAPI Shell(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
    opened.push_back(std::string(verb) + " " + file);
    return reinterpret_cast<HINSTANCE>(42);
}

TEST(Hyperlink, WhatAClickOpensAndTheTooltipShows) {
    const ApiOverride<decltype(sys.ShellExecuteA)> shell(sys.ShellExecuteA, Shell);
    const struct {
        const char* what;
        DWORD style;
        const char* file;
        BOOL useWindowText;
        const char *opens, *tooltip;
        std::string placed;
    } rows[] = {
        {"the window text", SS_CENTER, "", TRUE, "open http://www.kestrelgard.example/", ADDRESS, ""},
        {"the owner's file", SS_CENTER, "C:\\readme.txt", TRUE, "open C:\\readme.txt", "C:\\readme.txt", ""},
        {"without the window text", SS_CENTER, "", FALSE, "open ", "", ""},
        {"a frame: no font, no fitting", SS_BLACKFRAME, "", TRUE, "open http://www.kestrelgard.example/", "", "20,20 300x20"},
    };
    for (const auto& row : rows) {
        opened.clear();
        Parent parent(400, 200);
        CStaticHyperlink link;
        link.action.file = row.file;
        link.useWindowText = row.useWindowText;
        Attach(link, parent, row.style, ADDRESS, {20, 20, 320, 40});
        EXPECT_EQ(row.tooltip, ToolText(link)) << row.what;
        // A static that shows no text gets no font and leaves its colours to the parent.
        const bool text = row.style == SS_CENTER;
        LOGFONTA made{}, underlined{};
        link.textFont.GetLogFont(&made);
        ::GetObjectA(DialogFont(), sizeof underlined, &underlined);
        underlined.lfUnderline = 1;
        EXPECT_EQ(text, std::memcmp(&made, &underlined, sizeof made) == 0) << row.what << ": the window's font underlined, or none";
        if (!row.placed.empty()) {
            EXPECT_EQ(row.placed, Placed(link)) << row.what;
        }
        EXPECT_FALSE(link.GetStyle() & SS_NOTIFY) << row.what << ": reports clicks before its first paint";
        EXPECT_EQ(text ? "0000FF, no brush, its font, transparent" : "000000, the parent's brush", AskColours(parent, link)) << row.what;
        EXPECT_TRUE(link.GetStyle() & SS_NOTIFY) << row.what << ": reports no clicks after its first paint";
        parent.SendMessage(WM_COMMAND, MAKEWPARAM(ID, STN_CLICKED), reinterpret_cast<LPARAM>(link.m_hWnd));
        EXPECT_EQ(std::vector<std::string>{row.opens}, opened) << row.what;
        EXPECT_EQ(row.file, link.action.file) << row.what << ": the click changed the action's file";
        EXPECT_EQ(text ? "800080, no brush, its font, transparent" : "000000, the parent's brush", AskColours(parent, link)) << row.what;
    }
}

TEST(Hyperlink, TheHandIsAMonochromeCursorWithItsHotSpotAtTheFingertip) {
    Parent parent(400, 200);
    CStaticHyperlink link;
    Attach(link, parent, SS_CENTER, ADDRESS, {20, 20, 320, 40});
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(link.handCursor, &info));
    CGdiObject mask, colour;
    mask.Attach(info.hbmMask);
    colour.Attach(info.hbmColor);
    BITMAP bits{};
    ::GetObjectA(info.hbmMask, sizeof bits, &bits);
    EXPECT_EQ("5,0 32x64 monochrome", std::to_string(info.xHotspot) + "," + std::to_string(info.yHotspot) + " " +
                                          std::to_string(bits.bmWidth) + "x" + std::to_string(bits.bmHeight) +
                                          (info.hbmColor == nullptr ? " monochrome" : " coloured"));
    // Over the link the hand shows; without its cursor the link leaves the cursor alone.
    for (const bool loaded : {true, false}) {
        if (!loaded) {
            link.handCursor = nullptr;
        }
        ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
        const LRESULT set = link.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(link.m_hWnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(loaded, set != 0);
        EXPECT_EQ(loaded ? link.handCursor : ::LoadCursorA(nullptr, IDC_ARROW), ::GetCursor());
    }
}

TEST(Hyperlink, RunTimeClasses) {
    CStaticHyperlink link;
    EXPECT_STREQ("CStaticHyperlink", link.GetRuntimeClass()->m_lpszClassName);
    EXPECT_STREQ("CStyledStatic", link.GetRuntimeClass()->m_pBaseClass->m_lpszClassName);
    EXPECT_EQ(RUNTIME_CLASS(CStatic), RUNTIME_CLASS(CStyledStatic)->m_pBaseClass);
    EXPECT_TRUE(link.IsKindOf(RUNTIME_CLASS(CWnd)));
}

}  // namespace
}  // namespace kg
