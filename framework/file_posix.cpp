// CFile over POSIX, for the host build of the packing tool and the host tests.
#include "framework/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kg {
namespace {

CFileException::Cause CauseOf(int error) {
    switch (error) {
    case ENOENT: return CFileException::fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG: return CFileException::badPath;
    case EMFILE:
    case ENFILE: return CFileException::tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR: return CFileException::accessDenied;
    case EBADF: return CFileException::invalidFile;
    case ENOSPC: return CFileException::diskFull;
    case EINVAL: return CFileException::badSeek;
    case EIO: return CFileException::hardIO;
    default: return CFileException::genericException;
    }
}

}  // namespace

CFile::~CFile() { Abort(); }

bool CFile::Open(const char* fileName, unsigned openFlags, CFileException* error) {
    Abort();
    const int flags =
        (openFlags & modeWrite) ? (O_WRONLY | ((openFlags & modeCreate) ? O_CREAT | O_TRUNC : 0)) : O_RDONLY;
    fd = ::open(fileName, flags | O_CLOEXEC, 0644);
    if (fd >= 0) {
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
            ::close(fd);
            fd = -1;
            errno = EISDIR;
        }
    }
    if (fd < 0) {
        if (error != nullptr) {
            *error = CFileException(CauseOf(errno), errno, fileName);
        }
        return false;
    }
    path = fileName;
    return true;
}

void CFile::Fail(long osError) const { throw CFileException(CauseOf(static_cast<int>(osError)), osError, path); }

std::uint64_t CFile::Seek(std::int64_t offset, SeekPosition from) {
    const int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    const off_t position = ::lseek(fd, static_cast<off_t>(offset), whence);
    if (position < 0) {
        Fail(errno);
    }
    return static_cast<std::uint64_t>(position);
}

std::uint64_t CFile::GetLength() const {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        Fail(errno);
    }
    return static_cast<std::uint64_t>(info.st_size);
}

unsigned CFile::Read(void* buffer, unsigned count) {
    ssize_t got;
    do {
        got = ::read(fd, buffer, count);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        Fail(errno);
    }
    return static_cast<unsigned>(got);
}

void CFile::Write(const void* buffer, unsigned count) {
    const char* p = static_cast<const char*>(buffer);
    while (count > 0) {
        const ssize_t put = ::write(fd, p, count);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            Fail(put < 0 ? errno : ENOSPC);
        }
        p += put;
        count -= static_cast<unsigned>(put);
    }
}

void CFile::Flush() {
    if (::fsync(fd) != 0) {
        Fail(errno);
    }
}

void CFile::Close() {
    const int closing = fd;
    fd = -1;
    if (closing >= 0 && ::close(closing) != 0) {
        Fail(errno);
    }
}

void CFile::Abort() noexcept {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

bool CFile::Remove(const char* fileName) noexcept { return ::unlink(fileName) == 0; }

}  // namespace kg
