// Drawing and tooltip helpers: the selection guard, a font that cannot be
// made, and the tool records that NT 4's common controls accept.
#include <gtest/gtest.h>

#include <vector>

#include "framework/gdi.h"
#include "framework/tooltip.h"
#include "tests/support/api_override.h"
#include "tests/window/window_test.h"

namespace kg {
namespace {

TEST(SelectGuard, PutsBackWhatWasSelected) {
    CMemoryDC dc;
    const CBrush brush(RGB(1, 2, 3));
    const HGDIOBJ font = ::GetStockObject(ANSI_FIXED_FONT);
    const struct { const char* what; UINT kind; HGDIOBJ object; } rows[] = {
        {"font", OBJ_FONT, font}, {"brush", OBJ_BRUSH, brush.m_hObject}, {"nothing", OBJ_FONT, nullptr}};
    for (const auto& row : rows) {
        const HGDIOBJ before = ::GetCurrentObject(dc, row.kind);
        {
            const SelectGuard guard(dc, row.object);
            EXPECT_EQ(row.object != nullptr ? row.object : before, ::GetCurrentObject(dc, row.kind)) << row.what << " not selected";
        }
        EXPECT_EQ(before, ::GetCurrentObject(dc, row.kind)) << row.what << ": the old one not put back";
    }
}

TEST(GdiObjects, AFontThatCannotBeMadeKeepsTheOneHeld) {
    const test::ApiOverride<decltype(sys.CreateFontIndirectA)> noFont(sys.CreateFontIndirectA, [](const LOGFONTA*) -> HFONT { return nullptr; });
    CFont font;
    const HGDIOBJ kept = ::GetStockObject(ANSI_VAR_FONT);
    font.Attach(kept);
    const LOGFONTA logFont = {};
    EXPECT_FALSE(font.CreateFontIndirect(&logFont));
    EXPECT_EQ(kept, font.Detach());
}

std::vector<UINT> recordSizes;

LRESULT WINAPI RecordToolSize(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER && message != TTM_ACTIVATE && message != TTM_RELAYEVENT) {
        recordSizes.push_back(reinterpret_cast<const TOOLINFOA*>(lParam)->cbSize);
    }
    return test::Real(&SystemApi::SendMessageA)(hwnd, message, wParam, lParam);
}

TEST(ToolTip, ToolRecordsHaveTheFirstVersionsSizeAndKeepTheirText) {
    test::TopWindow top;
    CToolTipCtrl tooltip;
    ASSERT_TRUE(tooltip.Create(&top));
    const RECT first = {0, 0, 10, 10};
    CToolInfo info;
    {
        const test::ApiOverride<decltype(sys.SendMessageA)> record(sys.SendMessageA, RecordToolSize);
        ASSERT_TRUE(tooltip.AddTool(&top, "first", &first, 1));
        tooltip.UpdateTipText("second", &top, 1);
        ASSERT_TRUE(tooltip.GetToolInfo(info, &top, 1));
        info.rect.right = 30;
        tooltip.SetToolInfo(info);
        tooltip.DelTool(&top, 2);
    }
    EXPECT_EQ(std::vector<UINT>(5, TTTOOLINFOA_V1_SIZE), recordSizes) << "NT 4 refuses a larger record";
    CToolInfo after;
    ASSERT_TRUE(tooltip.GetToolInfo(after, &top, 1));
    EXPECT_EQ(30, after.rect.right) << "the record was not written back";
    EXPECT_STREQ("second", after.szText) << "writing the record back lost the text";
    EXPECT_TRUE(tooltip.AddTool(&top, std::string(5000, 'x').c_str(), &first, 3)) << "a long text is not cut to fit";
    tooltip.DelTool(&top, 1);
    EXPECT_FALSE(tooltip.GetToolInfo(after, &top, 1)) << "a deleted tool is still there";
}

}  // namespace
}  // namespace kg
