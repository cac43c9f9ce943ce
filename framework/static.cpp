#include "framework/static.h"

namespace kg {

IMPLEMENT_DYNAMIC(CStatic, CWnd)

BOOL CStatic::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, "STATIC", text, style | WS_CHILD, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, GetSafeHwnd(parent), reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)));
}

}  // namespace kg
