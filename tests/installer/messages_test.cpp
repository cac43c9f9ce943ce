// What the user reads, composed at its limits: on standard output in the
// command-line run, in a box in the dialog run; and the texts that feed it.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "framework/system_text.h"
#include "framework/winapp.h"
#include "installer/dw_exception.h"
#include "installer/resource.h"
#include "installer/service_parameters.h"
#include "tests/installer/machine.h"
#include "tests/support/message_boxes.h"
#include "tests/support/texts.h"

namespace kg {
namespace {

using namespace test;

CWinApp theApp;  // boxes take their caption from it
char noArguments[] = "";

// The system text that FormatMessageA hands out while set; null: the real one.
const char* fakeText = nullptr;
DWORD WINAPI FakeFormatMessage(DWORD flags, LPCVOID from, DWORD code, DWORD language, LPSTR buffer, DWORD size,
                               va_list* args) {
    if (fakeText == nullptr)
        return Real(&SystemApi::FormatMessageA)(flags, from, code, language, buffer, size, args);
    const DWORD length = static_cast<DWORD>(std::strlen(fakeText));
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER)
        buffer = *reinterpret_cast<LPSTR*>(buffer) = static_cast<LPSTR>(::LocalAlloc(LMEM_FIXED, length + 1));
    else if (length >= size)
        return 0;
    std::memcpy(buffer, fakeText, length + 1);
    return length;
}

enum Call { INFORMATION, WITH_TEXT, SYSTEM_ERROR, TEXT_SYSTEM_ERROR };

TEST(Messages, WhatTheUserReads) {
    theApp.Run(::GetModuleHandleA(nullptr), noArguments);
    const std::string denied = FormatSystemMessage(ERROR_ACCESS_DENIED), shown = Shown(ERROR_ACCESS_DENIED);
    const std::string edge(MESSAGE_BUFFER_SIZE - 3 - denied.size(), 't'), d1023(1023, 'd');
    const std::string PATH = "An error occurred while building the path:\n";
    // The call, what it writes in the command-line run, what its box shows (no text: the same) and the system
    // text while it is faked.
    const struct {
        const char* what;
        Call call;
        UINT id;
        std::string text;
        DWORD code;
        std::string output, box = "";
        const char* fake = nullptr;
    } rows[] = {
        {"success", INFORMATION, IDS_INSTALLED, "", 0, INSTALLED},
        {"with text cut to 1023", WITH_TEXT, IDS_INSTALL_FAILED, d1023, 0, (INSTALL_FAILED + d1023).substr(0, 1023)},
        {"system error", SYSTEM_ERROR, IDS_PATH_FAILED, "", 5, PATH + denied, PATH + shown},
        {"text and system error", TEXT_SYSTEM_ERROR, 0, "own %s", 5, "own %s:\n" + denied, "own %s:\n" + shown},
        {"system text that just fits", TEXT_SYSTEM_ERROR, 0, edge, 5, edge + ":\n" + denied, edge + ":\n" + shown},
        {"system text a byte too long", TEXT_SYSTEM_ERROR, 0, edge + "t", 5, edge + "t:\n"},
        {"a box cuts one line end", TEXT_SYSTEM_ERROR, 0, "", 5, ":\nD.\r\n\r\n", ":\nD.\r\n", "D.\r\n\r\n"},
        {"a box cuts a line end after a character", TEXT_SYSTEM_ERROR, 0, "", 5, ":\nx\r\n", ":\nx", "x\r\n"},
        {"a box keeps a line end alone", TEXT_SYSTEM_ERROR, 0, "", 5, ":\n\r\n", "", "\r\n"},
        {"a box keeps a line feed", TEXT_SYSTEM_ERROR, 0, "", 5, ":\nD.\n", "", "D.\n"},
    };
    const ApiOverride format(sys.FormatMessageA, &FakeFormatMessage);
    const MessageBoxRecorder quiet;  // the dialog run finds the temporary folder taken, and tells it in a box
    DriverInstaller commandLine(TRUE), dialog(FALSE);
    for (const auto& row : rows) {
        fakeText = row.fake;
        // What the run writes, then each box as "text|caption|type", "|owned" when it has an owner.
        const auto tell = [&](DriverInstaller& installer) {
            const MessageBoxRecorder recorder;
            std::string told = Told([&] {
                switch (row.call) {
                case INFORMATION: installer.ShowMessage(row.id, true); break;
                case WITH_TEXT: installer.ShowMessageWithText(row.id, row.text); break;
                case SYSTEM_ERROR: installer.ShowSystemError(row.id, row.code); break;
                case TEXT_SYSTEM_ERROR: installer.ShowTextSystemError(row.text, row.code); break;
                }
            });
            for (const ShownBox& box : recorder.Boxes())
                told += box.text + "|" + box.caption + "|" + std::to_string(box.type) + (box.owner ? "|owned" : "");
            return told;
        };
        EXPECT_EQ(row.output, tell(commandLine)) << row.what << ", on standard output";
        EXPECT_EQ(
            (row.box.empty() ? row.output : row.box) + "|installer_tests|" + (row.call == INFORMATION ? "64" : "48"),
            tell(dialog))
            << row.what << ", in a box";
    }
}

TEST(Messages, ServiceControlFailures) {
    const std::string exists = RemoveLineBreaks(FormatSystemMessage(ERROR_SERVICE_EXISTS));
    const std::string m1000(1000, 'm'), m1023(1023, 'm'), m1024(1024, 'm');
    // The failure, its GetErrorText and what a handler appends to its message.
    const std::tuple<const char*, CDWException, const char*, std::string, std::string> rows[] = {
        {"system failure", CDWException{"", 1073, TRUE, 0}, nullptr, ": " + exists, ": " + exists},
        {"text and system failure", CDWException{"a\r\nb", 1073, TRUE, 0}, nullptr, "ab: " + exists, "a\r\nb"},
        {"text failure", CDWException{"text", 1073, FALSE, 0}, nullptr, "", "text"},
        {"neither", CDWException{"", 1073, FALSE, 0}, nullptr, "", "No message ..."},
        {"message of 1023", CDWException{m1023, 1073, TRUE, 0}, nullptr, m1023, m1023},
        {"message of 1024", CDWException{m1024, 1073, TRUE, 0}, nullptr, "Error message too long. It failed !", m1024},
        {"system text that fits", CDWException{m1000, 5, TRUE, 0}, "ssssssssssssssssss\r\n",
         m1000 + ": ssssssssssssssssss", m1000},
        {"system text a byte too long", CDWException{m1000, 5, TRUE, 0}, "sssssssssssssssssss\r\n", m1000, m1000},
    };
    const ApiOverride format(sys.FormatMessageA, &FakeFormatMessage);
    for (const auto& [what, failure, fake, text, detail] : rows) {
        fakeText = fake;
        EXPECT_EQ(text + " / " + detail, failure.GetErrorText() + " / " + FailureDetail(failure)) << what;
    }
    fakeText = nullptr;
}

// The drive type the system reports, and the roots it was asked about.
UINT driveType;
std::string asked;
UINT WINAPI FakeDriveType(LPCSTR root) {
    asked += root;
    return driveType;
}
const UINT REAL = 99;  // the system's own drive type

// What the check of `path` refuses it with, and the roots it asked about.
std::string Check(const std::string& path, UINT type) {
    driveType = type;
    asked.clear();
    const ApiOverride fake(sys.GetDriveTypeA, type == REAL ? sys.GetDriveTypeA : &FakeDriveType);
    try {
        ServiceSpec(path).ValidateImagePath();
    } catch (const CDWException& failure) {
        return failure.message + asked;
    }
    return asked;
}

TEST(Messages, DriverPathCheck) {
    const std::string notQualified =
        ": The fully qualified path name to the file must be given, and the drive letter must be for a fixed disk "
        "(e.g., not a network drive)";
    const std::string step1 = "[Step1]" + notQualified, step2 = "[Step2]" + notQualified,
                      step3 = "[Step3]" + notQualified;
    const std::string noRoot = "The root directory where the service is specified to be must exist";
    const TempDir dir;
    const std::string file = dir.Str("kestgard.sys"), locked = dir.Str("locked.sys");
    const std::string longName = dir.Str(std::string(300, 'k'));
    WriteBytes(file, "driver");
    const FileHandle writing(::CreateFileA(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const FileHandle reading(
        ::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    const std::tuple<std::string, UINT, std::string, std::string> rows[] = {
        {"D:\\x.sys", DRIVE_UNKNOWN, step2, "D:\\"},
        {"D:\\x.sys", DRIVE_NO_ROOT_DIR, noRoot, "D:\\"},
        {"D:\\x.sys", DRIVE_RAMDISK, step2, "D:\\"},
        {"D:\\x.sys", 7, step3, "D:\\"},
        {locked, REAL, "[Step4]: Path error: " + locked + " 32", ""},
        {longName, REAL, ("[Step4]: Path error: " + longName).substr(0, 255), ""},
        {file, REAL, "", ""},
    };
    for (const auto& [path, type, failure, roots] : rows)
        EXPECT_EQ(failure + roots, Check(path, type)) << path;
    for (const char* path : {"\\\\server\\share\\x.sys", "C:x.sys", "CC\\x.sys", ""})
        EXPECT_EQ(step1, Check(path, DRIVE_FIXED)) << path << " (the drive must not be asked)";
}

}  // namespace
}  // namespace kg
