// Extraction of the running program's own payload.
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

int PayloadArchive::ExtractAll(std::string folder) {
    const std::string modulePath = GetModulePath();
    CFileException openError;
    const int result = ExtractFile(modulePath, std::move(folder), openError);
    if (result == PAYLOAD_REOPEN_FAILED) {
        const std::string text = FormatBounded(
            OPEN_FOR_READING_FAILED, {modulePath, openError.GetErrorMessage()}, REPORT_BUFFER_SIZE);
        AfxMessageBox(text.c_str(), MB_OK);
    }
    return result;
}

}  // namespace kg
