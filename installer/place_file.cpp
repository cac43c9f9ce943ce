#include "installer/place_file.h"

#include "framework/handle.h"

namespace kg {
namespace {

// The new file's name beside the old one until it takes its place.
constexpr char NEW_SUFFIX[] = ".new";
constexpr unsigned ASIDE_ATTEMPTS = 100;
constexpr unsigned COPY_BUFFER_SIZE = 16384;

// A name beside `path` that nobody can tell in advance, so that nobody can
// take it first: the clock, counted on by the attempt, in hexadecimal.
std::string AsideName(const std::string& path, unsigned attempt) {
    const DWORD stamp = ::GetTickCount() + attempt;
    std::string name = path + ".00000000.old";
    for (int digit = 0; digit < 8; ++digit) {
        const char nibble = static_cast<char>((stamp >> (4 * digit)) & 0xF);
        name[path.size() + 8 - digit] = static_cast<char>(nibble < 10 ? '0' + nibble : 'A' + nibble - 10);
    }
    return name;
}

// ERROR_SUCCESS when `path` can be written now or does not exist; else the
// error that opening it for writing gives: the sharing violation for a file
// in use, what a copy onto it would meet otherwise (a folder of that name).
DWORD WriteAccess(const std::string& path) {
    const FileHandle file(sys.CreateFileA(path.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = file ? ERROR_SUCCESS : ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

// Writes all of `source` into a new file `path`, on the disk when this
// returns ERROR_SUCCESS.
DWORD WriteFlushed(CFile& source, const std::string& path) {
    CFile output;
    CFileException error;
    if (!output.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite, &error)) {
        return static_cast<DWORD>(error.m_lOsError);
    }
    try {
        char buffer[COPY_BUFFER_SIZE];
        source.Seek(0, CFile::begin);
        while (const unsigned read = source.Read(buffer, sizeof buffer)) {
            output.Write(buffer, read);
        }
        output.Flush();
        output.Close();
    } catch (const CFileException& failure) {
        return static_cast<DWORD>(failure.m_lOsError);
    }
    return ERROR_SUCCESS;
}

DWORD Replace(const std::string& from, const std::string& to) {
    return sys.MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? ERROR_SUCCESS
               : ::GetLastError();
}

void DeleteAtRestart(const std::string& path) { sys.MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT); }

}  // namespace

DWORD PlaceFile(CFile& source, const std::string& destination, InUse inUse) {
    DWORD error = WriteAccess(destination);
    const bool moveAside = error == ERROR_SHARING_VIOLATION && inUse == InUse::MOVE_ASIDE;
    if (error != ERROR_SUCCESS && !moveAside) {
        return error;
    }
    const std::string temporary = destination + NEW_SUFFIX;
    error = WriteFlushed(source, temporary);
    if (error == ERROR_SUCCESS && moveAside) {
        // A file in use can be renamed, not replaced: the old one moves
        // aside, and comes back when the new one cannot take its place.
        std::string aside;
        error = MoveAside(destination, aside);
        if (error == ERROR_SUCCESS) {
            error = Replace(temporary, destination);
            if (error == ERROR_SUCCESS) {
                DeleteAtRestart(aside);
            } else {
                sys.MoveFileExA(aside.c_str(), destination.c_str(), 0);
            }
        }
    } else if (error == ERROR_SUCCESS) {
        error = Replace(temporary, destination);
    }
    if (error != ERROR_SUCCESS) {
        sys.DeleteFileA(temporary.c_str());
    }
    return error;
}

void RemoveFile(const std::string& path) {
    if (sys.DeleteFileA(path.c_str())) {
        return;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return;
    }
    std::string aside;
    DeleteAtRestart(MoveAside(path, aside) == ERROR_SUCCESS ? aside : path);
}

DWORD MoveAside(const std::string& path, std::string& aside) {
    DWORD error = ERROR_ALREADY_EXISTS;
    for (unsigned attempt = 0; attempt < ASIDE_ATTEMPTS && error == ERROR_ALREADY_EXISTS; ++attempt) {
        aside = AsideName(path, attempt);
        error = sys.MoveFileExA(path.c_str(), aside.c_str(), 0) ? ERROR_SUCCESS : ::GetLastError();
    }
    return error;
}

}  // namespace kg
