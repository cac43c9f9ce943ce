// Registry writes addressed by one text, "key\\value": what they store and
// what they return. The registration that Install writes is checked with the
// operations.
#include <gtest/gtest.h>

#include "framework/handle.h"
#include "installer/registry.h"

namespace kg {
namespace {

const std::string KEY = "SOFTWARE\\KgRegistryTests";

// The value as stored: its type and bytes; "-" when it is not there.
std::string Stored(const std::string& key, const std::string& name) {
    RegistryKey opened;
    char data[64];
    DWORD size = sizeof data, type = 0;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, opened.Receive()) != ERROR_SUCCESS ||
        ::RegQueryValueExA(opened.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
        return "-";
    }
    return std::to_string(type) + ":" + std::string(data, size);
}

TEST(Registry, WritesAndDeletions) {
    const struct {
        const char* what;
        LONG (*write)();
        LONG result;
        std::string key, name, stored;
    } rows[] = {
        {"no backslash", [] { return SetRegistryString(HKEY_LOCAL_MACHINE, "KgRegistryTests", "x"); }, ERROR_BADKEY, KEY, "", "-"},
        {"keys made as needed", [] { return SetRegistryString(HKEY_LOCAL_MACHINE, KEY + "\\A\\B\\Name", "text"); }, ERROR_SUCCESS,
         KEY + "\\A\\B", "Name", std::string("1:text\0", 7)},
        {"default value", [] { return SetRegistryString(HKEY_LOCAL_MACHINE, KEY + "\\", ""); }, ERROR_SUCCESS, KEY, "",
         std::string("1:\0", 3)},
        {"number", [] { return SetRegistryDword(HKEY_LOCAL_MACHINE, KEY + "\\N", 0x01020304); }, ERROR_SUCCESS, KEY, "N", "4:\4\3\2\1"},
        {"key with a subkey", [] { return DeleteRegistryKey(HKEY_LOCAL_MACHINE, KEY + "\\A"); }, ERROR_ACCESS_DENIED, KEY + "\\A\\B",
         "Name", std::string("1:text\0", 7)},
        {"key", [] { return DeleteRegistryKey(HKEY_LOCAL_MACHINE, KEY + "\\A\\B"); }, ERROR_SUCCESS, KEY + "\\A\\B", "Name", "-"},
        {"missing key", [] { return DeleteRegistryKey(HKEY_LOCAL_MACHINE, KEY + "\\A\\B"); }, ERROR_FILE_NOT_FOUND, KEY, "N", "4:\4\3\2\1"},
    };
    for (const auto& row : rows) {
        ::SetLastError(4242);
        EXPECT_EQ(row.result, row.write()) << row.what;
        EXPECT_EQ(4242u, ::GetLastError()) << row.what << ": the last error changed";
        EXPECT_EQ(row.stored, Stored(row.key, row.name)) << row.what;
    }
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, (KEY + "\\A").c_str());
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, KEY.c_str());
}

}  // namespace
}  // namespace kg
