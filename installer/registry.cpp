#include "installer/registry.h"

#include "framework/handle.h"
#include "framework/text.h"

namespace kg {

LONG SetRegistryValue(HKEY root, const std::string& fullValuePath, DWORD type, const BYTE* data, DWORD size) {
    const std::size_t split = FindLastChar(fullValuePath, '\\');
    if (split == std::string::npos) {
        return ERROR_BADKEY;
    }
    const std::string keyPath = fullValuePath.substr(0, split);
    const std::string valueName = fullValuePath.substr(split + 1);
    RegistryKey key;
    DWORD disposition = 0;
    LONG result = sys.RegCreateKeyExA(root, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                                      key.Receive(), &disposition);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    result = sys.RegSetValueExA(key.Get(), valueName.c_str(), 0, type, data, size);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    return sys.RegCloseKey(key.Release());
}

LONG SetRegistryString(HKEY root, const std::string& fullValuePath, const std::string& text) {
    return SetRegistryValue(root, fullValuePath, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1));
}

LONG SetRegistryDword(HKEY root, const std::string& fullValuePath, DWORD value) {
    const BYTE data[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                          static_cast<BYTE>(value >> 24)};
    return SetRegistryValue(root, fullValuePath, REG_DWORD, data, sizeof data);
}

LONG DeleteRegistryKey(HKEY root, const std::string& keyPath) { return sys.RegDeleteKeyA(root, keyPath.c_str()); }

}  // namespace kg
