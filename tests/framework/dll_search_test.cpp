// Once the search is restricted, a library loaded by name comes from the
// system folder only. The restriction holds for the rest of this process, so
// this test runs after the others of the program.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "framework/dll_search.h"
#include "tests/support/files.h"

namespace kg {
namespace {

std::string ProgramFolder() {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string program(path, length);
    return program.substr(0, program.rfind('\\'));
}

TEST(DllSearch, LibrariesPlantedBesideTheProgramOrInTheCurrentFolderAreNotLoaded) {
    const test::TempDir current;
    char previous[MAX_PATH];
    ::GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(::SetCurrentDirectoryA(current.Str().c_str()));
    const struct {
        const char* where;
        std::string folder;
        const char* name;
    } plants[] = {
        {"beside the program", ProgramFolder(), "kgplanted-program.dll"},
        {"in the current folder", current.Str(), "kgplanted-current.dll"},
    };
    for (const auto& plant : plants) {
        ASSERT_TRUE(::CopyFileA(KG_SAMPLE_DLL, (plant.folder + "\\" + plant.name).c_str(), FALSE)) << plant.where;
        // Without the restriction the system does search there.
        const HMODULE loaded = ::LoadLibraryA(plant.name);
        EXPECT_NE(nullptr, loaded) << plant.where;
        ::FreeLibrary(loaded);
    }

    RestrictDllSearch();

    for (const auto& plant : plants) {
        const HMODULE loaded = ::LoadLibraryA(plant.name);
        EXPECT_EQ(nullptr, loaded) << "a library planted " << plant.where << " is loaded";
        ::FreeLibrary(loaded);
        ::DeleteFileA((plant.folder + "\\" + plant.name).c_str());
    }
    const HMODULE system = ::LoadLibraryA("comctl32.dll");
    EXPECT_NE(nullptr, system) << "a system library no longer loads";
    ::FreeLibrary(system);
    ::SetCurrentDirectoryA(previous);
}

}  // namespace
}  // namespace kg
