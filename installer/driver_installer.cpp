#include "installer/driver_installer.h"

#include <cstring>

#include "framework/text.h"
#include "installer/constants.h"
#include "installer/resource.h"

namespace kg {
namespace {

// The temporary and system directories are fetched into buffers of this size.
constexpr DWORD PATH_BUFFER_SIZE = 260;

// A directory query's result as an error code: the last error for a failed
// call, ERROR_INSUFFICIENT_BUFFER for a directory that does not fit (the
// system then returns the size it needs and leaves no text); 0 for success.
DWORD DirectoryQueryError(DWORD length) {
    if (length == 0) {
        return ::GetLastError();
    }
    return length >= PATH_BUFFER_SIZE ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS;
}

// Whether this 32-bit program runs on 64-bit Windows, whose kernel loads no
// 32-bit driver and which shows it 32-bit system folders of their own. NT 4
// and 2000 lack the call: they are 32-bit.
bool RunsUnderWow64() {
    BOOL wow64 = FALSE;
    return sys.IsWow64Process != nullptr && sys.IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

DriverInstaller::DriverInstaller(BOOL toStandardOutput) : commandLineMode(toStandardOutput) {
    if (RunsUnderWow64()) {
        supported = false;
        ShowMessage(IDS_NEEDS_64_BIT, false);
        return;
    }
    BuildPaths();
    UpdateInstallStatus();
    if (!ExtractPayload()) {
        ShowMessage(IDS_EXTRACT_FAILED, false);
    }
}

DriverInstaller::~DriverInstaller() { RemoveTempFolder(); }

void DriverInstaller::BuildPaths() {
    char tempDirectory[PATH_BUFFER_SIZE];
    const DWORD tempError = DirectoryQueryError(sys.GetTempPathA(PATH_BUFFER_SIZE, tempDirectory));
    if (tempError != ERROR_SUCCESS) {
        ShowSystemError(IDS_PATH_FAILED, tempError);
        return;
    }
    tempFolderPath = tempDirectory + TEMP_FOLDER_NAME;
    driverSourcePath = tempFolderPath + DRIVER_FILE_NAME;
    messageFileSourcePath = tempFolderPath + MESSAGE_FILE_NAME;

    char systemDirectory[PATH_BUFFER_SIZE];
    const DWORD systemError = DirectoryQueryError(sys.GetSystemDirectoryA(systemDirectory, PATH_BUFFER_SIZE));
    if (systemError != ERROR_SUCCESS) {
        ShowSystemError(IDS_PATH_FAILED, systemError);
        return;
    }
    messageFileDestinationPath = systemDirectory + ("\\" + MESSAGE_FILE_NAME);
    // The drivers folder goes into the same buffer; a folder name cut to
    // fit would send the driver elsewhere, so it must fit whole.
    const std::size_t wanted = std::strlen(systemDirectory) + std::strlen(DRIVERS_FOLDER);
    if (AppendBounded(systemDirectory, PATH_BUFFER_SIZE, DRIVERS_FOLDER) != wanted) {
        ShowSystemError(IDS_PATH_FAILED, ERROR_INSUFFICIENT_BUFFER);
        return;
    }
    driverDestinationPath = systemDirectory + DRIVER_FILE_NAME;
}

bool DriverInstaller::UpdateInstallStatus() {
    const bool found = QueryDriverStatus();
    installStatus = found ? INSTALL_STATUS_INSTALLED : INSTALL_STATUS_NOT_INSTALLED;
    return found;
}

void DriverInstaller::ShowUsage() { ShowMessage(IDS_USAGE, false); }

}  // namespace kg
