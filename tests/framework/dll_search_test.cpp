// Once the search is restricted, a library loaded by name comes from the
// system folder only. The restriction holds for the rest of this process, so
// this test runs after the others of the program.
#include <gtest/gtest.h>

#include <windows.h>

#include "framework/dll_search.h"
#include "tests/support/files.h"

namespace kg {
namespace {

TEST(DllSearch, OnlyTheSystemFolderOnceRestricted) {
    const test::TempDir current;
    char previous[MAX_PATH], program[MAX_PATH];
    ::GetCurrentDirectoryA(sizeof previous, previous);
    ::SetCurrentDirectoryA(current.Str().c_str());
    const std::string path(program, ::GetModuleFileNameA(nullptr, program, sizeof program));
    const std::string beside = path.substr(0, path.rfind('\\') + 1) + "kgplanted-beside.dll", here = current.Str("kgplanted-here.dll");
    for (const std::string& planted : {beside, here}) ::CopyFileA(KG_SAMPLE_DLL, planted.c_str(), FALSE);
    std::string loaded;
    for (const bool restricted : {false, true}) {
        if (restricted) RestrictDllSearch();
        loaded += restricted ? " | restricted, loaded:" : "loaded:";
        for (const char* name : {"kgplanted-beside.dll", "kgplanted-here.dll", "comctl32.dll"}) {
            const HMODULE module = ::LoadLibraryA(name);
            loaded += module != nullptr ? std::string(" ") + name : "";
            ::FreeLibrary(module);
        }
    }
    EXPECT_EQ("loaded: kgplanted-beside.dll kgplanted-here.dll comctl32.dll | restricted, loaded: comctl32.dll", loaded)
        << "libraries planted beside the program and in the current folder";
    for (const std::string& planted : {beside, here}) ::DeleteFileA(planted.c_str());
    ::SetCurrentDirectoryA(previous);
}

}  // namespace
}  // namespace kg
