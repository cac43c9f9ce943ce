// How the payload reader uses the file system: positionings, read sizes,
// order of writing, failures the real system cannot be made to produce, and
// the extraction of a program's own payload.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "payload/archive.h"
#include "tests/support/api_override.h"
#include "tests/support/files.h"
#include "tests/support/message_boxes.h"
#include "tests/support/trailer_bytes.h"

namespace kg {
namespace {

using test::ApiOverride;
using test::PackedImage;
using test::Pattern;
using test::Real;
using test::TempDir;

// What the replacements below saw.
struct Record {
    std::vector<std::pair<LONG, DWORD>> seeks;  // distance, method
    std::vector<DWORD> reads;                   // sizes asked for
    std::vector<std::string> created;           // files opened for writing
    int opened = 0;
    int closed = 0;
    int failReadAt = -1;     // fail the read with this index
    int failOpenAt = -1;     // fail the open with this index
    int failWriteAt = -1;    // write nothing with this index
    int writes = 0;
};
Record record;

DWORD WINAPI RecordingSeek(HANDLE file, LONG distance, PLONG high, DWORD method) {
    record.seeks.emplace_back(distance, method);
    return Real(&SystemApi::SetFilePointer)(file, distance, high, method);
}

BOOL WINAPI RecordingRead(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
    if (static_cast<int>(record.reads.size()) == record.failReadAt) {
        record.reads.push_back(size);
        ::SetLastError(ERROR_CRC);
        return FALSE;
    }
    record.reads.push_back(size);
    return Real(&SystemApi::ReadFile)(file, buffer, size, read, overlapped);
}

BOOL WINAPI FailingWrite(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    if (record.writes++ == record.failWriteAt) {
        *written = 0;
        ::SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return Real(&SystemApi::WriteFile)(file, buffer, size, written, overlapped);
}

HANDLE WINAPI CountingOpen(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                           DWORD flags, HANDLE from) {
    if (record.opened + static_cast<int>(record.created.size()) == record.failOpenAt) {
        ::SetLastError(ERROR_SHARING_VIOLATION);
        record.failOpenAt = -1;
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle = Real(&SystemApi::CreateFileA)(name, access, share, security, disposition, flags, from);
    if (handle != INVALID_HANDLE_VALUE) {
        if (access & GENERIC_WRITE) {
            record.created.push_back(name);
        } else {
            ++record.opened;
        }
    }
    return handle;
}

BOOL WINAPI CountingClose(HANDLE handle) {
    ++record.closed;
    return Real(&SystemApi::CloseHandle)(handle);
}

class ArchiveWinTest : public ::testing::Test {
protected:
    void SetUp() override { record = Record(); }

    int Extract(const std::string& bytes) {
        test::WriteBytes(program_, bytes);
        return archive_.ExtractFile(program_, out_.Str(), openError_);
    }
    int OpenHandles() const { return record.opened + static_cast<int>(record.created.size()) - record.closed; }

    TempDir work_;
    TempDir out_;
    const std::string program_ = work_.Str("program.exe");
    PayloadArchive archive_;
    CFileException openError_;
    ApiOverride<decltype(sys.CreateFileA)> open_{sys.CreateFileA, CountingOpen};
    ApiOverride<decltype(sys.CloseHandle)> close_{sys.CloseHandle, CountingClose};
};

TEST_F(ArchiveWinTest, EveryTrailerFieldIsReachedByItsOwnPositioningFromTheEnd) {
    test::WriteBytes(program_, PackedImage(Pattern(512), {{"a.txt", "abc"}}));
    ApiOverride<decltype(sys.SetFilePointer)> seek(sys.SetFilePointer, RecordingSeek);
    ApiOverride<decltype(sys.ReadFile)> read(sys.ReadFile, RecordingRead);
    ASSERT_EQ(PAYLOAD_OK, archive_.ReadDirectory(program_));
    // The headers come first: they say whether a signature follows the trailer.
    const std::vector<std::pair<LONG, DWORD>> seeks = {{0, FILE_BEGIN},  {-10, FILE_END}, {-14, FILE_END},
                                                       {-18, FILE_END}, {-23, FILE_END}, {-27, FILE_END},
                                                       {-31, FILE_END}};
    EXPECT_EQ(seeks, record.seeks);
    EXPECT_EQ((std::vector<DWORD>{64, 10, 4, 4, 5, 4, 4}), record.reads);
    EXPECT_EQ(0, OpenHandles());
}

TEST_F(ArchiveWinTest, DataAreCopiedInReadsOfAtMost1000Bytes) {
    struct Case {
        std::size_t size;
        std::vector<DWORD> reads;
    };
    const Case cases[] = {{0, {}}, {1000, {1000}}, {1001, {1000, 1}}, {2500, {1000, 1000, 500}}};
    for (const Case& c : cases) {
        test::WriteBytes(program_, PackedImage(Pattern(100), {{"data", Pattern(c.size)}}));
        ASSERT_EQ(PAYLOAD_OK, archive_.ReadDirectory(program_));
        CFile source;
        ASSERT_TRUE(source.Open(program_.c_str(), CFile::modeRead | CFile::shareDenyWrite));
        record.reads.clear();
        ApiOverride<decltype(sys.ReadFile)> read(sys.ReadFile, RecordingRead);
        ASSERT_EQ(PAYLOAD_OK, archive_.ExtractEntry(source, 0, out_.WithSeparator()));
        EXPECT_EQ(c.reads, record.reads) << c.size;
        EXPECT_EQ(Pattern(c.size), test::ReadBytes(out_.Str("data")));
    }
}

TEST_F(ArchiveWinTest, LastEntryIsWrittenFirstAndEveryHandleIsClosed) {
    ASSERT_EQ(PAYLOAD_OK, Extract(PackedImage(Pattern(100), {{"one", "1"}, {"two", "2"}, {"three", "3"}})));
    EXPECT_EQ((std::vector<std::string>{out_.Str("three"), out_.Str("two"), out_.Str("one")}), record.created);
    EXPECT_EQ(2, record.opened);  // once for the directory, once for the data
    EXPECT_EQ(0, OpenHandles());
}

TEST_F(ArchiveWinTest, FailedReadOfTheTrailerCountsAsDamage) {
    ApiOverride<decltype(sys.ReadFile)> read(sys.ReadFile, RecordingRead);
    for (int failAt = 0; failAt < 6; ++failAt) {
        record.reads.clear();
        record.failReadAt = failAt;
        EXPECT_EQ(PAYLOAD_DAMAGED, Extract(PackedImage(Pattern(100), {{"a.txt", "abc"}}))) << failAt;
        EXPECT_TRUE(test::ListFolder(out_.Path()).empty());
    }
    EXPECT_EQ(0, OpenHandles());
}

TEST_F(ArchiveWinTest, FailedReadOrWriteOfDataLeavesNoPartialFile) {
    {
        ApiOverride<decltype(sys.ReadFile)> read(sys.ReadFile, RecordingRead);
        record.failReadAt = 6 + 2;  // the trailer's six reads, then the third chunk
        EXPECT_EQ(PAYLOAD_COPY_FAILED, Extract(PackedImage(Pattern(100), {{"a.bin", Pattern(2500)}})));
        EXPECT_TRUE(test::ListFolder(out_.Path()).empty());
    }
    {
        ApiOverride<decltype(sys.WriteFile)> write(sys.WriteFile, FailingWrite);
        record.failWriteAt = 1;
        EXPECT_EQ(PAYLOAD_COPY_FAILED, Extract(PackedImage(Pattern(100), {{"a.bin", Pattern(2500)}})));
        EXPECT_TRUE(test::ListFolder(out_.Path()).empty());
    }
    EXPECT_EQ(0, OpenHandles());
}

TEST_F(ArchiveWinTest, ProgramFileThatCannotBeOpenedAgainIsReported) {
    test::WriteBytes(program_, PackedImage(Pattern(100), {{"a.txt", "abc"}}));
    record.failOpenAt = 1;  // the second open of the program file
    EXPECT_EQ(PAYLOAD_REOPEN_FAILED, archive_.ExtractFile(program_, out_.Str(), openError_));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, openError_.m_lOsError);
    EXPECT_EQ(CFileException::sharingViolation, openError_.m_cause);
    EXPECT_EQ(program_, openError_.m_strFileName);
    EXPECT_FALSE(openError_.GetErrorMessage().empty());
    EXPECT_TRUE(test::ListFolder(out_.Path()).empty());
    EXPECT_EQ(0, OpenHandles());
}

TEST_F(ArchiveWinTest, ProgramWithoutPayloadExtractsNothingAndSaysNothing) {
    test::MessageBoxRecorder boxes;
    EXPECT_EQ(PAYLOAD_NO_MAGIC, archive_.ExtractAll(out_.Str()));  // this test program carries none
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(test::ListFolder(out_.Path()).empty());
}

TEST_F(ArchiveWinTest, ProgramFileHeldOpenForWritingCannotBeRead) {
    test::WriteBytes(program_, PackedImage(Pattern(100), {{"a.txt", "abc"}}));
    const HANDLE writer = ::CreateFileA(program_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    EXPECT_EQ(PAYLOAD_OPEN_FAILED, archive_.ReadDirectory(program_));
    ::CloseHandle(writer);
}

}  // namespace
}  // namespace kg
