// Whole-program runs of what a release meets in the field, in turn on a
// machine of its own: a kginst folder that someone else made first on the
// temporary directory, and the installer signed after packing. Only what a
// whole program shows: the bytes on standard output (a text-mode stream: LF
// becomes CR LF), the exit code, whether the temporary folder is left, and
// which driver reached the drivers folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

#include "framework/handle.h"
#include "framework/system_text.h"
#include "tests/support/files.h"

namespace kg {
namespace {

std::string TempFolder() {
    char temp[MAX_PATH];
    return std::string(temp, ::GetTempPathA(MAX_PATH, temp)) + "kginst\\";
}

std::string InstalledDriver() {
    char system[MAX_PATH];
    return std::string(system, ::GetSystemDirectoryA(system, MAX_PATH)) + "\\drivers\\kestgard.sys";
}

// As the stream writes it: every LF of the text becomes CR LF.
std::string TextMode(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return out;
}

// What `program` run with the argument text `arguments` writes, its exit
// code, and whether it leaves the temporary folder.
std::string RunProgram(const std::string& program, const std::string& arguments) {
    const test::TempDir dir;
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    FileHandle output(::CreateFileA(dir.Str("out").c_str(), GENERIC_WRITE, 0, &inheritable, CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.Get();
    std::string commandLine = "\"" + program + "\" " + arguments;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &process)) {
        return "not started";
    }
    output.Reset();
    const FileHandle running(process.hProcess);
    const FileHandle thread(process.hThread);
    DWORD exitCode = 0;
    ::WaitForSingleObject(running.Get(), INFINITE);
    ::GetExitCodeProcess(running.Get(), &exitCode);
    const bool left = ::GetFileAttributesA(TempFolder().c_str()) != INVALID_FILE_ATTRIBUTES;
    return test::ReadBytes(dir.Str("out")) + "|exit " + std::to_string(exitCode) + (left ? "|temporary folder left" : "");
}

std::string InstalledDriverBytes() {
    return ::GetFileAttributesA(InstalledDriver().c_str()) != INVALID_FILE_ATTRIBUTES ? test::ReadBytes(InstalledDriver())
                                                                                      : "none";
}

// A kginst folder of someone else's, open to everyone, with a driver of
// theirs in it and more below it.
void PlantFolder() {
    const std::string folder = TempFolder();
    ::CreateDirectoryA(folder.c_str(), nullptr);
    ::CreateDirectoryA((folder + "nested").c_str(), nullptr);
    test::WriteBytes(folder + "kestgard.sys", "planted driver");
    test::WriteBytes(folder + "nested\\kestgard.dll", "planted library");
}

TEST(PlantedAndSigned, RunsInTurnOnOneMachine) {
    const std::string planted = TempFolder() + "kestgard.sys";
    const std::string sample = test::ReadBytes(KG_SAMPLE_SYS);
    const std::string folderFailed = TextMode("Could not create output directory " + TempFolder() + ":\n" +
                                              FormatSystemMessage(ERROR_SHARING_VIOLATION));
    const std::string copyFailed = TextMode("An error occurred while copying the file kestgard.sys:\n" +
                                            FormatSystemMessage(ERROR_FILE_NOT_FOUND));
    const struct {
        const char* what;
        std::string program;
        bool plantedDriverHeldOpen;
        std::string result;
        std::string installed;
    } rows[] = {
        {"a planted folder whose driver someone holds open", KG_INSTALLER, true,
         folderFailed + "Error while extracting files" + copyFailed + "|exit 1603|temporary folder left", "none"},
        {"the signed installer over a planted folder", KG_SIGNED_INSTALLER, false,
         "Kestrelgard has been successfully installed.|exit 0", sample},
    };
    for (const auto& row : rows) {
        PlantFolder();
        std::optional<FileHandle> held;
        if (row.plantedDriverHeldOpen) {
            held.emplace(::CreateFileA(planted.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        }
        EXPECT_EQ(row.result, RunProgram(row.program, "/i")) << row.what;
        EXPECT_EQ(row.installed, InstalledDriverBytes()) << row.what;
    }
}

}  // namespace
}  // namespace kg
