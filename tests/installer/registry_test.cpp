// Registry writes addressed by one path text, and the event-log source
// registration built on them, against this machine's own HKLM. Every key a
// test makes is removed again.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <vector>

#include "installer/constants.h"
#include "installer/driver_installer.h"
#include "installer/registry.h"
#include "tests/support/api_override.h"

namespace kg {
namespace {

using test::ApiOverride;
using test::Real;

const std::string TEST_KEY = "SOFTWARE\\KgRegistryTests";

struct Value {
    DWORD type;
    std::string data;  // the bytes as stored, a string's terminator included
    bool operator==(const Value& other) const { return type == other.type && data == other.data; }
};
std::ostream& operator<<(std::ostream& out, const Value& value) {
    return out << "type " << value.type << ", " << value.data.size() << " bytes \"" << value.data << "\"";
}
using Values = std::map<std::string, Value>;

Value String(const std::string& text) { return {REG_SZ, text + '\0'}; }
Value Dword(DWORD value) { return {REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value)}; }

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

// Every value of the key, by name.
Values ReadValues(const std::string& path) {
    Values values;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        ADD_FAILURE() << "no key " << path;
        return values;
    }
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameLength = sizeof name;
        BYTE data[2048];
        DWORD size = sizeof data;
        DWORD type = 0;
        if (::RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) {
            break;
        }
        values[std::string(name, nameLength)] = {type, std::string(reinterpret_cast<char*>(data), size)};
    }
    ::RegCloseKey(key);
    return values;
}

void DeleteTree(const std::string& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    std::vector<std::string> children;
    char name[256];
    for (DWORD index = 0; ::RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS; ++index) {
        children.push_back(name);
    }
    ::RegCloseKey(key);
    for (const std::string& child : children) {
        DeleteTree(path + "\\" + child);
    }
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

void CreateKeyWithValues(const std::string& path, const Values& values) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                               nullptr, &key, nullptr));
    for (const auto& [name, value] : values) {
        ::RegSetValueExA(key, name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                         static_cast<DWORD>(value.data.size()));
    }
    ::RegCloseKey(key);
}

// Makes `path` a key that can be read but not written: opening it for
// writing fails with ERROR_ACCESS_DENIED.
void CreateReadOnlyKey(const std::string& path) {
    using Convert = BOOL(WINAPI*)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
    const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(::GetProcAddress(
        ::GetModuleHandleA("advapi32.dll"), "ConvertStringSecurityDescriptorToSecurityDescriptorA")));
    ASSERT_NE(nullptr, convert);
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ASSERT_TRUE(convert("D:P(A;;KR;;;WD)", 1, &readOnly, nullptr));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                               nullptr, &key, nullptr));
    const LONG set = ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly);
    ::RegCloseKey(key);
    ::LocalFree(readOnly);
    ASSERT_EQ(ERROR_SUCCESS, set);
}

// Registry calls counted, and failed on request, through the system table.
int createCalls;
std::set<HKEY> openKeys;
int openedKeys;
int closedKeys;
int setValueCalls;
int failSetValueCall;  // fail the n-th value write (1-based); 0: none
LONG setValueFailure;

LONG WINAPI CountingCreateKey(HKEY root, LPCSTR path, DWORD reserved, LPSTR className, DWORD options, REGSAM access,
                              LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) {
    ++createCalls;
    const LONG status = Real(&SystemApi::RegCreateKeyExA)(root, path, reserved, className, options, access, security,
                                                          result, disposition);
    if (status == ERROR_SUCCESS) {
        ++openedKeys;
        openKeys.insert(*result);
    }
    return status;
}

LONG WINAPI CountingCloseKey(HKEY key) {
    ++closedKeys;
    openKeys.erase(key);
    return Real(&SystemApi::RegCloseKey)(key);
}

LONG WINAPI FailingSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
    if (++setValueCalls == failSetValueCall) {
        return setValueFailure;
    }
    return Real(&SystemApi::RegSetValueExA)(key, name, reserved, type, data, size);
}

LONG WINAPI RefusingCreateKey(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD) {
    ++createCalls;
    return ERROR_CANTOPEN;
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        createCalls = openedKeys = closedKeys = setValueCalls = failSetValueCall = 0;
        openKeys.clear();
        setValueFailure = ERROR_SUCCESS;
        DeleteTree(TEST_KEY);
        DeleteTree(EVENTLOG_KEY);
    }
    void TearDown() override {
        DeleteTree(TEST_KEY);
        DeleteTree(EVENTLOG_KEY);
    }

    // An installer in the command-line run; what its construction says is
    // not these tests' business.
    static std::unique_ptr<DriverInstaller> NewInstaller() {
        testing::internal::CaptureStdout();
        auto installer = std::make_unique<DriverInstaller>(TRUE);
        testing::internal::GetCapturedStdout();
        return installer;
    }
};

TEST_F(Registry, PathWithoutBackslashIsABadKeyAndTouchesNothing) {
    const ApiOverride create(sys.RegCreateKeyExA, &RefusingCreateKey);
    const ApiOverride setValue(sys.RegSetValueExA, &FailingSetValue);
    EXPECT_EQ(ERROR_BADKEY, SetRegistryString(HKEY_LOCAL_MACHINE, "KgRegistryTests", "text"));
    EXPECT_EQ(ERROR_BADKEY, SetRegistryDword(HKEY_LOCAL_MACHINE, "KgRegistryTests", 1));
    EXPECT_EQ(ERROR_BADKEY, SetRegistryValue(HKEY_LOCAL_MACHINE, "", REG_SZ, nullptr, 0));
    EXPECT_EQ(0, createCalls);
    EXPECT_EQ(0, setValueCalls);
}

TEST_F(Registry, KeyIsMadeAsNeededAndTheValueNamedByTheLastPart) {
    ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, TEST_KEY + "\\A\\B\\Name", "text"));
    EXPECT_EQ((Values{{"Name", String("text")}}), ReadValues(TEST_KEY + "\\A\\B"));
    EXPECT_EQ(Values{}, ReadValues(TEST_KEY + "\\A"));
}

TEST_F(Registry, EmptyValueNameWritesTheDefaultValue) {
    ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, TEST_KEY + "\\", "default text"));
    EXPECT_EQ((Values{{"", String("default text")}}), ReadValues(TEST_KEY));
}

TEST_F(Registry, StringIsStoredWithItsTerminator) {
    for (const std::string text : {"", "x", "C:\\windows\\system32\\kestgard.dll", "100% %s"}) {
        ASSERT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, TEST_KEY + "\\Text", text));
        const Values values = ReadValues(TEST_KEY);
        EXPECT_EQ((Values{{"Text", String(text)}}), values) << text;
        EXPECT_EQ(text.size() + 1, values.at("Text").data.size()) << text;
    }
}

TEST_F(Registry, DwordIsFourBytes) {
    for (const DWORD number : {0x00000000u, 0x00000007u, 0x12345678u, 0xFFFFFFFFu}) {
        ASSERT_EQ(ERROR_SUCCESS, SetRegistryDword(HKEY_LOCAL_MACHINE, TEST_KEY + "\\Number", number));
        EXPECT_EQ((Values{{"Number", Dword(number)}}), ReadValues(TEST_KEY)) << number;
    }
    // Little-endian: the lowest byte first.
    EXPECT_EQ(std::string("\xFF\xFF\xFF\xFF", 4), ReadValues(TEST_KEY).at("Number").data);
    ASSERT_EQ(ERROR_SUCCESS, SetRegistryDword(HKEY_LOCAL_MACHINE, TEST_KEY + "\\Number", 0x01020304));
    EXPECT_EQ(std::string("\x04\x03\x02\x01", 4), ReadValues(TEST_KEY).at("Number").data);
}

TEST_F(Registry, WriteToAReadOnlyKeyFailsWithAccessDeniedAndLeavesTheLastError) {
    CreateReadOnlyKey(TEST_KEY);
    ::SetLastError(4242);
    EXPECT_EQ(ERROR_ACCESS_DENIED, SetRegistryString(HKEY_LOCAL_MACHINE, TEST_KEY + "\\Text", "text"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, SetRegistryDword(HKEY_LOCAL_MACHINE, TEST_KEY + "\\Number", 1));
    EXPECT_EQ(4242u, ::GetLastError());
    EXPECT_EQ(Values{}, ReadValues(TEST_KEY));
}

TEST_F(Registry, SuccessLeavesTheLastError) {
    ::SetLastError(4242);
    EXPECT_EQ(ERROR_SUCCESS, SetRegistryString(HKEY_LOCAL_MACHINE, TEST_KEY + "\\Text", "text"));
    EXPECT_EQ(4242u, ::GetLastError());
}

TEST_F(Registry, FailedValueWriteIsReturned) {
    const ApiOverride setValue(sys.RegSetValueExA, &FailingSetValue);
    failSetValueCall = 1;
    setValueFailure = ERROR_CANTWRITE;
    EXPECT_EQ(ERROR_CANTWRITE, SetRegistryDword(HKEY_LOCAL_MACHINE, TEST_KEY + "\\Number", 1));
    EXPECT_EQ(Values{}, ReadValues(TEST_KEY));
}

TEST_F(Registry, DeleteKey) {
    CreateKeyWithValues(TEST_KEY + "\\Leaf", {{"Name", String("text")}});
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, DeleteRegistryKey(HKEY_LOCAL_MACHINE, TEST_KEY + "\\Missing"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, DeleteRegistryKey(HKEY_LOCAL_MACHINE, TEST_KEY));  // it has a subkey
    EXPECT_TRUE(KeyExists(TEST_KEY + "\\Leaf"));
    EXPECT_EQ(ERROR_SUCCESS, DeleteRegistryKey(HKEY_LOCAL_MACHINE, TEST_KEY + "\\Leaf"));
    EXPECT_FALSE(KeyExists(TEST_KEY + "\\Leaf"));
}

TEST_F(Registry, EventLogSourceInAFreshKeyIsExactlyTwoValues) {
    ASSERT_FALSE(KeyExists(EVENTLOG_KEY));
    const auto installer = NewInstaller();
    const std::string messageFile = installer->GetMessageFileDestinationPath();
    ASSERT_FALSE(messageFile.empty());
    EXPECT_TRUE(installer->RegisterEventLogSource());
    const Values values = ReadValues(EVENTLOG_KEY);
    EXPECT_EQ((Values{{"TypesSupported", Dword(7)}, {"EventMessageFile", String(messageFile)}}), values);
    ASSERT_EQ(2u, values.size());
    EXPECT_EQ(4u, values.at("TypesSupported").data.size());
    EXPECT_EQ(messageFile.size() + 1, values.at("EventMessageFile").data.size());
}

TEST_F(Registry, EventLogSourceOverwritesItsValuesAndKeepsOthers) {
    CreateKeyWithValues(EVENTLOG_KEY, {{"TypesSupported", String("old")},
                                       {"EventMessageFile", String("C:\\old\\kestgard.dll")},
                                       {"CategoryCount", Dword(3)}});
    const auto installer = NewInstaller();
    EXPECT_TRUE(installer->RegisterEventLogSource());
    EXPECT_EQ((Values{{"TypesSupported", Dword(7)},
                      {"EventMessageFile", String(installer->GetMessageFileDestinationPath())},
                      {"CategoryCount", Dword(3)}}),
              ReadValues(EVENTLOG_KEY));
}

TEST_F(Registry, EventLogSourceFailureIsTheThreadsLastError) {
    const auto installer = NewInstaller();
    const std::string messageFile = installer->GetMessageFileDestinationPath();
    const ApiOverride setValue(sys.RegSetValueExA, &FailingSetValue);
    setValueFailure = ERROR_CANTWRITE;

    // The first write fails: the second is not tried.
    failSetValueCall = 1;
    ::SetLastError(0);
    EXPECT_FALSE(installer->RegisterEventLogSource());
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANTWRITE), ::GetLastError());
    EXPECT_EQ(1, setValueCalls);
    EXPECT_EQ(Values{}, ReadValues(EVENTLOG_KEY));

    // The second fails: the first stays written.
    setValueCalls = 0;
    failSetValueCall = 2;
    ::SetLastError(0);
    EXPECT_FALSE(installer->RegisterEventLogSource());
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANTWRITE), ::GetLastError());
    EXPECT_EQ((Values{{"TypesSupported", Dword(7)}}), ReadValues(EVENTLOG_KEY));
}

TEST_F(Registry, EventLogSourceInAReadOnlyKeyFailsWithAccessDenied) {
    CreateReadOnlyKey(EVENTLOG_KEY);
    const auto installer = NewInstaller();
    ::SetLastError(0);
    EXPECT_FALSE(installer->RegisterEventLogSource());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), ::GetLastError());
    EXPECT_EQ(Values{}, ReadValues(EVENTLOG_KEY));
}

TEST_F(Registry, EventLogSourceKeyThatCannotBeOpenedStopsBeforeAnyWrite) {
    const auto installer = NewInstaller();
    const ApiOverride create(sys.RegCreateKeyExA, &RefusingCreateKey);
    const ApiOverride setValue(sys.RegSetValueExA, &FailingSetValue);
    ::SetLastError(0);
    EXPECT_FALSE(installer->RegisterEventLogSource());
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANTOPEN), ::GetLastError());
    EXPECT_EQ(1, createCalls);
    EXPECT_EQ(0, setValueCalls);
}

TEST_F(Registry, UnregisterEventLogSource) {
    const auto installer = NewInstaller();
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, installer->UnregisterEventLogSource());
    ASSERT_TRUE(installer->RegisterEventLogSource());
    EXPECT_EQ(ERROR_SUCCESS, installer->UnregisterEventLogSource());
    EXPECT_FALSE(KeyExists(EVENTLOG_KEY));
}

TEST_F(Registry, EveryKeyOpenedIsClosed) {
    const auto installer = NewInstaller();
    static DriverInstaller* registering;
    registering = installer.get();
    struct Case {
        const char* what;
        int failValueWrite;  // 0: none
        bool readOnly;
        void (*write)();
        int opened;
    };
    const Case cases[] = {
        {"string", 0, false, [] { SetRegistryString(HKEY_LOCAL_MACHINE, TEST_KEY + "\\Text", "t"); }, 1},
        {"dword", 0, false, [] { SetRegistryDword(HKEY_LOCAL_MACHINE, TEST_KEY + "\\Number", 1); }, 1},
        {"value write fails", 1, false, [] { SetRegistryDword(HKEY_LOCAL_MACHINE, TEST_KEY + "\\Number", 1); }, 1},
        {"read-only key", 0, true, [] { SetRegistryDword(HKEY_LOCAL_MACHINE, TEST_KEY + "\\Number", 1); }, 0},
        {"event log", 0, false, [] { registering->RegisterEventLogSource(); }, 2},
        {"event log, first write fails", 1, false, [] { registering->RegisterEventLogSource(); }, 1},
        {"event log, second write fails", 2, false, [] { registering->RegisterEventLogSource(); }, 2},
    };
    for (const Case& c : cases) {
        DeleteTree(TEST_KEY);
        DeleteTree(EVENTLOG_KEY);
        if (c.readOnly) {
            CreateReadOnlyKey(TEST_KEY);
        }
        createCalls = openedKeys = closedKeys = setValueCalls = 0;
        openKeys.clear();
        failSetValueCall = c.failValueWrite;
        setValueFailure = ERROR_CANTWRITE;
        {
            const ApiOverride create(sys.RegCreateKeyExA, &CountingCreateKey);
            const ApiOverride close(sys.RegCloseKey, &CountingCloseKey);
            const ApiOverride setValue(sys.RegSetValueExA, &FailingSetValue);
            c.write();
        }
        EXPECT_EQ(c.opened, openedKeys) << c.what;
        EXPECT_EQ(openedKeys, closedKeys) << c.what;
        EXPECT_TRUE(openKeys.empty()) << c.what;
    }
}

}  // namespace
}  // namespace kg
