// The framework where the engine's tests do not reach it: text helpers at their edges and in a double-byte code page
// (CTest runs Dbcs once more in code page 932), message maps, and the search for libraries.
#include <gtest/gtest.h>

#include <cstdlib>
#ifdef _WIN32
#include "framework/cmdtarget.h"
#include "framework/dll_search.h"
#include "framework/winapp.h"
#include "tests/support/files.h"
#endif

#include "framework/text.h"

namespace kg {
namespace {

TEST(Text, EdgesOfTheHelpers) {
    EXPECT_EQ("copy a%sb%d done, 50% of %s", FormatBounded("copy %s done, 50% of %s", {"a%sb%d"}, 1024));
    EXPECT_EQ("Cannot", FormatBounded("Cannot open %s", {"file"}, 7));
    char buffer[4] = "abc";
    EXPECT_EQ("0 ", std::to_string(CopyBounded(buffer, 1, "xyz")) + " " + buffer);
    EXPECT_EQ("10", std::to_string(EndsWithChar("a\\", '\\')) + std::to_string(EndsWithChar("", '\\')));
}

#ifdef _WIN32
TEST(Dbcs, TrailBytesAndWholeCharacters) {
    if (::GetACP() != 932) {
        ASSERT_EQ(nullptr, std::getenv("KG_EXPECT_CP932")) << "the locale gave code page " << ::GetACP();
        GTEST_SKIP() << "code page " << ::GetACP() << " is not 932";
    }
    const std::string hyo = "\x95\x5C", a = "\x82\xA0";  // the first's trail byte is '\'
    EXPECT_FALSE(EndsWithChar("C:\\" + hyo, '\\'));
    EXPECT_EQ(std::string::npos, FindLastChar(hyo, '\\'));
    EXPECT_EQ("A" + a + "B", UpperCase("a" + a + "b"));
    EXPECT_EQ(3u, FitLength("ab\x82", 10)) << "a broken lead byte at the end";
    char buffer[4];
    EXPECT_EQ("3 a" + a, std::to_string(CopyBounded(buffer, sizeof buffer, ("a" + a + a).c_str())) + " " + buffer);
    EXPECT_EQ("x" + a, FormatBounded("x%s", {a + a}, 5));
}
// A command reaches the handler of the most derived class that has one.
std::string calls;
struct Base : CCmdTarget {
    void OnFirst() { calls += "base-first "; }
    void OnBaseOnly() { calls += "base-only "; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Base, CCmdTarget)
    ON_COMMAND(100, OnFirst) ON_COMMAND(102, OnBaseOnly)
END_MESSAGE_MAP()

struct Derived : Base {
    void OnFirst() { calls += "derived-first "; }
    void OnSecond() { calls += "derived-second "; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Derived, Base)
    ON_COMMAND(100, OnFirst) ON_COMMAND(101, OnSecond)
END_MESSAGE_MAP()

TEST(MessageMap, CommandsReachTheMostDerivedHandler) {
    Derived derived;
    Base base;
    for (CCmdTarget* target : {static_cast<CCmdTarget*>(&derived), static_cast<CCmdTarget*>(&base)}) {
        for (const UINT id : {100, 101, 102, 0, 999})
            calls += target->OnCmdMsg(id) ? "" : "none ";
        calls += "| ";
    }
    EXPECT_EQ("derived-first derived-second base-only none none | base-first none base-only none none | ", calls);
}

TEST(Application, AnApplicationObjectGoneIsNoLongerReached) {
    {
        const CWinApp gone("gone");
        EXPECT_EQ(&gone, AfxGetApp());
    }
    EXPECT_EQ(nullptr, AfxGetApp()) << "a destroyed application object still reached through AfxGetApp";
}

// Once the search is restricted, a library loaded by name comes from the system folder only. The restriction holds
// for the rest of this process, so this test comes last.
TEST(DllSearch, OnlyTheSystemFolderOnceRestricted) {
    const test::TempDir current;
    char previous[MAX_PATH], program[MAX_PATH];
    ::GetCurrentDirectoryA(sizeof previous, previous);
    ::SetCurrentDirectoryA(current.Str().c_str());
    const std::string path(program, ::GetModuleFileNameA(nullptr, program, sizeof program));
    const std::string beside = path.substr(0, path.rfind('\\') + 1) + "kgplanted-beside.dll",
                      here = current.Str("kgplanted-here.dll");
    for (const std::string& planted : {beside, here})
        ::CopyFileA(KG_SAMPLE_DLL, planted.c_str(), FALSE);
    std::string loaded;
    for (const bool restricted : {false, true}) {
        if (restricted)
            RestrictDllSearch();
        loaded += restricted ? " | restricted, loaded:" : "loaded:";
        for (const char* name : {"kgplanted-beside.dll", "kgplanted-here.dll", "comctl32.dll"}) {
            const HMODULE module = ::LoadLibraryA(name);
            loaded += module != nullptr ? std::string(" ") + name : "";
            ::FreeLibrary(module);
        }
    }
    EXPECT_EQ("loaded: kgplanted-beside.dll kgplanted-here.dll comctl32.dll | restricted, loaded: comctl32.dll", loaded)
        << "libraries planted beside the program and in the current folder";
    ::DeleteFileA(beside.c_str());  // `here` goes with its folder
    ::SetCurrentDirectoryA(previous);
}

#endif

}  // namespace
}  // namespace kg
