// The file class: open, seek, read, write and close one file, with failures
// described by CFileException. Open reports failure by its result (and fills
// an optional exception record); the other operations throw CFileException.
// Windows builds go through the system's file API, host builds through POSIX.
#pragma once

#include <cstdint>
#include <string>

#ifdef _WIN32
#include "framework/handle.h"
#endif

namespace kg {

class CFileException {
public:
    enum Cause {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    CFileException() = default;
    CFileException(Cause cause, long osError, std::string fileName);

    // The system's one-line description of the failure, without the file
    // name, e.g. "File not found." Never empty once a failure is recorded.
    std::string GetErrorMessage() const;

    Cause m_cause = none;
    long m_lOsError = 0;
    std::string m_strFileName;
};

class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        modeCreate = 0x1000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile();  // closes an open file, ignoring errors

    // Supported: modeRead | shareDenyWrite (an existing file, read access,
    // others may only read) and modeCreate | modeWrite (created or truncated,
    // shared with nobody).
    bool Open(const char* fileName, unsigned openFlags, CFileException* error = nullptr);

    // Moves to `offset` from `from`; returns the new position. A position
    // before the start of the file is a failure.
    std::uint64_t Seek(std::int64_t offset, SeekPosition from);
    std::uint64_t GetLength() const;
    // Reads up to `count` bytes; returns how many were read (0 at the end).
    unsigned Read(void* buffer, unsigned count);
    // Writes all `count` bytes.
    void Write(const void* buffer, unsigned count);
    // Puts what was written on the disk.
    void Flush();
    void Close();
    // Closes without reporting errors (on a path that already failed).
    void Abort() noexcept;

    // Deletes a file; false if it could not be deleted.
    static bool Remove(const char* fileName) noexcept;

#ifdef _WIN32
    // Takes over `opened`, a file opened as the caller needs it (named
    // `name` in failures), in place of an open file.
    void Attach(FileHandle opened, const std::string& name);
#endif

private:
    [[noreturn]] void Fail(long osError) const;

#ifdef _WIN32
    FileHandle handle;
#else
    int fd = -1;
#endif
    std::string path;
};

}  // namespace kg
