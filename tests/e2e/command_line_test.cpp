// Whole-program runs of the packed Kgsetup.exe, in turn on a clean machine:
// only what a whole program shows, the bytes on standard output (a text-mode
// stream: LF becomes CR LF), the full exit code and what is left on the
// machine, the temporary folder included. The usage runs read the payload
// too; the install is the signed installer's.
#include <regex>
#include <tuple>

#include "tests/installer/machine.h"

namespace kg {
namespace {

using namespace test;

// What `program` run with exactly the argument text `arguments` writes, its
// exit code, and the machine's State() then. With `held`, another program
// holds the program file open from the start (for deleting, as an updater
// might), so that it cannot be read as the installer reads it.
std::string RunProgram(const std::string& program, const std::string& arguments, bool held = false) {
    const TempDir dir;
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    FileHandle output(::CreateFileA(dir.Str("out").c_str(), GENERIC_WRITE, 0, &inheritable, CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.Get();
    std::string commandLine = "\"" + program + "\" " + arguments;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                          &startup, &process))
        return "not started";
    output.Reset();
    const FileHandle running(process.hProcess), thread(process.hThread);
    const FileHandle holder(held ? ::CreateFileA(program.c_str(), DELETE, 7, nullptr, OPEN_EXISTING, 0, nullptr)
                                 : INVALID_HANDLE_VALUE);
    ::ResumeThread(thread.Get());
    DWORD exitCode = 0;
    ::WaitForSingleObject(running.Get(), INFINITE);
    ::GetExitCodeProcess(running.Get(), &exitCode);
    return ReadBytes(dir.Str("out")) + "|exit " + std::to_string(exitCode) + "|" + State();
}

// A text on standard output, a text-mode stream: LF becomes CR LF (and a system text's CR LF, CR CR LF).
std::string Lines(const std::string& text) { return std::regex_replace(text, std::regex("\n"), "\r\n"); }

// The installer with its driver (the payload's first file) marked as made for the other processor.
std::string WithForeignDriver() {
    std::string bytes = ReadBytes(KG_INSTALLER);
    const std::size_t driver = ReadBytes(KG_UNPACKED).size();
    const char* other = sizeof(void*) == 8 ? "\x4C\x01" : "\x64\x86";
    return bytes.replace(driver + static_cast<unsigned char>(bytes[driver + 0x3C]) + 4, 2, other, 2);
}

TEST(CommandLine, RunsInTurnOnOneMachine) {
    const TempDir dir;
    std::string damaged = ReadBytes(KG_INSTALLER);
    damaged.back() ^= 1;  // the magic's last byte: a payload that lost its end
    WriteBytes(dir.Str("damaged.exe"), damaged);
    WriteBytes(dir.Str("foreign-driver.exe"), WithForeignDriver());
    WriteBytes(dir.Str("held.exe"), ReadBytes(KG_INSTALLER));
    const std::string usage = Lines(USAGE) + "|exit 1|- - - -", failed = "|exit 1603|- - - -";
    const std::string notFound = Lines(CopyFailed("kestgard.sys", ERROR_FILE_NOT_FOUND));
    const std::string held = dir.Str("held.exe");
    const std::string notRead =
        "Cannot open " + held + " for reading: " + RemoveLineBreaks(FormatSystemMessage(ERROR_SHARING_VIOLATION));
    const std::tuple<const char*, std::string, std::string, std::string> rows[] = {
        {"usage", KG_INSTALLER, "/?", usage},
        {"usage asked behind another argument", KG_INSTALLER, "x -?", usage},
        {"no payload, any one-letter argument", KG_UNPACKED, "i", notFound + failed},
        {"damaged payload", dir.Str("damaged.exe"), "/i", EXTRACT_FAILED + notFound + failed},
        {"a driver for the other processor", dir.Str("foreign-driver.exe"), "/i", DRIVER_UNFIT + failed},
        {"program file held by another: told, no box waits", held, "/i", notRead + EXTRACT_FAILED + notFound + failed},
        {"install, signed after packing", KG_SIGNED, "/i", INSTALLED + "|exit 0|running new new registered"},
    };
    for (const auto& [what, program, arguments, result] : rows)
        EXPECT_EQ(result, RunProgram(program, arguments, program == held)) << what;
}

// The x86 installer on 64-bit Windows (the CTest entry e2e_wow64 runs it in a
// 64-bit machine): it says that the 64-bit installer is needed and touches
// nothing.
TEST(DISABLED_OnWindows64, TheX86InstallerDoesNothing) {
    EXPECT_EQ(NEEDS_64_BIT + "|exit 1603|- - - -", RunProgram(KG_INSTALLER, "/i"));
}

}  // namespace
}  // namespace kg
