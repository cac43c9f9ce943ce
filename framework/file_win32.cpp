// CFile over the Windows file API (through the system API table).
#include "framework/file.h"

#include <utility>

namespace kg {
namespace {

CFileException::Cause CauseOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND: return CFileException::fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: return CFileException::badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return CFileException::tooManyOpenFiles;
    case ERROR_ACCESS_DENIED: return CFileException::accessDenied;
    case ERROR_INVALID_HANDLE: return CFileException::invalidFile;
    case ERROR_SHARING_VIOLATION: return CFileException::sharingViolation;
    case ERROR_LOCK_VIOLATION: return CFileException::lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return CFileException::diskFull;
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK: return CFileException::badSeek;
    case ERROR_HANDLE_EOF: return CFileException::endOfFile;
    default: return CFileException::genericException;
    }
}

}  // namespace

CFile::~CFile() { Abort(); }

bool CFile::Open(const char* fileName, unsigned openFlags, CFileException* error) {
    Abort();
    const DWORD access = (openFlags & modeWrite) ? GENERIC_WRITE : GENERIC_READ;
    const DWORD share = (openFlags & shareDenyWrite) ? FILE_SHARE_READ : 0;
    const DWORD disposition = (openFlags & modeCreate) ? CREATE_ALWAYS : OPEN_EXISTING;
    handle.Reset(sys.CreateFileA(fileName, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        const DWORD code = ::GetLastError();
        if (error != nullptr) {
            *error = CFileException(CauseOf(code), static_cast<long>(code), fileName);
        }
        return false;
    }
    path = fileName;
    return true;
}

void CFile::Fail(long osError) const { throw CFileException(CauseOf(static_cast<DWORD>(osError)), osError, path); }

std::uint64_t CFile::Seek(std::int64_t offset, SeekPosition from) {
    LONG high = static_cast<LONG>(offset >> 32);
    const DWORD low =
        sys.SetFilePointer(handle.Get(), static_cast<LONG>(offset & 0xFFFFFFFF), &high, static_cast<DWORD>(from));
    if (low == INVALID_SET_FILE_POINTER) {
        const DWORD code = ::GetLastError();
        if (code != NO_ERROR) {
            Fail(static_cast<long>(code));
        }
    }
    return (static_cast<std::uint64_t>(static_cast<DWORD>(high)) << 32) | low;
}

std::uint64_t CFile::GetLength() const {
    DWORD high = 0;
    const DWORD low = sys.GetFileSize(handle.Get(), &high);
    if (low == INVALID_FILE_SIZE) {
        const DWORD code = ::GetLastError();
        if (code != NO_ERROR) {
            Fail(static_cast<long>(code));
        }
    }
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

unsigned CFile::Read(void* buffer, unsigned count) {
    DWORD read = 0;
    if (!sys.ReadFile(handle.Get(), buffer, count, &read, nullptr)) {
        Fail(static_cast<long>(::GetLastError()));
    }
    return read;
}

void CFile::Write(const void* buffer, unsigned count) {
    DWORD written = 0;
    if (!sys.WriteFile(handle.Get(), buffer, count, &written, nullptr)) {
        Fail(static_cast<long>(::GetLastError()));
    }
    if (written != count) {
        Fail(ERROR_DISK_FULL);
    }
}

void CFile::Flush() {
    if (!sys.FlushFileBuffers(handle.Get())) {
        Fail(static_cast<long>(::GetLastError()));
    }
}

void CFile::Attach(FileHandle opened, const std::string& name) {
    handle = std::move(opened);
    path = name;
}

void CFile::Close() {
    if (!handle.Reset()) {
        Fail(static_cast<long>(::GetLastError()));
    }
}

void CFile::Abort() noexcept { handle.Reset(); }

bool CFile::Remove(const char* fileName) noexcept { return sys.DeleteFileA(fileName) != FALSE; }

}  // namespace kg
