// The hyperlink control in a window of the tests' own, with the shell
// observed: what a click opens, the colours, the cursor, the tooltip and the
// cases the installer dialog never sets up (an action file of the owner's,
// no window text, a non-text static, no cursor).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/resource.h"
#include "controls/static_hyperlink.h"
#include "tests/controls/control_window.h"
#include "tests/installer/test_app.h"
#include "tests/support/message_boxes.h"

namespace kg {
namespace {

using test::AttachStatic;
using test::ParentWindow;
using test::ToolText;

const char* const ADDRESS = "http://www.kestrelgard.example/";
constexpr int LINK_ID = 1004;
constexpr COLORREF BLUE = RGB(0, 0, 255);
constexpr COLORREF PURPLE = RGB(128, 0, 128);

std::vector<std::string> opened;  // "verb file" of every shell request
UINT_PTR shellAnswer = 42;
HINSTANCE WINAPI RecordShell(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
    opened.push_back(std::string(verb) + " " + file + (*parameters || *directory || show != SW_SHOWNORMAL ? " +" : ""));
    return reinterpret_cast<HINSTANCE>(shellAnswer);
}

class HyperlinkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::TestApp(); }
    void SetUp() override {
        opened.clear();
        shellAnswer = 42;
    }

    // A click as the static reports it to its parent.
    void Click(const CStaticHyperlink& link) {
        parent_.SendMessage(WM_COMMAND, MAKEWPARAM(LINK_ID, STN_CLICKED), reinterpret_cast<LPARAM>(link.m_hWnd));
    }
    COLORREF TextColour(const CStaticHyperlink& link) { return test::AskColours(parent_, link).textColor; }

    ParentWindow parent_{400, 200};
    test::MessageBoxRecorder boxes_;
    const test::ApiOverride<decltype(sys.ShellExecuteA)> shell_{sys.ShellExecuteA, RecordShell};
};

TEST_F(HyperlinkTest, DefaultsOpenTheWindowTextAndTurnPurpleOnSuccess) {
    CStaticHyperlink link;
    EXPECT_EQ(nullptr, link.handCursor) << "the cursor was loaded before the control was attached";
    AttachStatic(link, parent_, SS_CENTER, ADDRESS, {20, 20, 380, 40}, LINK_ID);

    EXPECT_EQ(::LoadCursorA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_HYPERLINK_HAND)), link.handCursor);
    LOGFONTA font{};
    ASSERT_NE(0, link.textFont.GetLogFont(&font));
    EXPECT_EQ(1, font.lfUnderline) << "the link's font is not underlined";
    const RECT fitted = test::RectInParent(link.m_hWnd);
    EXPECT_EQ(test::TextExtent(test::DialogFont(), ADDRESS).cx, fitted.right - fitted.left) << "not fitted to its text";
    EXPECT_EQ(ADDRESS, ToolText(link.tooltip.m_hWnd, link.m_hWnd, 1));
    EXPECT_EQ(BLUE, TextColour(link));

    shellAnswer = SE_ERR_NOASSOC;
    Click(link);
    EXPECT_EQ(BLUE, TextColour(link)) << "a failed click turned the link purple";
    ASSERT_EQ(1u, boxes_.Boxes().size());
    EXPECT_EQ("There is no application associated\nwith the given filename extension.", boxes_.Boxes()[0].text);
    shellAnswer = 42;
    Click(link);
    EXPECT_EQ(PURPLE, TextColour(link)) << "a successful click left the link blue";
    EXPECT_EQ(1u, boxes_.Boxes().size());
    EXPECT_EQ((std::vector<std::string>{std::string("open ") + ADDRESS, std::string("open ") + ADDRESS}), opened);
    EXPECT_EQ("", link.action.file) << "the borrowed text stayed in the action";
    EXPECT_EQ(ADDRESS, ToolText(link.tooltip.m_hWnd, link.m_hWnd, 1));

    link.SetWindowText("http://other.example/");
    Click(link);
    EXPECT_EQ("open http://other.example/", opened.back()) << "the next click did not open the new text";
    EXPECT_EQ("http://other.example/", ToolText(link.tooltip.m_hWnd, link.m_hWnd, 1));
}

TEST_F(HyperlinkTest, WhatAClickOpensAndTheTooltipShows) {
    struct Case {
        const char* what;
        DWORD style;
        const char* actionFile;
        BOOL useWindowText;
        std::string opens;
        const char* tooltip;
    };
    const Case cases[] = {
        {"the owner's file", SS_CENTER, "C:\\readme.txt", TRUE, "open C:\\readme.txt", "C:\\readme.txt"},
        {"without the window text", SS_CENTER, "", FALSE, "open ", ""},
        {"a frame: its text is borrowed all the same", SS_BLACKFRAME, "", TRUE, std::string("open ") + ADDRESS, ""},
    };
    for (const Case& c : cases) {
        opened.clear();
        CStaticHyperlink link;
        link.action.file = c.actionFile;
        link.useWindowText = c.useWindowText;
        AttachStatic(link, parent_, c.style, ADDRESS, {20, 20, 380, 40}, LINK_ID);
        EXPECT_EQ(c.tooltip, ToolText(link.tooltip.m_hWnd, link.m_hWnd, 1)) << c.what;
        test::AskColours(parent_, link);  // the first paint: from now on the control reports clicks
        Click(link);
        EXPECT_EQ(std::vector<std::string>{c.opens}, opened) << c.what;
        EXPECT_EQ(c.actionFile, link.action.file) << c.what << ": the action's file changed";
        EXPECT_TRUE(link.followed) << c.what;
    }
}

TEST_F(HyperlinkTest, ANonTextLinkGetsNoFontAndKeepsItsSize) {
    CStaticHyperlink link;
    const RECT before{20, 20, 120, 60};
    AttachStatic(link, parent_, SS_ETCHEDFRAME, ADDRESS, before, LINK_ID);
    EXPECT_EQ(nullptr, link.textFont.GetSafeHandle());
    const RECT after = test::RectInParent(link.m_hWnd);
    EXPECT_TRUE(::EqualRect(&before, &after)) << "a frame was fitted to a text it does not show";
    test::AskColours(parent_, link);
    EXPECT_NE(0u, link.GetStyle() & SS_NOTIFY);
}

TEST_F(HyperlinkTest, TheCursorOverTheLink) {
    struct Case {
        const char* what;
        bool haveCursor;
    };
    for (const Case& c : {Case{"the hand", true}, Case{"no cursor resource", false}}) {
        CStaticHyperlink link;
        AttachStatic(link, parent_, SS_CENTER, ADDRESS, {20, 20, 380, 40}, LINK_ID);
        if (!c.haveCursor) {
            link.handCursor = nullptr;
        }
        const HCURSOR arrow = ::LoadCursorA(nullptr, IDC_ARROW);
        ::SetCursor(arrow);
        const LRESULT handled = link.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(link.m_hWnd),
                                                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(c.haveCursor, handled != 0) << c.what;
        EXPECT_EQ(c.haveCursor ? link.handCursor : arrow, ::GetCursor()) << c.what;
    }
}

TEST_F(HyperlinkTest, TheHandIsAMonochromeCursorWithItsHotSpotAtTheFingertip) {
    CStaticHyperlink link;
    AttachStatic(link, parent_, SS_CENTER, ADDRESS, {20, 20, 380, 40}, LINK_ID);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(link.handCursor, &info));
    BITMAP mask{};
    ::GetObjectA(info.hbmMask, sizeof mask, &mask);
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(5u, info.xHotspot);
    EXPECT_EQ(0u, info.yHotspot);
    EXPECT_EQ(nullptr, info.hbmColor) << "not monochrome";
    EXPECT_EQ(32, mask.bmWidth);
    EXPECT_EQ(64, mask.bmHeight) << "not 32 pixels high (mask and image)";
    ::DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr) {
        ::DeleteObject(info.hbmColor);
    }
}

TEST_F(HyperlinkTest, RunTimeClass) {
    CStaticHyperlink link;
    EXPECT_STREQ("CStaticHyperlink", link.GetRuntimeClass()->m_lpszClassName);
    EXPECT_EQ(RUNTIME_CLASS(CStyledStatic), link.GetRuntimeClass()->m_pBaseClass);
    EXPECT_TRUE(link.IsKindOf(RUNTIME_CLASS(CStatic)));
}

}  // namespace
}  // namespace kg
