// Whole-program runs of the packed Kgsetup.exe, in turn on a clean machine:
// only what a whole program shows, the bytes on standard output (a text-mode
// stream: LF becomes CR LF), the full exit code and the temporary folder gone.
// The usage runs read the payload too; the install is the signed installer's.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>

#include "framework/handle.h"
#include "framework/system_text.h"
#include "tests/support/files.h"

namespace kg {
namespace {

// What `program` run with exactly the argument text `arguments` writes, its
// exit code, and whether it leaves the temporary folder.
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
    if (!::CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) return "not started";
    output.Reset();
    const FileHandle running(process.hProcess), thread(process.hThread);
    DWORD exitCode = 0;
    ::WaitForSingleObject(running.Get(), INFINITE);
    ::GetExitCodeProcess(running.Get(), &exitCode);
    char temp[MAX_PATH];
    const std::string folder = std::string(temp, ::GetTempPathA(MAX_PATH, temp)) + "kginst";
    return test::ReadBytes(dir.Str("out")) + "|exit " + std::to_string(exitCode) +
           (::GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES ? "|temporary folder left" : "");
}

// A failed copy of the driver: the system's text keeps its CR LF, which the stream makes CR CR LF.
std::string CopyFailed(DWORD code) {
    return "An error occurred while copying the file kestgard.sys:\r\n" + std::regex_replace(FormatSystemMessage(code), std::regex("\n"), "\r\n");
}

TEST(CommandLine, RunsInTurnOnOneMachine) {
    const test::TempDir dir;
    std::string damaged = test::ReadBytes(KG_INSTALLER);
    damaged.back() ^= 1;  // the magic's last byte: a payload that lost its end
    test::WriteBytes(dir.Str("damaged.exe"), damaged);
    const std::string usage = "Kestrelgard Installation Tool\r\nCopyright (C) 2026 The Kestrelgard Developers. All rights reserved.\r\n"
                              "Usage: Kgsetup /i   Installs Kestrelgard\r\n\r\n";
    const struct { const char* what; std::string program, arguments, result; } rows[] = {
        {"usage", KG_INSTALLER, "/?", usage + "|exit 1"},
        {"usage asked behind another argument", KG_INSTALLER, "x -?", usage + "|exit 1"},
        {"no payload, any one-letter argument", KG_UNPACKED, "i", CopyFailed(ERROR_FILE_NOT_FOUND) + "|exit 1603"},
        {"damaged payload", dir.Str("damaged.exe"), "/i", "Error while extracting files" + CopyFailed(ERROR_FILE_NOT_FOUND) + "|exit 1603"},
        {"install, signed after packing as a release is", KG_SIGNED, "/i", "Kestrelgard has been successfully installed.|exit 0"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.result, RunProgram(row.program, row.arguments)) << row.what;
    }
}

}  // namespace
}  // namespace kg
