// The styled static: fitting to its text, the font and colours it answers
// the parent's colour request with, its tooltip text, and its background
// read back pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "controls/styled_static.h"
#include "framework/resource_exception.h"
#include "tests/controls/control_window.h"
#include "tests/installer/test_app.h"
#include "tests/support/message_boxes.h"

namespace kg {
namespace {

using test::AttachStatic;
using test::ParentWindow;
using test::PixelCanvas;
using test::RectInParent;
using test::TextExtent;
using test::ToolText;

const char* const TEXT = "http://www.kestrelgard.example/";

RECT Rect(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

std::string Describe(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top) + ")";
}

class StyledStaticTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::TestApp(); }
};

TEST_F(StyledStaticTest, FittingKeepsTheAlignmentInTheOldRectangle) {
    const SIZE text = TextExtent(test::DialogFont(), TEXT);
    struct Case {
        const char* what;
        DWORD style;
        int spareWidth, spareHeight;  // of the template rectangle beyond the text
        int movedRight, extraWidth;   // of the fitted window
        int movedDown, extraHeight;
    };
    const Case cases[] = {
        {"centred, even spare", SS_CENTER, 40, 10, 20, 0, 0, 0},
        {"centred, odd spare", SS_CENTER, 39, 10, 19, 1, 0, 0},
        {"right", SS_RIGHT, 40, 10, 40, 0, 0, 0},
        {"left", SS_LEFT, 40, 10, 0, 0, 0, 0},
        {"simple", SS_SIMPLE, 40, 10, 0, 0, 0, 0},
        {"centred vertically", SS_CENTER | SS_CENTERIMAGE, 40, 10, 20, 0, 5, 0},
        {"centred vertically, odd spare", SS_LEFT | SS_CENTERIMAGE, 40, 11, 0, 0, 5, 1},
    };
    for (const Case& c : cases) {
        ParentWindow parent(400, 200);
        CStyledStatic control;
        control.fitToText = TRUE;
        const RECT before = Rect(50, 30, text.cx + c.spareWidth, text.cy + c.spareHeight);
        AttachStatic(control, parent, c.style, TEXT, before);
        const RECT expected = Rect(before.left + c.movedRight, before.top + c.movedDown, text.cx + c.extraWidth,
                                   text.cy + c.extraHeight);
        EXPECT_EQ(Describe(expected), Describe(RectInParent(control.m_hWnd))) << c.what;
        EXPECT_EQ(Describe(before), Describe(control.savedRect)) << c.what << ": the template rectangle was not kept";
    }
}

TEST_F(StyledStaticTest, FittingNeverOutgrowsTheParent) {
    ParentWindow parent(80, 8);
    CStyledStatic control;
    control.fitToText = TRUE;
    AttachStatic(control, parent, SS_LEFT, TEXT, Rect(0, 0, 300, 40));
    EXPECT_EQ(Describe(Rect(0, 0, 80, 8)), Describe(RectInParent(control.m_hWnd)));
}

TEST_F(StyledStaticTest, ANewTextRefitsAndRetitlesTheTooltip) {
    ParentWindow parent(400, 200);
    CStyledStatic control;
    control.fitToText = TRUE;
    control.tooltipActive = TRUE;
    AttachStatic(control, parent, SS_LEFT, "short", Rect(10, 10, 300, 20));
    ASSERT_EQ(TextExtent(test::DialogFont(), "short").cx, RectInParent(control.m_hWnd).right - 10);
    control.SetWindowText("a rather longer text");
    EXPECT_EQ(TextExtent(test::DialogFont(), "a rather longer text").cx, RectInParent(control.m_hWnd).right - 10);
    EXPECT_EQ("a rather longer text", ToolText(control.tooltip.m_hWnd, control.m_hWnd, 1));
}

TEST_F(StyledStaticTest, WithoutFittingTheWindowKeepsItsSizeAndTracksResizes) {
    ParentWindow parent(400, 200);
    CStyledStatic control;
    AttachStatic(control, parent, SS_CENTER, TEXT, Rect(10, 10, 300, 20));
    EXPECT_EQ(Describe(Rect(10, 10, 300, 20)), Describe(RectInParent(control.m_hWnd)));
    control.SetWindowPos(nullptr, 20, 30, 100, 15, SWP_NOZORDER);
    EXPECT_EQ(Describe(Rect(20, 30, 100, 15)), Describe(control.savedRect));
    EXPECT_EQ(Describe(Rect(0, 0, 100, 15)), Describe(test::ToolRect(control.tooltip.m_hWnd, control.m_hWnd, 1))) << "the tool does not cover the resized control";
}

TEST_F(StyledStaticTest, TooltipText) {
    struct Case {
        const char* what;
        DWORD style;
        BOOL active, own;
        const char* ownText;
        const char* atFirst;
        const char* afterNewText;
    };
    const Case cases[] = {
        {"default: inactive", SS_LEFT, FALSE, FALSE, "", "", ""},
        {"follows the window text", SS_CENTER, TRUE, FALSE, "", TEXT, "second"},
        {"its own text", SS_CENTER, TRUE, TRUE, "mine", "mine", "mine"},
        {"no prefix: not a text static", SS_LEFT | SS_NOPREFIX, TRUE, FALSE, "", "", ""},
        {"frame", SS_BLACKFRAME, TRUE, FALSE, "", "", ""},
        {"frame with its own text", SS_BLACKFRAME, TRUE, TRUE, "mine", "mine", "mine"},
    };
    for (const Case& c : cases) {
        ParentWindow parent(400, 200);
        CStyledStatic control;
        control.tooltipActive = c.active;
        control.ownTooltipText = c.own;
        control.tooltipText = c.ownText;
        AttachStatic(control, parent, c.style, TEXT, Rect(10, 10, 300, 20));
        EXPECT_EQ(c.atFirst, ToolText(control.tooltip.m_hWnd, control.m_hWnd, 1)) << c.what;
        control.SetWindowText("second");
        EXPECT_EQ(c.afterNewText, ToolText(control.tooltip.m_hWnd, control.m_hWnd, 1)) << c.what;
    }
}

TEST_F(StyledStaticTest, ColourRequestsAndWhatOnlyTextStaticsGet) {
    struct Case {
        const char* what;
        DWORD style;
        bool text;
    };
    const Case cases[] = {
        {"left", SS_LEFT, true},
        {"centred", SS_CENTER, true},
        {"left, no word wrap", SS_LEFTNOWORDWRAP, true},
        {"no prefix", SS_CENTER | SS_NOPREFIX, false},
        {"icon", SS_ICON, false},
        {"frame", SS_BLACKFRAME, false},
    };
    const COLORREF textColor = RGB(10, 20, 30);
    for (const Case& c : cases) {
        ParentWindow parent(400, 200);
        CStyledStatic control;
        control.fitToText = TRUE;
        control.textColor = textColor;
        const RECT before = Rect(10, 10, 300, 20);
        AttachStatic(control, parent, c.style, TEXT, before);
        EXPECT_EQ(c.text, control.textFont.GetSafeHandle() != nullptr) << c.what << ": font made or missing";
        EXPECT_EQ(c.text, Describe(before) != Describe(RectInParent(control.m_hWnd))) << c.what << ": fitted or not";
        EXPECT_EQ(0u, control.GetStyle() & SS_NOTIFY) << c.what << ": notifies before its first colour request";

        const test::ColourAnswer answer = test::AskColours(parent, control);
        EXPECT_NE(0u, control.GetStyle() & SS_NOTIFY) << c.what << ": no SS_NOTIFY after the colour request";
        if (c.text) {
            EXPECT_EQ(::GetStockObject(NULL_BRUSH), answer.brush) << c.what;
            EXPECT_EQ(textColor, answer.textColor) << c.what;
            EXPECT_EQ(TRANSPARENT, answer.backgroundMode) << c.what;
            EXPECT_EQ(control.textFont.GetSafeHandle(), answer.font) << c.what;
            LOGFONTA made{}, window{};
            ::GetObjectA(control.textFont.GetSafeHandle(), sizeof made, &made);
            ::GetObjectA(test::DialogFont(), sizeof window, &window);
            EXPECT_EQ(0, std::memcmp(&made, &window, sizeof made)) << c.what << ": not a copy of the window's font";
        } else {
            EXPECT_NE(::GetStockObject(NULL_BRUSH), answer.brush) << c.what << ": the parent did not answer";
            EXPECT_NE(textColor, answer.textColor) << c.what << ": the control chose the text colour";
        }
    }
}

TEST_F(StyledStaticTest, RunTimeClass) {
    CStyledStatic control;
    EXPECT_STREQ("CStyledStatic", control.GetRuntimeClass()->m_lpszClassName);
    EXPECT_EQ(RUNTIME_CLASS(CStatic), control.GetRuntimeClass()->m_pBaseClass);
    EXPECT_TRUE(control.IsKindOf(RUNTIME_CLASS(CWnd)));
}

// --- Background --------------------------------------------------------

constexpr COLORREF UNTOUCHED = RGB(1, 254, 3);
constexpr COLORREF ORANGE = RGB(255, 128, 64);
constexpr COLORREF BLACK = RGB(0, 0, 0);
constexpr int BAND_HEIGHT = 3;

// Each channel v of `color` at distance d: v - d*d*v / divisor (full colour for a divisor of 0).
COLORREF Faded(COLORREF color, std::int64_t d, std::int64_t divisor) {
    if (divisor == 0) {
        return color;
    }
    auto channel = [&](std::int64_t v) { return static_cast<BYTE>(v - d * d * v / divisor); };
    return RGB(channel(GetRValue(color)), channel(GetGValue(color)), channel(GetBValue(color)));
}

// The row the bands of `mode` leave on a control `width` pixels wide, band
// after band as the background is described, clipped to the control.
std::vector<COLORREF> ReferenceRow(int mode, int width, COLORREF color) {
    std::vector<COLORREF> row(width, UNTOUCHED);
    auto band = [&](int x, int w, COLORREF c) {
        for (int i = std::max(x, 0); i < std::min(x + w, width); ++i) {
            row[i] = c;
        }
    };
    const std::int64_t w = width;
    if (mode == 0) {
        band(0, width, color);
    } else if (mode == 3 || mode == 1) {
        const int step = width >= 256 ? width / 128 : 1;
        if (mode == 3) {
            int x = 0;
            for (; x < width; x += step) band(x, step, Faded(color, x, w * w));
            band(x - step, width - (x - step) - 1, BLACK);
        } else {
            int p = width;
            for (; p > 0; p -= step) band(p, step, Faded(color, width - p, w * w));
            band(0, p + step, BLACK);
        }
    } else if (mode == 2) {
        const int half = width / 2;
        const int step = half >= 512 ? half / 256 : 1;
        int r = 0;
        for (; half - r > 0; r += step) band(2 * half - r, step, Faded(color, r, w * w / 4));
        band(half, half - r + step, BLACK);
        int m = 0;
        for (; m <= half; m += step) band(m, step, Faded(color, m, w * w / 4));
        band(m - step, half + step - m, BLACK);
    }
    return row;
}

std::string Hex(COLORREF c) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// The background a control of `width` pixels paints when it is erased.
std::vector<COLORREF> PaintedRow(int width, int mode, COLORREF color, BOOL* erased = nullptr) {
    ParentWindow parent(width + 20, 40);
    CStyledStatic control;
    control.backgroundMode = mode;
    control.backgroundColor = color;
    AttachStatic(control, parent, SS_LEFT, "", Rect(0, 0, width, BAND_HEIGHT));
    PixelCanvas canvas(width + 8, BAND_HEIGHT + 1, UNTOUCHED);
    const LRESULT result = control.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.Dc()));
    if (erased != nullptr) {
        *erased = static_cast<BOOL>(result);
    }
    for (int x = 0; x < width + 8; ++x) {
        EXPECT_EQ(x < width ? canvas.Pixel(x, 0) : UNTOUCHED, canvas.Pixel(x, BAND_HEIGHT - 1))
            << "the bands are not as high as the control at x=" << x;
        EXPECT_EQ(UNTOUCHED, canvas.Pixel(x, BAND_HEIGHT)) << "painted below the control at x=" << x;
        if (x >= width) {
            EXPECT_EQ(UNTOUCHED, canvas.Pixel(x, 0)) << "painted right of the control at x=" << x;
        }
    }
    std::vector<COLORREF> row = canvas.Row(0);
    row.resize(width);
    return row;
}

TEST_F(StyledStaticTest, BackgroundsAtTheEdgesAndTheCentre) {
    struct Case {
        int mode, width, x;
        COLORREF expected;
    };
    const COLORREF QUARTER_OFF = RGB(192, 96, 48);  // 3/4 of each channel
    const Case cases[] = {
        {0, 100, 0, ORANGE}, {0, 100, 99, ORANGE},
        {3, 100, 0, ORANGE}, {3, 100, 50, QUARTER_OFF}, {3, 100, 99, RGB(6, 3, 2)},
        {3, 300, 1, ORANGE}, {3, 300, 150, QUARTER_OFF}, {3, 300, 298, BLACK}, {3, 300, 299, RGB(4, 2, 1)},
        {1, 100, 0, BLACK}, {1, 100, 50, QUARTER_OFF}, {1, 100, 99, ORANGE},
        {2, 100, 0, ORANGE}, {2, 100, 25, QUARTER_OFF}, {2, 100, 50, BLACK}, {2, 100, 75, QUARTER_OFF},
        {2, 100, 99, ORANGE},
        {2, 1024, 1, ORANGE}, {2, 1024, 256, QUARTER_OFF}, {2, 1024, 513, BLACK}, {2, 1024, 1023, ORANGE},
        {2, 1, 0, ORANGE}, {3, 1, 0, ORANGE}, {1, 1, 0, BLACK},
        // Wider than about 2,900 pixels the products pass 2^31.
        {3, 3000, 0, ORANGE}, {3, 3000, 1500, RGB(192, 97, 49)}, {3, 3000, 2995, BLACK}, {3, 3000, 2999, RGB(2, 1, 1)},
        {1, 3000, 5, BLACK}, {1, 3000, 10, RGB(2, 1, 1)}, {1, 3000, 2999, ORANGE},
    };
    for (const Case& c : cases) {
        const std::vector<COLORREF> row = PaintedRow(c.width, c.mode, ORANGE);
        EXPECT_EQ(Hex(c.expected), Hex(row[c.x])) << "mode " << c.mode << ", " << c.width << " wide, x=" << c.x;
    }
}

TEST_F(StyledStaticTest, BackgroundsBandByBand) {
    for (int mode : {0, 1, 2, 3}) {
        for (int width : {1, 2, 3, 100, 255, 256, 300, 1023, 1024, 3000}) {
            const std::vector<COLORREF> row = PaintedRow(width, mode, ORANGE);
            const std::vector<COLORREF> expected = ReferenceRow(mode, width, ORANGE);
            int wrong = 0;
            for (int x = 0; x < width && wrong < 3; ++x) {
                if (row[x] != expected[x]) {
                    ADD_FAILURE() << "mode " << mode << ", " << width << " wide: x=" << x << " is " << Hex(row[x])
                                  << ", not " << Hex(expected[x]);
                    ++wrong;
                }
            }
        }
    }
}

TEST_F(StyledStaticTest, BackgroundsThatPaintNothing) {
    struct Case {
        const char* what;
        int mode;
        COLORREF color;
    };
    const Case cases[] = {{"mode 4", 4, ORANGE}, {"mode -1", -1, ORANGE}, {"no colour", 0, CLR_NONE},
                          {"no colour, fading", 3, CLR_NONE}};
    for (const Case& c : cases) {
        BOOL erased = FALSE;
        const std::vector<COLORREF> row = PaintedRow(50, c.mode, c.color, &erased);
        EXPECT_EQ(std::vector<COLORREF>(50, UNTOUCHED), row) << c.what << ": something was painted";
        EXPECT_TRUE(erased) << c.what << ": erasing was left to the system";
    }
}

TEST_F(StyledStaticTest, DefaultsPaintTheButtonFace) {
    CStyledStatic control;
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), control.backgroundColor);
    EXPECT_EQ(::GetSysColor(COLOR_WINDOWTEXT), control.textColor);
    const std::vector<COLORREF> row = PaintedRow(20, control.backgroundMode, control.backgroundColor);
    EXPECT_EQ(std::vector<COLORREF>(20, ::GetSysColor(COLOR_BTNFACE)), row);
}

HBRUSH WINAPI NoBrush(COLORREF) { return nullptr; }

TEST_F(StyledStaticTest, ABrushThatCannotBeMadeEndsThePaintingWithABox) {
    test::MessageBoxRecorder boxes;
    const test::ApiOverride<decltype(sys.CreateSolidBrush)> noBrush(sys.CreateSolidBrush, NoBrush);
    for (int mode : {0, 3}) {
        PaintedRow(40, mode, ORANGE);
    }
    ASSERT_EQ(2u, boxes.Boxes().size());
    EXPECT_EQ(CResourceException().what(), boxes.Boxes().front().text);
}

}  // namespace
}  // namespace kg
