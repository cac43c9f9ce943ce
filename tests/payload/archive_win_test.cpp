// Failures of the file system that Wine cannot make, injected: a damaged
// read writes nothing, data not copied whole leave no partial file.
#include <gtest/gtest.h>

#include "payload/archive.h"
#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "tests/support/trailer_bytes.h"

namespace kg {
namespace {

TEST(ArchiveFaults, WhatEachFailureLeaves) {
    const struct { const char* what; test::Fault fault; int result; std::vector<std::string> written; } rows[] = {
        {"program file cannot be opened", {"CreateFileA", 1, ERROR_SHARING_VIOLATION}, PAYLOAD_OPEN_FAILED, {}},
        {"nor opened again", {"CreateFileA", 2, ERROR_SHARING_VIOLATION}, PAYLOAD_REOPEN_FAILED, {}},
        {"one output cannot be created", {"CreateFileA", 3, ERROR_ACCESS_DENIED}, PAYLOAD_OK, {"a.bin"}},
        {"magic unreadable", {"ReadFile", 1, ERROR_CRC}, PAYLOAD_DAMAGED, {}},
        {"count unreadable", {"ReadFile", 2, ERROR_CRC}, PAYLOAD_DAMAGED, {}},
        {"name unreadable", {"ReadFile", 4, ERROR_CRC}, PAYLOAD_DAMAGED, {}},
        {"offset unreadable", {"ReadFile", 6, ERROR_CRC}, PAYLOAD_DAMAGED, {}},
        {"third chunk of data unreadable", {"ReadFile", 14, ERROR_CRC}, PAYLOAD_COPY_FAILED, {"b"}},
        {"first chunk not written", {"WriteFile", 2, ERROR_DISK_FULL}, PAYLOAD_COPY_FAILED, {"b"}},
    };
    const test::TempDir work;
    const std::string program = work.Str("program.exe");
    test::WriteBytes(program, test::PackedImage(test::Pattern(100), {{"a.bin", test::Pattern(2500)}, {"b", "x"}}));
    for (const auto& row : rows) {
        const test::TempDir out;
        PayloadArchive archive;
        CFileException openError;
        {
            const test::Injected fault(row.fault);
            EXPECT_EQ(row.result, archive.ExtractFile(program, out.Str(), openError)) << row.what;
        }
        EXPECT_EQ(row.written, out.List()) << row.what;
        if (row.result == PAYLOAD_REOPEN_FAILED) {
            EXPECT_EQ(program + ": " + std::to_string(ERROR_SHARING_VIOLATION),
                      openError.m_strFileName + ": " + std::to_string(openError.m_lOsError));
        }
    }
}

}  // namespace
}  // namespace kg
