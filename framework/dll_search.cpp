#include "framework/dll_search.h"

#include <windows.h>

#include "framework/later_api.h"

namespace kg {

void RestrictDllSearch() {
    // Windows XP SP1 and later: the current folder leaves the search.
    using SetDllDirectory = BOOL(WINAPI*)(LPCSTR);
    if (const auto setDllDirectory = LaterSystemFunction<SetDllDirectory>("kernel32.dll", "SetDllDirectoryA")) {
        setDllDirectory("");
    }
    // Windows 8, and 7 or Vista with update KB2533623: only the system folder
    // is searched.
    using SetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
    if (const auto setDefault =
            LaterSystemFunction<SetDefaultDllDirectories>("kernel32.dll", "SetDefaultDllDirectories")) {
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

}  // namespace kg
