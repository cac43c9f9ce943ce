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
    ASSERT_TRUE(::SetCurrentDirectoryA(current.Str().c_str()));
    const std::string beside(program, ::GetModuleFileNameA(nullptr, program, sizeof program));
    // Where the library lies (none: a system library), its name, and whether it loads before and after the restriction.
    const struct { const char* what; std::string path; const char* name; std::string loads; } rows[] = {
        {"a library planted beside the program", beside.substr(0, beside.rfind('\\') + 1) + "kgplanted-program.dll", "kgplanted-program.dll", "10"},
        {"a library planted in the current folder", current.Str("kgplanted-current.dll"), "kgplanted-current.dll", "10"},
        {"a system library", "", "comctl32.dll", "11"},
    };
    std::string loads[std::size(rows)];
    for (const bool restricted : {false, true}) {
        if (restricted) RestrictDllSearch();
        for (std::size_t i = 0; i < std::size(rows); ++i) {
            if (!restricted && !rows[i].path.empty()) ::CopyFileA(KG_SAMPLE_DLL, rows[i].path.c_str(), FALSE);
            const HMODULE module = ::LoadLibraryA(rows[i].name);
            loads[i] += module != nullptr ? "1" : "0";
            ::FreeLibrary(module);
        }
    }
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(rows[i].loads, loads[i]) << rows[i].what << ": loaded (1) or not (0) before and after the restriction";
        ::DeleteFileA(rows[i].path.c_str());
    }
    ::SetCurrentDirectoryA(previous);
}

}  // namespace
}  // namespace kg
