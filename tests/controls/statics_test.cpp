// The styled static and the hyperlink in windows of the tests' own: fitting,
// the answer to the parent's colour request, the tooltip's text, the
// backgrounds read back pixel by pixel, and what a click on a link opens.
#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "controls/static_hyperlink.h"
#include "framework/dc.h"
#include "tests/support/message_boxes.h"

namespace kg {
namespace {

const char* const ADDRESS = "http://www.kestrelgard.example/";
constexpr int ID = 1004;

// A hidden top-level framework window: it reflects its children's notifications to them.
struct Parent : CWnd {
    Parent(int width, int height) { CreateEx(0, "STATIC", "", WS_POPUP, 0, 0, width, height, nullptr, nullptr); }
};

HFONT DialogFont() {
    static const HFONT font = ::CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    return font;
}

// A static child of `parent` in the dialogs' font, bound to `control` as a dialog's data exchange binds it.
void Attach(CWnd& control, CWnd& parent, DWORD style, const char* text, RECT r) {
    const HWND window = ::CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                          parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID)), nullptr, nullptr);
    ::SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
    control.SubclassWindow(window);
}

SIZE Extent(const char* text) {
    CMemoryDC dc;
    const SelectGuard font(dc, DialogFont());
    return dc.GetTextExtent(text, static_cast<int>(std::strlen(text)));
}

std::string Box(int left, int top, int width, int height) {
    return std::to_string(left) + "," + std::to_string(top) + " " + std::to_string(width) + "x" + std::to_string(height);
}

// Where the control is in its parent: "left,top widthxheight".
std::string Placed(const CWnd& control) {
    RECT r;
    control.GetWindowRect(&r);
    control.GetParent()->ScreenToClient(&r);
    return Box(r.left, r.top, r.right - r.left, r.bottom - r.top);
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
    const SelectGuard keep(dc, ::GetStockObject(SYSTEM_FONT));
    const auto brush = reinterpret_cast<HGDIOBJ>(parent.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.m_hDC), reinterpret_cast<LPARAM>(control.m_hWnd)));
    return Hex(::GetTextColor(dc)) + (brush == ::GetStockObject(NULL_BRUSH) ? ", no brush" : ", the parent's brush") +
           (::GetCurrentObject(dc, OBJ_FONT) == control.textFont.m_hObject ? ", its font" : "") + (::GetBkMode(dc) == TRANSPARENT ? ", transparent" : "");
}

TEST(StyledStatic, FittingKeepsTheTextsPlaceInTheOldRectangle) {
    const SIZE text = Extent(ADDRESS);
    const int cx = text.cx, cy = text.cy;
    // spare: of the rectangle at first beyond the text, which starts at 50,30; then where the control is
    const struct { const char* what; DWORD style; int spareWidth, spareHeight, parentWidth; std::string placed; } rows[] = {
        {"centred, 40 spare", SS_CENTER, 40, 10, 400, Box(70, 30, cx, cy)},
        {"centred, 39 spare", SS_CENTER, 39, 10, 400, Box(69, 30, cx + 1, cy)},
        {"right", SS_RIGHT, 40, 10, 400, Box(90, 30, cx, cy)},
        {"left", SS_LEFT, 40, 10, 400, Box(50, 30, cx, cy)},
        {"centred vertically", SS_LEFT | SS_CENTERIMAGE, 40, 11, 400, Box(50, 35, cx, cy + 1)},
        {"wider than the parent", SS_LEFT, 40, 10, 80, Box(50, 30, 80, cy)},
        {"no prefix: not text", SS_LEFT | SS_NOPREFIX, 40, 10, 400, Box(50, 30, cx + 40, cy + 10)},
        {"frame", SS_BLACKFRAME, 40, 10, 400, Box(50, 30, cx + 40, cy + 10)},
    };
    for (const auto& row : rows) {
        Parent parent(row.parentWidth, 200);
        CStyledStatic control;
        control.fitToText = TRUE;
        Attach(control, parent, row.style, ADDRESS, {50, 30, 50 + cx + row.spareWidth, 30 + cy + row.spareHeight});
        EXPECT_EQ(row.placed, Placed(control)) << row.what;
    }
}

TEST(StyledStatic, ColoursTooltipAndANewText) {
    const std::string own = "0A141E, no brush, its font, transparent", parents = "000000, the parent's brush";
    const int fitted = Extent("second").cx;
    // active, own, fit: the tooltip shown, with its own text "mine", fitting; then the answer to the colour request,
    // the tooltip's text at first and after the window text changed to "second", and the control's width then
    const struct { const char* what; DWORD style; BOOL active, own, fit; std::string colours; const char *atFirst, *afterNewText; int width; } rows[] = {
        {"defaults: no tooltip", SS_LEFT, FALSE, FALSE, FALSE, own, "", "", 300},
        {"the window text", SS_CENTER, TRUE, FALSE, TRUE, own, ADDRESS, "second", fitted},
        {"its own text", SS_CENTER, TRUE, TRUE, FALSE, own, "mine", "mine", 300},
        {"not a text static", SS_LEFT | SS_NOPREFIX, TRUE, FALSE, TRUE, parents, "", "", 300},
        {"a frame with its own text", SS_BLACKFRAME, TRUE, TRUE, FALSE, parents, "mine", "mine", 300},
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
        EXPECT_TRUE(control.GetStyle() & SS_NOTIFY) << row.what << ": reports no clicks after the colour request";
        EXPECT_EQ(row.atFirst, ToolText(control)) << row.what;
        control.SetWindowText("second");
        EXPECT_EQ(row.afterNewText, ToolText(control)) << row.what;
        RECT r;
        control.GetClientRect(&r);
        EXPECT_EQ(row.width, r.right) << row.what << ": refitted or not";
    }
}

// Resized, a fitting control fits itself to its text again; another keeps the new size and its tool covers it.
TEST(StyledStatic, Resized) {
    const SIZE text = Extent(ADDRESS);
    for (const BOOL fit : {FALSE, TRUE}) {
        Parent parent(400, 200);
        CStyledStatic control;
        control.fitToText = fit;
        Attach(control, parent, SS_LEFT, ADDRESS, {10, 10, 310, 30});
        control.SetWindowPos(nullptr, 20, 30, 100, 15, SWP_NOZORDER);
        EXPECT_EQ(fit ? Box(20, 30, text.cx, text.cy) : Box(20, 30, 100, 15), Placed(control)) << "fitting " << fit;
        CToolInfo info;
        ASSERT_TRUE(control.tooltip.GetToolInfo(info, &control, 1));
        EXPECT_EQ(fit ? text.cx : 100, info.rect.right) << "fitting " << fit << ": the tool does not cover the control";
    }
}

// --- Backgrounds, painted into a 32-bit memory bitmap --------------------

constexpr COLORREF UNTOUCHED = RGB(1, 254, 3), ORANGE = RGB(255, 128, 64), BLACK = 0;
constexpr COLORREF QUARTER_OFF = RGB(192, 96, 48);  // three quarters of each channel of ORANGE
constexpr int HEIGHT = 3;

// "" when the rows are the same, else the first pixel that differs.
std::string Differs(const std::vector<COLORREF>& found, const std::vector<COLORREF>& expected) {
    const auto [f, e] = std::mismatch(found.begin(), found.end(), expected.begin());
    return f == found.end() ? "" : "x=" + std::to_string(f - found.begin()) + " is " + Hex(*f) + ", not " + Hex(*e);
}

// The top row of pixels that the control's background leaves in a bitmap 8
// pixels wider and 1 higher than the control, UNTOUCHED before; the bands
// must fill the control's height and nothing below it.
std::vector<COLORREF> Painted(int mode, COLORREF colour, int width, const char* what) {
    Parent parent(width + 20, 40);
    CStyledStatic control;
    control.backgroundMode = mode;
    control.backgroundColor = colour;
    Attach(control, parent, SS_LEFT, "", {0, 0, width, HEIGHT});
    const int stride = width + 8;
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), stride, -(HEIGHT + 1), 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    DWORD* bits = nullptr;
    CMemoryDC dc;
    CGdiObject bitmap;
    bitmap.Attach(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0));
    const SelectGuard selected(dc, bitmap.m_hObject);
    std::fill(bits, bits + stride * (HEIGHT + 1), DWORD{GetRValue(UNTOUCHED)} << 16 | GetGValue(UNTOUCHED) << 8 | GetBValue(UNTOUCHED));
    EXPECT_TRUE(control.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC))) << what << ": erasing left to the system";
    ::GdiFlush();
    auto row = [&](int y) {
        std::vector<COLORREF> pixels;
        for (const DWORD* p = bits + y * stride; p < bits + (y + 1) * stride; ++p) pixels.push_back(RGB(*p >> 16 & 0xFF, *p >> 8 & 0xFF, *p & 0xFF));
        return pixels;
    };
    EXPECT_EQ("", Differs(row(HEIGHT - 1), row(0))) << what << ": the bottom row differs from the top";
    EXPECT_EQ("", Differs(row(HEIGHT), std::vector<COLORREF>(stride, UNTOUCHED))) << what << ": painted below the control";
    return row(0);
}

// Each channel v of `colour` at distance d from the full colour: v - d*d*v / divisor (all of v for a divisor of 0).
COLORREF Faded(COLORREF colour, std::int64_t d, std::int64_t divisor) {
    auto channel = [&](std::int64_t v) { return static_cast<BYTE>(divisor == 0 ? v : v - d * d * v / divisor); };
    return RGB(channel(GetRValue(colour)), channel(GetGValue(colour)), channel(GetBValue(colour)));
}

// The background as it is described: a solid fill; or bands, `step` pixels
// wide from the full-colour edge, each darker by the square of its distance,
// closed by a black band; nothing without a colour or in an unknown mode, and
// nothing beside the control.
std::vector<COLORREF> Reference(int mode, COLORREF colour, int width) {
    std::vector<COLORREF> row(width + 8, UNTOUCHED);
    auto band = [&](int x, int w, COLORREF c) { std::fill(row.begin() + std::clamp(x, 0, width), row.begin() + std::clamp(x + w, 0, width), c); };
    const std::int64_t square = std::int64_t{width} * width;
    const int step = width >= 256 ? width / 128 : 1, half = width / 2, halfStep = half >= 512 ? half / 256 : 1;
    int p = 0;
    if (colour == CLR_NONE) {
    } else if (mode == 0) {
        band(0, width, colour);
    } else if (mode == 3) {
        for (p = 0; p < width; p += step) band(p, step, Faded(colour, p, square));
        band(p - step, width - (p - step) - 1, BLACK);
    } else if (mode == 1) {
        for (p = width; p > 0; p -= step) band(p, step, Faded(colour, width - p, square));
        band(0, p + step, BLACK);
    } else if (mode == 2) {
        for (p = 0; half - p > 0; p += halfStep) band(2 * half - p, halfStep, Faded(colour, p, square / 4));
        band(half, half - p + halfStep, BLACK);
        for (p = 0; p <= half; p += halfStep) band(p, halfStep, Faded(colour, p, square / 4));
        band(p - halfStep, half + halfStep - p, BLACK);
    }
    return row;
}

TEST(StyledStatic, BackgroundsFollowTheFadeFormulas) {
    // mode 0 solid, 1 full colour at the right edge, 2 at both edges, 3 at the left edge; then one pixel as a reader
    // works it out, besides the whole row against the reference
    const struct { const char* what; int mode; COLORREF colour; int width, x; COLORREF atX; } rows[] = {
        {"solid", 0, ORANGE, 100, 99, ORANGE},
        {"no colour", 0, CLR_NONE, 50, 10, UNTOUCHED},
        {"no colour, fading", 3, CLR_NONE, 50, 10, UNTOUCHED},
        {"unknown mode", 4, ORANGE, 50, 10, UNTOUCHED},
        {"rightward, 1 wide", 3, ORANGE, 1, 0, ORANGE},
        {"rightward, 100 wide", 3, ORANGE, 100, 50, QUARTER_OFF},
        {"rightward, 256 wide: bands of 2", 3, ORANGE, 256, 128, QUARTER_OFF},
        {"rightward, 300 wide: the closing band", 3, ORANGE, 300, 298, BLACK},
        {"rightward, 1024 wide", 3, ORANGE, 1024, 512, QUARTER_OFF},
        {"rightward, 3000 wide: d*d*v past 2^31", 3, ORANGE, 3000, 1500, RGB(192, 97, 49)},
        {"leftward, 1 wide", 1, ORANGE, 1, 0, BLACK},
        {"leftward, 100 wide", 1, ORANGE, 100, 50, QUARTER_OFF},
        {"leftward, 256 wide", 1, ORANGE, 256, 128, QUARTER_OFF},
        {"leftward, 300 wide", 1, ORANGE, 300, 299, ORANGE},
        {"leftward, 1024 wide", 1, ORANGE, 1024, 512, QUARTER_OFF},
        {"leftward, 3000 wide", 1, ORANGE, 3000, 0, BLACK},
        {"centre, 1 wide: no divisor", 2, ORANGE, 1, 0, ORANGE},
        {"centre, 100 wide", 2, ORANGE, 100, 25, QUARTER_OFF},
        {"centre, 300 wide", 2, ORANGE, 300, 225, QUARTER_OFF},
        {"centre, 1024 wide: bands of 2", 2, ORANGE, 1024, 256, QUARTER_OFF},
        {"centre, 1024 wide, the middle", 2, ORANGE, 1024, 513, BLACK},
        {"centre, 3000 wide", 2, ORANGE, 3000, 2999, ORANGE},
    };
    for (const auto& row : rows) {
        const std::vector<COLORREF> painted = Painted(row.mode, row.colour, row.width, row.what);
        EXPECT_EQ(Hex(row.atX), Hex(painted[row.x])) << row.what << ", x=" << row.x;
        EXPECT_EQ("", Differs(painted, Reference(row.mode, row.colour, row.width))) << row.what;
    }
}

TEST(StyledStatic, ABrushThatCannotBeMadeEndsThePaintingWithABox) {
    const test::MessageBoxRecorder boxes;
    const test::ApiOverride<decltype(sys.CreateSolidBrush)> noBrush(sys.CreateSolidBrush, [](COLORREF) -> HBRUSH { return nullptr; });
    EXPECT_EQ("", Differs(Painted(3, ORANGE, 40, "no brush"), std::vector<COLORREF>(48, UNTOUCHED))) << "painted without a brush";
    ASSERT_EQ(1u, boxes.Boxes().size()) << "not told once";
    EXPECT_EQ("A required resource was unavailable.", boxes.Boxes()[0].text);
}

// --- The hyperlink outside the dialog ----------------------------------

std::vector<std::string> opened;
HINSTANCE WINAPI Shell(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
    opened.push_back(std::string(verb) + " " + file);
    return reinterpret_cast<HINSTANCE>(42);
}

TEST(Hyperlink, WhatAClickOpensAndTheTooltipShows) {
    const test::ApiOverride<decltype(sys.ShellExecuteA)> shell(sys.ShellExecuteA, Shell);
    const std::string blue = "0000FF, no brush, its font, transparent", purple = "800080, no brush, its font, transparent", parents = "000000, the parent's brush";
    // file, useWindowText: the action's file and whether the window text stands in for an empty one; then the
    // tooltip's text, what a click opens and the answers to the colour request before and after it
    const struct { const char* what; DWORD style; const char* file; BOOL useWindowText; const char *tooltip, *opens; std::string before, after; } rows[] = {
        {"the window text", SS_CENTER, "", TRUE, ADDRESS, "open http://www.kestrelgard.example/", blue, purple},
        {"the owner's file", SS_CENTER, "C:\\readme.txt", TRUE, "C:\\readme.txt", "open C:\\readme.txt", blue, purple},
        {"without the window text", SS_CENTER, "", FALSE, "", "open ", blue, purple},
        {"a frame: no font, its parent's colours", SS_BLACKFRAME, "", TRUE, "", "open http://www.kestrelgard.example/", parents, parents},
    };
    for (const auto& row : rows) {
        opened.clear();
        Parent parent(400, 200);
        CStaticHyperlink link;
        link.action.file = row.file;
        link.useWindowText = row.useWindowText;
        Attach(link, parent, row.style, ADDRESS, {20, 20, 320, 40});
        EXPECT_EQ(row.tooltip, ToolText(link)) << row.what;
        LOGFONTA made{}, underlined{};
        link.textFont.GetLogFont(&made);
        ::GetObjectA(DialogFont(), sizeof underlined, &underlined);
        underlined.lfUnderline = 1;
        EXPECT_EQ(row.style == SS_CENTER, std::memcmp(&made, &underlined, sizeof made) == 0) << row.what << ": the window's font underlined, or none";
        EXPECT_EQ(row.before, AskColours(parent, link)) << row.what;
        parent.SendMessage(WM_COMMAND, MAKEWPARAM(ID, STN_CLICKED), reinterpret_cast<LPARAM>(link.m_hWnd));
        EXPECT_EQ(std::vector<std::string>{row.opens}, opened) << row.what;
        EXPECT_EQ(row.file, link.action.file) << row.what << ": the click changed the action's file";
        EXPECT_EQ(row.after, AskColours(parent, link)) << row.what;
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
    EXPECT_EQ(Box(5, 0, 32, 64), Box(info.xHotspot, info.yHotspot, bits.bmWidth, bits.bmHeight)) << "hot spot and mask";
    EXPECT_EQ(nullptr, info.hbmColor) << "a coloured cursor";
}

}  // namespace
}  // namespace kg
