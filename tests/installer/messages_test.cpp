// How the engine composes what the user reads, at its limits: standard output
// in the command-line run, a message box in the dialog run; the failure record
// of service control and the check of the driver's path that feed it.
#include <gtest/gtest.h>

#include <cstring>

#include "framework/system_text.h"
#include "framework/winapp.h"
#include "installer/dw_exception.h"
#include "installer/service_parameters.h"
#include "tests/installer/machine.h"
#include "ui/resource.h"

namespace kg {
namespace {

using namespace test;

// The program's application object: message boxes take their caption from it.
CWinApp theApp;
char noArguments[] = "";

constexpr DWORD NO_TEXT = 0x2000FFFF;  // a code the system has no text for

// The system text that FormatMessageA hands out while set; null: the real one.
const char* fakeText = nullptr;
DWORD WINAPI FakeFormatMessage(DWORD flags, LPCVOID source, DWORD code, DWORD language, LPSTR buffer, DWORD size, va_list* args) {
    if (fakeText == nullptr) {
        return Real(&SystemApi::FormatMessageA)(flags, source, code, language, buffer, size, args);
    }
    const DWORD length = static_cast<DWORD>(std::strlen(fakeText));
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        *reinterpret_cast<LPSTR*>(buffer) = static_cast<LPSTR>(::LocalAlloc(LMEM_FIXED, length + 1));
        buffer = *reinterpret_cast<LPSTR*>(buffer);
    } else if (length >= size) {
        return 0;
    }
    std::memcpy(buffer, fakeText, length + 1);
    return length;
}

std::string boxes;
int WINAPI RecordBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    boxes += std::string(text) + "|" + caption + "|" + std::to_string(type) + (owner != nullptr ? "|owned" : "");
    return IDOK;
}

enum Call { INFORMATION, EXCLAMATION, WITH_TEXT, SYSTEM_ERROR, TEXT_SYSTEM_ERROR, USAGE };

TEST(Messages, WhatTheUserReads) {
    theApp.Run(::GetModuleHandleA(nullptr), noArguments);
    const std::string denied = FormatSystemMessage(ERROR_ACCESS_DENIED);
    const std::string shown = denied.substr(0, denied.size() - 2);
    const std::string edge(MESSAGE_BUFFER_SIZE - 3 - denied.size(), 't');
    const std::string installFailed = "An error occurred while installing the driver";
    const std::string usage = "Kestrelgard Installation Tool\nCopyright (C) 2026 The Kestrelgard Developers. All rights "
                              "reserved.\nUsage: Kgsetup /i   Installs Kestrelgard\n\n";
    const std::string OK_EXCLAMATION = "|installer_tests|48", OK_INFORMATION = "|installer_tests|64";
    const struct {
        const char* what;
        Call call;
        UINT id;
        std::string text;
        DWORD code;
        const char* fake;
        std::string output, box;
    } rows[] = {
        {"success", INFORMATION, IDS_INSTALLED, "", 0, nullptr, "Kestrelgard has been successfully installed.",
         "Kestrelgard has been successfully installed." + OK_INFORMATION},
        {"failure", EXCLAMATION, IDS_EXTRACT_FAILED, "", 0, nullptr, "Error while extracting files", "Error while extracting files" + OK_EXCLAMATION},
        {"usage", USAGE, 0, "", 0, nullptr, usage, usage + OK_EXCLAMATION},
        {"with text", WITH_TEXT, IDS_INSTALL_FAILED, "detail", 0, nullptr, installFailed + "detail", installFailed + "detail" + OK_EXCLAMATION},
        {"with text cut to 1023", WITH_TEXT, IDS_INSTALL_FAILED, std::string(1023, 'd'), 0, nullptr,
         (installFailed + std::string(1023, 'd')).substr(0, 1023), (installFailed + std::string(1023, 'd')).substr(0, 1023) + OK_EXCLAMATION},
        {"percent signs", WITH_TEXT, IDS_REMOVE_FAILED, "%s %1 %d 100%", 0, nullptr, "An error occurred while removing the driver%s %1 %d 100%",
         "An error occurred while removing the driver%s %1 %d 100%" + OK_EXCLAMATION},
        {"system error", SYSTEM_ERROR, IDS_PATH_FAILED, "", ERROR_ACCESS_DENIED, nullptr, "An error occurred while building the path:\n" + denied,
         "An error occurred while building the path:\n" + shown + OK_EXCLAMATION},
        {"text and system error", TEXT_SYSTEM_ERROR, 0, "own %s", ERROR_ACCESS_DENIED, nullptr, "own %s:\n" + denied, "own %s:\n" + shown + OK_EXCLAMATION},
        {"no system text", TEXT_SYSTEM_ERROR, 0, "own", NO_TEXT, nullptr, "own:\n", "own:\n" + OK_EXCLAMATION},
        {"system text that does not fit", TEXT_SYSTEM_ERROR, 0, std::string(1015, 't'), ERROR_ACCESS_DENIED, nullptr,
         std::string(1015, 't') + ":\n", std::string(1015, 't') + ":\n" + OK_EXCLAMATION},
        {"system text that just fits", TEXT_SYSTEM_ERROR, 0, edge, ERROR_ACCESS_DENIED, nullptr, edge + ":\n" + denied,
         edge + ":\n" + shown + OK_EXCLAMATION},
        {"system text a byte too long", TEXT_SYSTEM_ERROR, 0, edge + "t", ERROR_ACCESS_DENIED, nullptr, edge + "t:\n",
         edge + "t:\n" + OK_EXCLAMATION},
        {"box cuts one line end", TEXT_SYSTEM_ERROR, 0, "own", 5, "Denied.\r\n\r\n", "own:\nDenied.\r\n\r\n", "own:\nDenied.\r\n" + OK_EXCLAMATION},
        {"box cuts a line end behind one character", TEXT_SYSTEM_ERROR, 0, "own", 5, "x\r\n", "own:\nx\r\n", "own:\nx" + OK_EXCLAMATION},
        {"box keeps a line end alone", TEXT_SYSTEM_ERROR, 0, "own", 5, "\r\n", "own:\n\r\n", "own:\n\r\n" + OK_EXCLAMATION},
        {"box keeps a line feed alone", TEXT_SYSTEM_ERROR, 0, "own", 5, "Denied.\n", "own:\nDenied.\n", "own:\nDenied.\n" + OK_EXCLAMATION},
        {"box keeps a carriage return alone", TEXT_SYSTEM_ERROR, 0, "own", 5, "Denied.\r", "own:\nDenied.\r", "own:\nDenied.\r" + OK_EXCLAMATION},
        {"inserts as they are", TEXT_SYSTEM_ERROR, 0, "own", ERROR_WRONG_DISK, "Insert %2 into drive %1.\r\n",
         "own:\nInsert %2 into drive %1.\r\n", "own:\nInsert %2 into drive %1." + OK_EXCLAMATION},
    };
    const ApiOverride format(sys.FormatMessageA, &FakeFormatMessage);
    const ApiOverride recorder(sys.MessageBoxA, &RecordBox);
    DriverInstaller commandLine(TRUE), dialog(FALSE);
    for (const auto& row : rows) {
        fakeText = row.fake;
        boxes.clear();
        std::string output;
        for (DriverInstaller* installer : {&commandLine, &dialog}) {
            output += Told([&] {
                switch (row.call) {
                case INFORMATION: installer->ShowMessage(row.id, true); break;
                case EXCLAMATION: installer->ShowMessage(row.id, false); break;
                case WITH_TEXT: installer->ShowMessageWithText(row.id, row.text); break;
                case SYSTEM_ERROR: installer->ShowSystemError(row.id, row.code); break;
                case TEXT_SYSTEM_ERROR: installer->ShowTextSystemError(row.text, row.code); break;
                case USAGE: installer->ShowUsage(); break;
                }
            });
        }
        EXPECT_EQ(row.output, output) << row.what << ": on standard output";
        EXPECT_EQ(row.box, boxes) << row.what << ": in a box";
    }
    fakeText = nullptr;
    CWnd main;
    main.m_hWnd = ::CreateWindowA("STATIC", "main", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    theApp.m_pMainWnd = &main;
    boxes.clear();
    dialog.ShowMessage(IDS_INSTALLED, true);
    theApp.m_pMainWnd = nullptr;
    ::DestroyWindow(main.m_hWnd);
    EXPECT_EQ("Kestrelgard has been successfully installed." + OK_INFORMATION + "|owned", boxes) << "a box not owned by the main window";
}

TEST(Messages, FailureRecordOfServiceControl) {
    const auto line = [](DWORD code) { return RemoveLineBreaks(FormatSystemMessage(code)); };
    const std::string m1000(1000, 'm');
    const struct {
        const char* what;
        CDWException failure;
        const char* fake;
        std::string text;    // GetErrorText
        std::string detail;  // what a handler appends
    } rows[] = {
        {"system failure", {"", ERROR_SERVICE_EXISTS, TRUE, 0}, nullptr, ": " + line(ERROR_SERVICE_EXISTS), ": " + line(ERROR_SERVICE_EXISTS)},
        {"text and system failure", {"a\r\nb", 5, TRUE, 0}, nullptr, "ab: " + line(5), "a\r\nb"},
        {"text failure", {"text", 5, FALSE, 0}, nullptr, "", "text"},
        {"neither", {"", 5, FALSE, 0}, nullptr, "", "No message ..."},
        {"no system text", {"text", NO_TEXT, TRUE, 0}, nullptr, "text: ", "text"},
        {"message of 1023", {std::string(1023, 'm'), 5, TRUE, 0}, nullptr, std::string(1023, 'm'), std::string(1023, 'm')},
        {"message of 1024", {std::string(1024, 'm'), 5, TRUE, 0}, nullptr, "Error message too long. It failed !", std::string(1024, 'm')},
        {"system text that fits", {m1000, 5, TRUE, 0}, "ssssssssssssssssss\r\n", m1000 + ": ssssssssssssssssss", m1000},
        {"system text a byte too long", {m1000, 5, TRUE, 0}, "sssssssssssssssssss\r\n", m1000, m1000},
        {"system text without line end that fits", {m1000, 5, TRUE, 0}, "ssssssssssssssssssss", m1000 + ": ssssssssssssssssssss", m1000},
        {"system text without line end too long", {m1000, 5, TRUE, 0}, "sssssssssssssssssssss", m1000, m1000},
    };
    const ApiOverride format(sys.FormatMessageA, &FakeFormatMessage);
    for (const auto& row : rows) {
        fakeText = row.fake;
        EXPECT_EQ(row.text, row.failure.GetErrorText()) << row.what;
        EXPECT_EQ(row.detail, FailureDetail(row.failure)) << row.what;
    }
    fakeText = nullptr;
    const auto shape = [](void (*raise)()) {
        try {
            raise();
        } catch (const CDWException& f) {
            return f.message + "|" + std::to_string(f.systemError) + "|" + std::to_string(f.hasSystemError) + "|" + std::to_string(f.reserved);
        }
        return std::string("nothing thrown");
    };
    EXPECT_EQ("text|0|0|0", shape([] { ThrowTextFailure("text"); }));
    EXPECT_EQ("|1073|1|0", shape([] { ThrowSystemFailure(ERROR_SERVICE_EXISTS); }));
}

// The drive type the system reports, and the roots it was asked about.
UINT driveType;
std::string askedRoots;
UINT WINAPI FakeDriveType(LPCSTR root) {
    askedRoots += root;
    return driveType;
}

TEST(Messages, DriverPathCheck) {
    const std::string notFullyQualified = ": The fully qualified path name to the file must be given, and the drive letter must be for a fixed disk (e.g., not a network drive)";
    const std::string step1 = "[Step1]" + notFullyQualified, step2 = "[Step2]" + notFullyQualified, step3 = "[Step3]" + notFullyQualified;
    const std::string noRoot = "The root directory where the service is specified to be must exist";
    const TempDir dir;
    WriteBytes(dir.Str("kestgard.sys"), "driver");
    const std::string file = dir.Str("kestgard.sys"), longName = dir.Str(std::string(300, 'k') + ".sys");
    const FileHandle writing(::CreateFileA(dir.Str("locked.sys").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const FileHandle reading(::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    const UINT REAL = 99;
    const struct {
        std::string path;
        UINT driveType;  // REAL: the system's
        std::string failure, asked;
    } rows[] = {
        {"kestgard.sys", DRIVE_FIXED, step1, ""}, {"drivers\\kestgard.sys", DRIVE_FIXED, step1, ""},
        {"\\\\server\\share\\x.sys", DRIVE_FIXED, step1, ""}, {"\\x.sys", DRIVE_FIXED, step1, ""},
        {"C:x.sys", DRIVE_FIXED, step1, ""}, {"C:", DRIVE_FIXED, step1, ""}, {"", DRIVE_FIXED, step1, ""},
        {"C:/x.sys", DRIVE_FIXED, step1, ""}, {"CC\\x.sys", DRIVE_FIXED, step1, ""},
        {"D:\\x.sys", DRIVE_UNKNOWN, step2, "D:\\"}, {"D:\\x.sys", DRIVE_NO_ROOT_DIR, noRoot, "D:\\"},
        {"D:\\x.sys", DRIVE_REMOVABLE, step2, "D:\\"}, {"D:\\x.sys", DRIVE_REMOTE, step2, "D:\\"},
        {"D:\\x.sys", DRIVE_CDROM, step2, "D:\\"}, {"D:\\x.sys", DRIVE_RAMDISK, step2, "D:\\"},
        {"D:\\x.sys", 7, step3, "D:\\"}, {"D:\\x.sys", 0xFFFFFFFF, step3, "D:\\"},
        {"Q:\\x.sys", REAL, noRoot, ""},
        {dir.Str("missing.sys"), REAL, "[Step4]: Path error: " + dir.Str("missing.sys") + " 2", ""},
        {dir.Str("missing\\x.sys"), REAL, "[Step4]: Path error: " + dir.Str("missing\\x.sys") + " 3", ""},
        {dir.Str("locked.sys"), REAL, "[Step4]: Path error: " + dir.Str("locked.sys") + " 32", ""},
        {longName, REAL, ("[Step4]: Path error: " + longName).substr(0, 255), ""},
        {file, REAL, "", ""},
    };
    for (const auto& row : rows) {
        driveType = row.driveType;
        askedRoots.clear();
        std::string failure;
        {
            const ApiOverride<decltype(sys.GetDriveTypeA)> fake(sys.GetDriveTypeA, row.driveType == REAL ? sys.GetDriveTypeA : FakeDriveType);
            try {
                ServiceSpec(row.path).ValidateImagePath();
            } catch (const CDWException& f) {
                failure = f.message;
            }
        }
        EXPECT_EQ(row.failure, failure) << row.path;
        EXPECT_EQ(row.asked, askedRoots) << row.path;
    }
}

}  // namespace
}  // namespace kg
