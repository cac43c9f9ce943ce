// A menu that belongs to a window (the system menu): borrowed, never
// destroyed by this object, copied freely.
#pragma once

#include <windows.h>

namespace kg {

class CMenu {
public:
    CMenu() = default;
    explicit CMenu(HMENU menu) : m_hMenu(menu) {}

    // AppendMenuA: an item of kind `flags` (MF_STRING, MF_SEPARATOR, ...).
    BOOL AppendMenu(UINT flags, UINT_PTR idNewItem = 0, const char* newItem = nullptr);
    int GetMenuItemCount() const;

    HMENU m_hMenu = nullptr;
};

}  // namespace kg
