#include "framework/menu.h"

namespace kg {

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR idNewItem, const char* newItem) {
    return ::AppendMenuA(m_hMenu, flags, idNewItem, newItem);
}

int CMenu::GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }

}  // namespace kg
