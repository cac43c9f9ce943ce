// The styled static and the hyperlink in windows of the tests' own: fitting,
// the answer to the parent's colour request, the tooltip's text, the
// backgrounds read back pixel by pixel, and what a click on a link opens.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "controls/static_hyperlink.h"
#include "tests/support/message_boxes.h"

namespace kg {
namespace {

const char* const ADDRESS = "http://www.kestrelgard.example/";
constexpr int ID = 1004;
const HGDIOBJ FONT = ::GetStockObject(DEFAULT_GUI_FONT);

// A hidden top-level framework window: it reflects its children's notifications to them.
struct Parent : CWnd {
    Parent(int width, int height) { CreateEx(0, "STATIC", "", WS_POPUP, 0, 0, width, height, nullptr, nullptr); }
};

// A static child of `parent` in FONT, bound to `control` as a dialog's data exchange binds it.
void Attach(CWnd& control, CWnd& parent, DWORD style, const char* text, RECT r) {
    const HWND window = ::CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                          parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID)), nullptr, nullptr);
    ::SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(FONT), FALSE);
    control.SubclassWindow(window);
}

SIZE Extent(const char* text) { CMemoryDC dc; const SelectGuard font(dc, FONT); return dc.GetTextExtent(text, static_cast<int>(std::strlen(text))); }

std::string Box(LONG left, LONG top, LONG width, LONG height) { return std::to_string(left) + "," + std::to_string(top) + " " + std::to_string(width) + "x" + std::to_string(height); }

// Where the control is in its parent, its client rectangle and its tool's: "left,top widthxheight".
std::string Placed(const CWnd& control) {
    RECT r;
    control.GetWindowRect(&r);
    control.GetParent()->ScreenToClient(&r);
    return Box(r.left, r.top, r.right - r.left, r.bottom - r.top);
}
std::string Client(const CWnd& control) { RECT r; control.GetClientRect(&r); return Box(r.left, r.top, r.right, r.bottom); }
std::string ToolRect(CStyledStatic& c) { CToolInfo tool; return c.tooltip.GetToolInfo(tool, &c, 1) ? Box(tool.rect.left, tool.rect.top, tool.rect.right, tool.rect.bottom) : "(no tool)"; }
std::string ToolText(CStyledStatic& c) { CToolInfo tool; return c.tooltip.GetToolInfo(tool, &c, 1) ? tool.szText : "(no tool)"; }

std::string Hex(COLORREF c) { char text[8]; std::snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c)); return text; }

// The parent's colour request for the control, on a fresh memory context:
// the text colour, brush, font and background mode it leaves.
std::string AskColours(const CWnd& parent, const CStyledStatic& control) {
    CMemoryDC dc;
    const SelectGuard keep(dc, ::GetStockObject(SYSTEM_FONT));
    const auto brush = reinterpret_cast<HGDIOBJ>(parent.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.m_hDC), reinterpret_cast<LPARAM>(control.m_hWnd)));
    return Hex(::GetTextColor(dc)) + (brush == ::GetStockObject(NULL_BRUSH) ? ", no brush" : ", the parent's brush") +
           (::GetCurrentObject(dc, OBJ_FONT) == control.textFont.m_hObject ? ", its font" : "") + (::GetBkMode(dc) == TRANSPARENT ? ", transparent" : "");
}

HFONT WINAPI NoFont(const LOGFONTA*) { return nullptr; }

TEST(StyledStatic, FittingKeepsTheTextsPlaceInTheOldRectangleAndTheToolCoversTheControl) {
    const SIZE text = Extent(ADDRESS);
    const LONG cx = text.cx, cy = text.cy;
    enum Event { NONE, RESIZED, NO_FONT };
    // fit: fitting on; spare: of the rectangle at first (at 50,30) beyond the text; event: the control moved to
    // 20,30 and made 100x15 afterwards, or no font could be made for it; placed: where the control is then
    const struct { const char* what; DWORD style; BOOL fit; int spareWidth, spareHeight, parentWidth; Event event; std::string placed; } rows[] = {
        {"centred, 40 spare", SS_CENTER, TRUE, 40, 10, 400, NONE, Box(70, 30, cx, cy)},
        {"centred, 39 spare", SS_CENTER, TRUE, 39, 10, 400, NONE, Box(69, 30, cx + 1, cy)},
        {"right", SS_RIGHT, TRUE, 40, 10, 400, NONE, Box(90, 30, cx, cy)},
        {"left", SS_LEFT, TRUE, 40, 10, 400, NONE, Box(50, 30, cx, cy)},
        {"centred vertically", SS_LEFT | SS_CENTERIMAGE, TRUE, 40, 11, 400, NONE, Box(50, 35, cx, cy + 1)},
        {"wider than the parent", SS_LEFT, TRUE, 40, 10, 80, NONE, Box(50, 30, 80, cy)},
        {"no prefix: not text", SS_LEFT | SS_NOPREFIX, TRUE, 40, 10, 400, NONE, Box(50, 30, cx + 40, cy + 10)},
        {"frame", SS_BLACKFRAME, TRUE, 40, 10, 400, NONE, Box(50, 30, cx + 40, cy + 10)},
        {"not fitting", SS_LEFT, FALSE, 40, 10, 400, NONE, Box(50, 30, cx + 40, cy + 10)},
        {"no font made", SS_LEFT, TRUE, 40, 10, 400, NO_FONT, Box(50, 30, cx + 40, cy + 10)},
        {"resized, fitting", SS_LEFT, TRUE, 40, 10, 400, RESIZED, Box(20, 30, cx, cy)},
        {"resized, not fitting", SS_LEFT, FALSE, 40, 10, 400, RESIZED, Box(20, 30, 100, 15)},
    };
    for (const auto& row : rows) {
        Parent parent(row.parentWidth, 200);
        CStyledStatic control;
        control.fitToText = row.fit;
        const test::ApiOverride<decltype(sys.CreateFontIndirectA)> font(sys.CreateFontIndirectA, row.event == NO_FONT ? NoFont : test::Real(&SystemApi::CreateFontIndirectA));
        Attach(control, parent, row.style, ADDRESS, {50, 30, 50 + cx + row.spareWidth, 30 + cy + row.spareHeight});
        if (row.event == RESIZED) control.SetWindowPos(nullptr, 20, 30, 100, 15, SWP_NOZORDER);
        EXPECT_EQ(row.placed, Placed(control)) << row.what;
        EXPECT_EQ(Client(control), ToolRect(control)) << row.what << ": the tool does not cover the control";
    }
}

TEST(StyledStatic, ColoursAndTooltipText) {
    const std::string own = "0A141E, no brush, its font, transparent", parents = "000000, the parent's brush";
    const SIZE second = Extent("second");
    const std::string fitted = Box(0, 0, second.cx, second.cy), unfitted = Box(0, 0, 300, 20);
    // active, own, fit: the tooltip shown, with its own text "mine", fitting; then the answer to the colour request,
    // the tooltip's text at first and after the window text changed to "second", and the client rectangle then
    const struct { const char* what; DWORD style; BOOL active, own, fit; std::string colours; const char *atFirst, *afterNewText; std::string client; } rows[] = {
        {"defaults", SS_LEFT, FALSE, FALSE, FALSE, own, "", "", unfitted},
        {"the window text", SS_CENTER, TRUE, FALSE, TRUE, own, ADDRESS, "second", fitted},
        {"its own text", SS_CENTER, TRUE, TRUE, TRUE, own, "mine", "mine", fitted},
        {"not a text static", SS_LEFT | SS_NOPREFIX, TRUE, FALSE, TRUE, parents, "", "", unfitted},
        {"a frame with its own text", SS_BLACKFRAME, TRUE, TRUE, TRUE, parents, "mine", "mine", unfitted},
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
        EXPECT_EQ(row.client, Client(control)) << row.what << ": refitted or not";
    }
}

constexpr COLORREF UNTOUCHED = RGB(1, 254, 3), ORANGE = RGB(255, 128, 64), BLACK = 0;

// The top row of pixels that the control's background leaves in a bitmap 8
// pixels wider and 1 higher than the control, all UNTOUCHED before.
std::vector<COLORREF> Painted(int mode, COLORREF colour, int width, const char* what) {
    Parent parent(width + 20, 40);
    CStyledStatic control;
    control.backgroundMode = mode;
    control.backgroundColor = colour;
    Attach(control, parent, SS_LEFT, "", {0, 0, width, 3});
    const int stride = width + 8;
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), stride, -4, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    DWORD* bits = nullptr;
    CMemoryDC dc;
    CGdiObject bitmap;
    bitmap.Attach(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0));
    const SelectGuard selected(dc, bitmap.m_hObject);
    const DWORD untouched = 0x01FE03;  // UNTOUCHED as the bitmap holds it
    std::fill(bits, bits + 4 * stride, untouched);
    EXPECT_TRUE(control.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC))) << what << ": erasing left to the system";
    ::GdiFlush();
    EXPECT_TRUE(std::equal(bits, bits + stride, bits + 2 * stride)) << what << ": the bands are not as high as the control";
    EXPECT_EQ(8, std::count(bits + width, bits + stride, untouched)) << what << ": painted beside the control";
    EXPECT_EQ(stride, std::count(bits + 3 * stride, bits + 4 * stride, untouched)) << what << ": painted below the control";
    std::vector<COLORREF> row;
    for (int x = 0; x < width; ++x) row.push_back(::GetPixel(dc, x, 0));
    return row;
}

// Each channel v of ORANGE at distance d from the full colour: v - d*d*v / divisor.
COLORREF Faded(std::int64_t d, std::int64_t divisor) {
    auto channel = [&](std::int64_t v) { return static_cast<BYTE>(v - d * d * v / divisor); };
    return RGB(channel(GetRValue(ORANGE)), channel(GetGValue(ORANGE)), channel(GetBValue(ORANGE)));
}

TEST(StyledStatic, BackgroundsFollowTheFadeFormula) {
    // Modes: 0 solid, 3 full colour at the left edge, 1 at the right, 2 at both; a fade darkens band by band with the
    // square of the band's distance from the full colour over the square of the width (of half of it in mode 2), its
    // bands 1 pixel wide, width/128 from 256 on (half/256 from 1024 on in mode 2), the last closed by black. Then the
    // pixels at the edges and at x.
    const struct { const char* what; int mode; COLORREF colour; int width; COLORREF left; int x; COLORREF atX, right; } rows[] = {
        {"solid", 0, ORANGE, 100, ORANGE, 50, ORANGE, ORANGE},
        {"no colour", 0, CLR_NONE, 50, UNTOUCHED, 25, UNTOUCHED, UNTOUCHED},
        {"unknown mode", 4, ORANGE, 50, UNTOUCHED, 25, UNTOUCHED, UNTOUCHED},
        {"rightward, 1 wide", 3, ORANGE, 1, ORANGE, 0, ORANGE, ORANGE},
        {"rightward, 100 wide", 3, ORANGE, 100, ORANGE, 50, Faded(50, 100 * 100), Faded(99, 100 * 100)},
        {"rightward, 300 wide: closing band", 3, ORANGE, 300, ORANGE, 298, BLACK, Faded(298, 300 * 300)},
        {"rightward, 1024 wide", 3, ORANGE, 1024, ORANGE, 512, Faded(512, 1024 * 1024), Faded(1016, 1024 * 1024)},
        {"rightward, 3000 wide: d*d*v past 2^31", 3, ORANGE, 3000, ORANGE, 1500, Faded(1495, 3000 * 3000), Faded(2990, 3000 * 3000)},
        {"leftward, 1 wide", 1, ORANGE, 1, BLACK, 0, BLACK, BLACK},
        {"leftward, 100 wide", 1, ORANGE, 100, BLACK, 50, Faded(50, 100 * 100), Faded(1, 100 * 100)},
        {"leftward, 300 wide", 1, ORANGE, 300, BLACK, 150, Faded(150, 300 * 300), Faded(2, 300 * 300)},
        {"leftward, 1024 wide", 1, ORANGE, 1024, BLACK, 512, Faded(512, 1024 * 1024), Faded(8, 1024 * 1024)},
        {"leftward, 3000 wide: d*d*v past 2^31", 1, ORANGE, 3000, BLACK, 10, Faded(2990, 3000 * 3000), Faded(23, 3000 * 3000)},
        {"centre, 1 wide: no divisor", 2, ORANGE, 1, ORANGE, 0, ORANGE, ORANGE},
        {"centre, 100 wide", 2, ORANGE, 100, ORANGE, 25, Faded(25, 100 * 100 / 4), Faded(1, 100 * 100 / 4)},
        {"centre, 300 wide: the middle", 2, ORANGE, 300, ORANGE, 150, BLACK, Faded(1, 300 * 300 / 4)},
        {"centre, 1024 wide", 2, ORANGE, 1024, ORANGE, 257, Faded(256, 1024 * 1024 / 4), Faded(2, 1024 * 1024 / 4)},
        {"centre, 3000 wide", 2, ORANGE, 3000, ORANGE, 1500, BLACK, Faded(5, 3000 * 3000 / 4)},
    };
    for (const auto& row : rows) {
        const std::vector<COLORREF> painted = Painted(row.mode, row.colour, row.width, row.what);
        EXPECT_EQ(Hex(row.left), Hex(painted.front())) << row.what << ", left edge";
        EXPECT_EQ(Hex(row.atX), Hex(painted[row.x])) << row.what << ", x=" << row.x;
        EXPECT_EQ(Hex(row.right), Hex(painted.back())) << row.what << ", right edge";
    }
}

TEST(StyledStatic, ABrushThatCannotBeMadeEndsThePaintingWithABox) {
    const test::MessageBoxRecorder boxes;
    const test::ApiOverride<decltype(sys.CreateSolidBrush)> noBrush(sys.CreateSolidBrush, [](COLORREF) -> HBRUSH { return nullptr; });
    EXPECT_EQ(std::vector<COLORREF>(40, UNTOUCHED), Painted(3, ORANGE, 40, "no brush")) << "painted without a brush";
    ASSERT_EQ(1u, boxes.Boxes().size()) << "not told once";
    EXPECT_EQ("A required resource was unavailable.", boxes.Boxes()[0].text) << "not told the brush was missing";
}

std::vector<std::string> opened;
HINSTANCE WINAPI Shell(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) { opened.push_back(std::string(verb) + " " + file); return reinterpret_cast<HINSTANCE>(42); }

TEST(Hyperlink, WhatAClickOpensAndTheTooltipShows) {
    const test::ApiOverride<decltype(sys.ShellExecuteA)> shell(sys.ShellExecuteA, Shell);
    const std::string purple = "800080, no brush, its font, transparent", parents = "000000, the parent's brush";
    // file, useWindowText: the action's file and whether the window text stands in for an empty one; then the
    // tooltip's text, what a click opens and the answer to the colour request after it
    const struct { const char* what; DWORD style; const char* file; BOOL useWindowText; const char *tooltip, *opens; std::string after; } rows[] = {
        {"the window text", SS_CENTER, "", TRUE, ADDRESS, "open http://www.kestrelgard.example/", purple},
        {"the owner's file", SS_CENTER, "C:\\readme.txt", TRUE, "C:\\readme.txt", "open C:\\readme.txt", purple},
        {"without the window text", SS_CENTER, "", FALSE, "", "open ", purple},
        {"a frame: no font, its parent's colours", SS_BLACKFRAME, "", TRUE, "", "open http://www.kestrelgard.example/", parents},
    };
    for (const auto& row : rows) {
        opened.clear();
        Parent parent(400, 200);
        CStaticHyperlink link;
        link.action.file = row.file;
        link.useWindowText = row.useWindowText;
        Attach(link, parent, row.style, ADDRESS, {20, 20, 320, 40});
        EXPECT_EQ(row.tooltip, ToolText(link)) << row.what;
        LOGFONTA font{};
        EXPECT_EQ(row.style == SS_CENTER, link.textFont.GetLogFont(&font) != 0 && font.lfUnderline) << row.what << ": the window's font not underlined, or a font for a frame";
        parent.SendMessage(WM_COMMAND, MAKEWPARAM(ID, STN_CLICKED), reinterpret_cast<LPARAM>(link.m_hWnd));
        EXPECT_EQ(std::vector<std::string>{row.opens}, opened) << row.what;
        EXPECT_EQ(row.file, link.action.file) << row.what << ": the click changed the action's file";
        EXPECT_EQ(row.after, AskColours(parent, link)) << row.what;
    }
}

}  // namespace
}  // namespace kg
