// The hyperlink control's parts: the action (the shell or a window asked, what the caller gets, what the user hears
// and reads on a failure); the styled static and the hyperlink in windows of the tests' own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "controls/static_hyperlink.h"
#include "framework/dialog.h"
#include "tests/support/message_boxes.h"

namespace kg {
namespace {

using A = HyperlinkAction;

// What the action did, each call ended by "; ", in order; what the shell or the window answers.
std::string seen;
UINT_PTR answer = 0;
const UINT NOTIFY = ::RegisterWindowMessageA("Kgsetup.ActionTest.Notify");
const HyperlinkAction* running = nullptr;

HINSTANCE WINAPI Shell(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
    seen += std::string(owner != nullptr ? "owned " : "") + verb + " '" + file + "' '" + parameters + "' '" +
            directory + "' " + std::to_string(show) + "; ";
    return reinterpret_cast<HINSTANCE>(answer);
}
BOOL WINAPI Beep(UINT type) {
    seen += "beep " + std::to_string(type) + "; ";
    return TRUE;
}
LRESULT CALLBACK Receiver(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != NOTIFY)
        return ::DefWindowProcA(window, message, wParam, lParam);
    seen += "told " + std::to_string(wParam) + (lParam == reinterpret_cast<LPARAM>(running) ? "" : " another") + "; ";
    return static_cast<LRESULT>(answer);
}

struct Observed : ::testing::Test {
    const test::ApiOverride<decltype(sys.ShellExecuteA)> shell{sys.ShellExecuteA, Shell};
    const test::ApiOverride<decltype(sys.MessageBeep)> beep{sys.MessageBeep, Beep};
};

TEST_F(Observed, Runs) {
    // Top-level: a broadcast reaches only those.
    const HWND window = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Receiver));
    // file to notify: the record; reply: the shell's or the window's; report: Run's argument; then the outcome left
    // (Run succeeds when it is none) and what Run did (shell or window, beep) and told ("told": the window got it)
    const std::tuple<const char*, const char*, const char*, const char*, int, int, HWND, UINT_PTR, BOOL, int,
                     std::string>
        rows[] = {
            {"printed", "C:\\a.txt", "/q", "C:\\", A::ACTION_PRINT, 0, nullptr, 0x1234, TRUE, -1,
             "print 'C:\\a.txt' '/q' 'C:\\' 0; "},
            {"explored, out of memory", "C:\\w", "", "", A::ACTION_EXPLORE, 3, nullptr, 0, TRUE, 0,
             "explore 'C:\\w' '' '' 3; beep 0; [stop: The operating system is out\nof memory or resources.]"},
            {"no library", "x", "", "", A::ACTION_OPEN, 1, nullptr, 32, TRUE, 32,
             "open 'x' '' '' 1; beep 0; [stop: The specified dynamic-link library was not found.]"},
            {"unknown refusal", "x", "", "", A::ACTION_OPEN, 1, nullptr, 4, TRUE, 4,
             "open 'x' '' '' 1; beep 0; [stop: Unknown error!]"},
            {"refused, not told", "x", "", "", A::ACTION_OPEN, 1, nullptr, 2, FALSE, 2, "open 'x' '' '' 1; "},
            {"e-mail, the least handle", "a@b.c", "", "", A::ACTION_EMAIL, 1, nullptr, 33, TRUE, -1,
             "open 'mailto:a@b.c' '' '' 1; "},
            {"none", "x", "", "", A::ACTION_NONE, 1, nullptr, 0, TRUE, -1, ""},
            {"type 6", "x", "", "", 6, 1, nullptr, 0, TRUE, -2, "beep 0; [stop: Failed to execute unknown action!]"},
            {"user defined, handled", "", "", "", A::ACTION_USERDEFINED, 1, window, 1, TRUE, -1, "told 0; "},
            {"user defined, not handled", "", "", "", A::ACTION_USERDEFINED, 1, window, 0, TRUE, -3,
             "told 0; beep 0; [stop: User defined action failed!]"},
            {"posted to all windows", "", "", "", A::ACTION_USERDEFINED, 1, HWND_BROADCAST, 0, TRUE, -1, "told 0; "},
        };
    HyperlinkAction action;  // one record for every row: nothing of one run may leak into the next
    running = &action;
    action.notifyMessage = NOTIFY;
    for (const auto& [what, file, parameters, directory, type, show, notify, reply, report, outcome, calls] : rows) {
        const BOOL succeeds = outcome == A::OUTCOME_NONE;
        const test::MessageBoxRecorder boxes;
        seen.clear();
        answer = reply;
        std::tie(action.file, action.parameters, action.workingDirectory, action.actionType, action.showCommand,
                 action.notifyWindow) = std::tuple(file, parameters, directory, type, show, notify);
        EXPECT_EQ(succeeds, action.Run(report)) << what;
        for (MSG msg; ::PeekMessageA(&msg, window, 0, 0, PM_REMOVE);)
            ::DispatchMessageA(&msg);
        EXPECT_EQ(calls, seen + boxes.Told()) << what;
        EXPECT_EQ(outcome, action.outcome) << what;
        // The shell's result is kept only when the shell accepted the request.
        EXPECT_EQ(succeeds && reply > 32 ? reinterpret_cast<HINSTANCE>(reply) : nullptr, action.shellResult) << what;
        EXPECT_EQ(file, action.file) << what << ": the run left the file changed";
    }
    ::DestroyWindow(window);
}

// A failed notification whose type was changed afterwards: told by the type's name, never read from beyond the names.
TEST_F(Observed, AFailedNotificationIsToldByTheTypesName) {
    const std::string unknown = "Failed to execute unknown action!";
    const std::pair<int, std::string> rows[] = {{0, "None action failed!"}, {6, unknown}, {-1, unknown}};
    for (const auto& [type, told] : rows) {
        const test::MessageBoxRecorder boxes;
        seen.clear();
        HyperlinkAction action;
        std::tie(action.actionType, action.outcome) = std::tuple(type, A::OUTCOME_NOTIFY_FAILED);
        action.ReportError();
        EXPECT_EQ("beep 0; [stop: " + told + "]", seen + boxes.Told()) << "type " << type;
    }
}

const char* const ADDRESS = "http://www.kestrelgard.example/";
constexpr int ID = 1004;
const HGDIOBJ FONT = ::GetStockObject(DEFAULT_GUI_FONT);

// A hidden top-level framework window: it reflects its children's notifications to them.
struct Parent : CWnd {
    Parent(int width, int height) { CreateEx(0, "STATIC", "", WS_POPUP, 0, 0, width, height, nullptr, nullptr); }
};

// A static child of `parent` in FONT, bound to `control` as a dialog's data exchange binds it.
void Attach(CWnd& control, CWnd& parent, DWORD style, const char* text, RECT r) {
    const HWND window = ::CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                                          r.right - r.left, r.bottom - r.top, parent,
                                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID)), nullptr, nullptr);
    ::SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(FONT), FALSE);
    control.SubclassWindow(window);
}

SIZE Extent(const char* text) {
    CMemoryDC dc;
    const SelectGuard font(dc, FONT);
    return dc.GetTextExtent(text, static_cast<int>(std::strlen(text)));
}

std::string Box(LONG left, LONG top, LONG width, LONG height) {
    return std::to_string(left) + "," + std::to_string(top) + " " + std::to_string(width) + "x" +
           std::to_string(height);
}

// Where the control is in its parent, and its client rectangle: "left,top widthxheight".
std::string Placed(const CWnd& c) {
    RECT r;
    c.GetWindowRect(&r);
    c.GetParent()->ScreenToClient(&r);
    return Box(r.left, r.top, r.right - r.left, r.bottom - r.top);
}
std::string Client(const CWnd& control) {
    RECT r;
    control.GetClientRect(&r);
    return Box(r.left, r.top, r.right, r.bottom);
}

// The tooltip's text, and its tool's rectangle where that does not cover the control.
std::string Tool(CStyledStatic& c) {
    CToolInfo tool;
    if (!c.tooltip.GetToolInfo(tool, &c, 1))
        return "(no tool)";
    const std::string rect = Box(tool.rect.left, tool.rect.top, tool.rect.right, tool.rect.bottom);
    return tool.szText + (rect == Client(c) ? "" : " at " + rect);
}

std::string Hex(COLORREF c) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// The parent's colour request for the control on a fresh memory context: the text colour, brush, font and mode left.
std::string AskColours(const CWnd& parent, const CStyledStatic& control) {
    CMemoryDC dc;
    const SelectGuard keep(dc, ::GetStockObject(SYSTEM_FONT));
    const auto brush = reinterpret_cast<HGDIOBJ>(parent.SendMessage(
        WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.m_hDC), reinterpret_cast<LPARAM>(control.m_hWnd)));
    return Hex(::GetTextColor(dc)) + (brush == ::GetStockObject(NULL_BRUSH) ? ", no brush" : ", the parent's brush") +
           (::GetCurrentObject(dc, OBJ_FONT) == control.textFont.m_hObject ? ", its font" : "") +
           (::GetBkMode(dc) == TRANSPARENT ? ", transparent" : "");
}

HFONT WINAPI NoFont(const LOGFONTA*) { return nullptr; }
HBRUSH WINAPI NoBrush(COLORREF) { return nullptr; }

TEST(StyledStatic, IsAStaticAndAWindowButNoDialog) {
    const CStyledStatic control;
    std::string kinds;
    for (const CRuntimeClass* kind : {RUNTIME_CLASS(CStatic), RUNTIME_CLASS(CWnd), RUNTIME_CLASS(CDialog)})
        kinds += control.IsKindOf(kind) ? std::string(kind->m_lpszClassName) + " " : "";
    EXPECT_EQ("CStatic CWnd ", kinds);
    EXPECT_FALSE(RUNTIME_CLASS(CDialog)->IsDerivedFrom(RUNTIME_CLASS(CStatic))) << "a dialog taken for a static";
}

TEST(StyledStatic, FittingKeepsTheTextsPlaceInTheOldRectangleAndTheToolCoversTheControl) {
    const auto [cx, cy] = Extent(ADDRESS);
    enum Event { NONE, RESIZED, NO_FONT };
    // fit: fitting on; spare: of the rectangle at first (at 50,30) beyond the text; event: the control moved to
    // 20,30 and made 100x15 afterwards, or no font could be made for it; placed: where the control is then
    const std::tuple<const char*, DWORD, BOOL, int, int, int, Event, std::string> rows[] = {
        {"centred, 39 spare", SS_CENTER, TRUE, 39, 10, 400, NONE, Box(69, 30, cx + 1, cy)},
        {"right", SS_RIGHT, TRUE, 40, 10, 400, NONE, Box(90, 30, cx, cy)},
        {"centred vertically", SS_LEFT | SS_CENTERIMAGE, TRUE, 40, 11, 400, NONE, Box(50, 35, cx, cy + 1)},
        {"wider than the parent", SS_LEFT, TRUE, 40, 10, 80, NONE, Box(50, 30, 80, cy)},
        {"not fitting", SS_LEFT, FALSE, 40, 10, 400, NONE, Box(50, 30, cx + 40, cy + 10)},
        {"no font made", SS_LEFT, TRUE, 40, 10, 400, NO_FONT, Box(50, 30, cx + 40, cy + 10)},
        {"resized, fitting", SS_LEFT, TRUE, 40, 10, 400, RESIZED, Box(20, 30, cx, cy)},
        {"resized, not fitting", SS_LEFT, FALSE, 40, 10, 400, RESIZED, Box(20, 30, 100, 15)},
    };
    for (const auto& [what, style, fit, spareWidth, spareHeight, parentWidth, event, placed] : rows) {
        Parent parent(parentWidth, 200);
        CStyledStatic control;
        control.fitToText = fit;
        const test::ApiOverride<decltype(sys.CreateFontIndirectA)> font(
            sys.CreateFontIndirectA, event == NO_FONT ? NoFont : test::Real(&SystemApi::CreateFontIndirectA));
        Attach(control, parent, style, ADDRESS, {50, 30, 50 + cx + spareWidth, 30 + cy + spareHeight});
        if (event == RESIZED)
            control.SetWindowPos(nullptr, 20, 30, 100, 15, SWP_NOZORDER);
        EXPECT_EQ(placed, Placed(control)) << what;
        EXPECT_EQ("", Tool(control)) << what << ": the tool does not cover the control";
    }
}

TEST(StyledStatic, ColoursAndTooltipText) {
    const std::string itself = "0A141E, no brush, its font, transparent", parents = "000000, the parent's brush";
    const SIZE second = Extent("second");
    const std::string fitted = Box(0, 0, second.cx, second.cy), unfitted = Box(0, 0, 300, 20);
    // active, own, fit: the tooltip shown, with its own text "mine", fitting; then the answer to the colour request,
    // the tooltip's text (at first and after the window text changed to "second") and the client rectangle then
    const std::tuple<const char*, DWORD, BOOL, BOOL, BOOL, std::string, const char*, std::string> rows[] = {
        {"defaults", SS_LEFT, FALSE, FALSE, FALSE, itself, "", unfitted},
        {"its own text", SS_CENTER, TRUE, TRUE, TRUE, itself, "mine", fitted},
        {"not a text static", SS_LEFT | SS_NOPREFIX, TRUE, FALSE, TRUE, parents, "", unfitted},
    };
    for (const auto& [what, style, active, own, fit, colours, tooltip, client] : rows) {
        Parent parent(400, 200);
        CStyledStatic control;
        std::tie(control.tooltipActive, control.ownTooltipText, control.fitToText) = std::tuple(active, own, fit);
        control.tooltipText = own ? "mine" : "";
        control.textColor = RGB(10, 20, 30);
        Attach(control, parent, style, ADDRESS, {10, 10, 310, 30});
        EXPECT_EQ(colours, AskColours(parent, control)) << what;
        EXPECT_EQ(tooltip, Tool(control)) << what;
        control.SetWindowText("second");
        EXPECT_EQ(tooltip, Tool(control)) << what << ": after a new text";
        EXPECT_EQ(client, Client(control)) << what << ": refitted or not";
        const HWND tip = control.tooltip.m_hWnd;
        control.DestroyWindow();
        EXPECT_FALSE(tip && ::IsWindow(tip)) << what << ": its tooltip outlives it";
    }
}

constexpr COLORREF UNTOUCHED = RGB(3, 254, 3), ORANGE = RGB(255, 128, 64), BLACK = 0;

// The top row of pixels that the control's background leaves in a bitmap 8 pixels wider and 1 higher than the
// control, all UNTOUCHED before (the same value in COLORREF and bitmap order).
std::vector<COLORREF> Painted(int mode, COLORREF colour, int width, const char* what) {
    Parent parent(width + 20, 40);
    CStyledStatic control;
    std::tie(control.backgroundMode, control.backgroundColor) = std::tuple(mode, colour);
    Attach(control, parent, SS_LEFT, "", {0, 0, width, 3});
    const int stride = width + 8;
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), stride, -4, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    DWORD* bits = nullptr;
    CMemoryDC dc;
    CGdiObject bitmap;
    bitmap.Attach(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0));
    const SelectGuard selected(dc, bitmap.m_hObject);
    const HGDIOBJ brush = ::GetCurrentObject(dc, OBJ_BRUSH);
    std::fill(bits, bits + 4 * stride, UNTOUCHED);
    EXPECT_TRUE(control.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC)))
        << what << ": erasing left to the system";
    ::GdiFlush();
    EXPECT_EQ(brush, ::GetCurrentObject(dc, OBJ_BRUSH)) << what << ": a band's brush left selected";
    EXPECT_TRUE(std::equal(bits, bits + stride, bits + 2 * stride))
        << what << ": the bands are not as high as the control";
    EXPECT_EQ(8 + stride, std::count(bits + width, bits + stride, UNTOUCHED) +
                              std::count(bits + 3 * stride, bits + 4 * stride, UNTOUCHED))
        << what << ": painted beside or below the control";
    std::vector<COLORREF> row;
    for (int x = 0; x < width; ++x)
        row.push_back(::GetPixel(dc, x, 0));
    return row;
}

// ORANGE at distance d from the full colour in a fade over w.
COLORREF Faded(std::int64_t d, std::int64_t w) {
    auto channel = [&](std::int64_t v) { return static_cast<BYTE>(v - d * d * v / (w * w)); };
    return RGB(channel(GetRValue(ORANGE)), channel(GetGValue(ORANGE)), channel(GetBValue(ORANGE)));
}

TEST(StyledStatic, BackgroundsFollowTheFadeFormula) {
    // Modes: 0 solid, 3 full colour at the left edge, 1 at the right, 2 at both; a fade darkens band by band with the
    // square of the band's distance from the full colour over the square of the width (of half of it in mode 2), its
    // bands 1 pixel wide, width/128 from 256 on (half/256 from 1024 on in mode 2), the last closed by black.
    const std::tuple<const char*, int, int, int, COLORREF, COLORREF, COLORREF, COLORREF> rows[] = {
        {"solid", 0, 100, 50, ORANGE, ORANGE, ORANGE, ORANGE},
        {"no colour", 0, 50, 25, CLR_NONE, UNTOUCHED, UNTOUCHED, UNTOUCHED},
        {"unknown mode", 4, 50, 25, ORANGE, UNTOUCHED, UNTOUCHED, UNTOUCHED},
        {"rightward, 100 wide", 3, 100, 50, ORANGE, ORANGE, Faded(50, 100), Faded(99, 100)},
        {"rightward, 300 wide: closing band", 3, 300, 298, ORANGE, ORANGE, BLACK, Faded(298, 300)},
        {"rightward, 1024 wide", 3, 1024, 512, ORANGE, ORANGE, Faded(512, 1024), Faded(1016, 1024)},
        {"rightward, 3000 wide: d*d*v past 2^31", 3, 3000, 1500, ORANGE, ORANGE, Faded(1495, 3000), Faded(2990, 3000)},
        {"leftward, 100 wide", 1, 100, 50, ORANGE, BLACK, Faded(50, 100), Faded(1, 100)},
        {"leftward, 3000 wide: d*d*v past 2^31", 1, 3000, 10, ORANGE, BLACK, Faded(2990, 3000), Faded(23, 3000)},
        {"centre, 1 wide: no divisor", 2, 1, 0, ORANGE, ORANGE, ORANGE, ORANGE},
        {"centre, 100 wide", 2, 100, 25, ORANGE, ORANGE, Faded(25, 50), Faded(1, 50)},
        {"centre, 300 wide: the middle", 2, 300, 150, ORANGE, ORANGE, BLACK, Faded(1, 150)},
        {"centre, 1024 wide", 2, 1024, 257, ORANGE, ORANGE, Faded(256, 512), Faded(2, 512)},
    };
    for (const auto& [what, mode, width, x, colour, left, atX, right] : rows) {
        const std::vector<COLORREF> p = Painted(mode, colour, width, what);
        EXPECT_EQ(Hex(left) + " " + Hex(atX) + " " + Hex(right), Hex(p.front()) + " " + Hex(p[x]) + " " + Hex(p.back()))
            << what << ": left edge, x=" << x << ", right edge";
    }
}

TEST(StyledStatic, ABrushThatCannotBeMadeEndsThePaintingWithABox) {
    const test::MessageBoxRecorder boxes;
    const test::ApiOverride<decltype(sys.CreateSolidBrush)> noBrush(sys.CreateSolidBrush, &NoBrush);
    EXPECT_EQ(std::vector<COLORREF>(40, UNTOUCHED), Painted(3, ORANGE, 40, "no brush")) << "painted without a brush";
    EXPECT_EQ("[stop: A required resource was unavailable.]", boxes.Told())
        << "not told once that the brush is missing";
}

TEST_F(Observed, WhatAClickOnALinkOpensAndTheTooltipShows) {
    // file, useWindowText: the action's file and whether the window text stands in for an empty one; then the
    // tooltip's text and what a click opens (the colour after it: in the dialog's tests)
    const std::tuple<const char*, DWORD, const char*, BOOL, std::string, std::string> rows[] = {
        {"the owner's file", SS_CENTER, "C:\\a.txt", TRUE, "C:\\a.txt", "open 'C:\\a.txt' '' '' 1; "},
        {"without the window text", SS_CENTER, "", FALSE, "", "open '' '' '' 1; "},
        {"a frame: no font", SS_BLACKFRAME, "", TRUE, "", std::string("open '") + ADDRESS + "' '' '' 1; "},
    };
    answer = 42;
    for (const auto& [what, style, file, useWindowText, tooltip, opens] : rows) {
        const test::MessageBoxRecorder boxes;
        seen.clear();
        Parent parent(400, 200);
        CStaticHyperlink link;
        std::tie(link.action.file, link.useWindowText) = std::tuple(file, useWindowText);
        Attach(link, parent, style, ADDRESS, {20, 20, 320, 40});
        EXPECT_EQ(tooltip, Tool(link)) << what;
        LOGFONTA font{};
        EXPECT_EQ(style == SS_CENTER, link.textFont.GetLogFont(&font) != 0 && font.lfUnderline)
            << what << ": the window's font not underlined, or a font for a frame";
        parent.SendMessage(WM_COMMAND, MAKEWPARAM(ID, STN_CLICKED), reinterpret_cast<LPARAM>(link.m_hWnd));
        EXPECT_EQ(opens, seen + boxes.Told()) << what;
        EXPECT_EQ(file, link.action.file) << what << ": the click changed the action's file";
    }
}

}  // namespace
}  // namespace kg
