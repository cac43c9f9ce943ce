// Registry writes addressed by one text: the key's path, a backslash and the
// value's name. Each function returns a Windows error code, 0 for success,
// and leaves the thread's last error alone.
#pragma once

#include <windows.h>

#include <string>

namespace kg {

// Creates or opens the key and sets the value; ERROR_BADKEY without touching
// the registry when the path holds no backslash.
LONG SetRegistryValue(HKEY root, const std::string& fullValuePath, DWORD type, const BYTE* data, DWORD size);
LONG SetRegistryString(HKEY root, const std::string& fullValuePath, const std::string& text);
LONG SetRegistryDword(HKEY root, const std::string& fullValuePath, DWORD value);
// Deletes a key that has no subkeys.
LONG DeleteRegistryKey(HKEY root, const std::string& keyPath);

}  // namespace kg
