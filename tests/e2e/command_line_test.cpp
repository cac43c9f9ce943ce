// Whole-program runs of the packed Kgsetup.exe, in turn on a clean machine:
// only what a whole program shows, the bytes on standard output (a text-mode
// stream: LF becomes CR LF), the full exit code and the temporary folder gone.
// The usage runs read the payload too; the install is the signed installer's.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <tuple>

#include "framework/handle.h"
#include "framework/system_text.h"
#include "tests/support/files.h"
#include "tests/support/texts.h"

namespace kg {
namespace {

using namespace test;

// What `program` run with exactly the argument text `arguments` writes, its
// exit code, and whether it leaves the temporary folder or installs the
// driver. With `held`, another program holds the program file open from
// the start (for deleting, as an updater might), so that it cannot be read
// as the installer reads it.
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
    EXPECT_EQ(held, holder.IsValid()) << program << " not held";
    ::ResumeThread(thread.Get());
    DWORD exitCode = 0;
    ::WaitForSingleObject(running.Get(), INFINITE);
    ::GetExitCodeProcess(running.Get(), &exitCode);
    char temp[MAX_PATH], system[MAX_PATH];
    const std::string folder = std::string(temp, ::GetTempPathA(MAX_PATH, temp)) + "kginst";
    const std::string driver = std::string(system, ::GetSystemDirectoryA(system, MAX_PATH)) + "\\drivers\\kestgard.sys";
    return ReadBytes(dir.Str("out")) + "|exit " + std::to_string(exitCode) +
           (::GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES ? "|temporary folder left" : "") +
           (::GetFileAttributesA(driver.c_str()) != INVALID_FILE_ATTRIBUTES ? "|driver installed" : "");
}

// A text on standard output, a text-mode stream: LF becomes CR LF (and a system text's CR LF, CR CR LF).
std::string Lines(const std::string& text) { return std::regex_replace(text, std::regex("\n"), "\r\n"); }

// The installer `installer` with the byte at `offset` of its driver changed (its checksum no longer holds), or
// with its driver marked as made for the other processor.
std::string WithDriver(const std::string& installer, std::size_t offset, bool foreign = false) {
    std::string bytes = ReadBytes(installer);
    const std::size_t driver = ReadBytes(KG_UNPACKED).size(),
                      header = driver + static_cast<unsigned char>(bytes[driver + 0x3C]) + 4;
    if (foreign) {
        bytes.replace(header, 2, bytes.compare(header, 2, "\x64\x86") == 0 ? std::string("\x4C\x01", 2) : "\x64\x86");
    } else {
        bytes[driver + offset] ^= 1;
    }
    return bytes;
}

TEST(CommandLine, RunsInTurnOnOneMachine) {
    const TempDir dir;
    std::string damaged = ReadBytes(KG_INSTALLER);
    damaged.back() ^= 1;  // the magic's last byte: a payload that lost its end
    WriteBytes(dir.Str("damaged.exe"), damaged);
    WriteBytes(dir.Str("damaged-driver.exe"), WithDriver(KG_INSTALLER, 0x200));
    WriteBytes(dir.Str("foreign-driver.exe"), WithDriver(KG_INSTALLER, 0, true));
    WriteBytes(dir.Str("held.exe"), ReadBytes(KG_INSTALLER));
    const std::string usage = Lines(USAGE), notFound = Lines(CopyFailed("kestgard.sys", ERROR_FILE_NOT_FOUND));
    const std::string unfit = DRIVER_UNFIT + "|exit 1603", held = dir.Str("held.exe");
    const std::string notRead =
        "Cannot open " + held + " for reading: " + RemoveLineBreaks(FormatSystemMessage(ERROR_SHARING_VIOLATION));
    const std::tuple<const char*, std::string, std::string, std::string> rows[] = {
        {"usage", KG_INSTALLER, "/?", usage + "|exit 1"},
        {"usage asked behind another argument", KG_INSTALLER, "x -?", usage + "|exit 1"},
        {"no payload, any one-letter argument", KG_UNPACKED, "i", notFound + "|exit 1603"},
        {"damaged payload", dir.Str("damaged.exe"), "/i", EXTRACT_FAILED + notFound + "|exit 1603"},
        {"a driver with a byte changed", dir.Str("damaged-driver.exe"), "/i", unfit},
        {"a driver for the other processor", dir.Str("foreign-driver.exe"), "/i", unfit},
        {"the program file held by another: told, no box waits", held, "/i",
         notRead + EXTRACT_FAILED + notFound + "|exit 1603"},
        {"install, signed after packing as a release is", KG_SIGNED, "/i", INSTALLED + "|exit 0|driver installed"},
    };
    for (const auto& [what, program, arguments, result] : rows)
        EXPECT_EQ(result, RunProgram(program, arguments, program == held)) << what;
}

// The x86 installer on 64-bit Windows (the CTest entry e2e_wow64 runs it in a
// 64-bit machine): it says that the 64-bit installer is needed and touches
// nothing.
TEST(DISABLED_OnWindows64, TheX86InstallerDoesNothing) {
    EXPECT_EQ(NEEDS_64_BIT + "|exit 1603", RunProgram(KG_INSTALLER, "/i"));
}

}  // namespace
}  // namespace kg
