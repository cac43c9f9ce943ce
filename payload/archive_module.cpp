// The running program's own file, which carries the payload.
#include <windows.h>

#include "framework/text.h"
#include "framework/winapp.h"
#include "payload/archive.h"

namespace kg {
namespace {

constexpr char OPEN_FOR_READING_FAILED[] = "Cannot open %s for reading: %s";
constexpr std::size_t REPORT_BUFFER_SIZE = 1024;

}  // namespace

std::string PayloadArchive::GetModulePath() { return GetModuleFilePath(nullptr); }

bool PayloadArchive::OpenModule(CFile& file, std::string& failure) {
    const std::string modulePath = GetModulePath();
    CFileException error;
    // Without delete sharing the file can be neither replaced nor renamed
    // while the payload is read from this one handle.
    if (file.Open(modulePath.c_str(), CFile::modeRead | CFile::shareDenyWrite, &error)) {
        return true;
    }
    failure = FormatBounded(OPEN_FOR_READING_FAILED, {modulePath, error.GetErrorMessage()}, REPORT_BUFFER_SIZE);
    return false;
}

}  // namespace kg
