// The temporary folder that the payload is extracted into and removed from.
#include "framework/handle.h"
#include "installer/driver_installer.h"
#include "ui/resource.h"

namespace kg {

bool DriverInstaller::ExtractPayload() {
    if (!sys.CreateDirectoryA(tempFolderPath.c_str(), nullptr)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS) {
            ShowTextSystemError(FormatString(IDS_FOLDER_FAILED, tempFolderPath), error);
            return false;
        }
    }
    const int result = ExtractAll(tempFolderPath);
    return result == PAYLOAD_OK || result == PAYLOAD_NO_MAGIC;
}

bool DriverInstaller::RemoveTempFolder() {
    // Without a temporary directory there is no folder: "*" alone would
    // name the files of the current directory.
    if (tempFolderPath.empty()) {
        return false;
    }
    WIN32_FIND_DATAA item;
    FindHandle find(sys.FindFirstFileA((tempFolderPath + "*").c_str(), &item));
    if (find) {
        do {
            if (!(item.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                sys.DeleteFileA((tempFolderPath + item.cFileName).c_str());
            }
        } while (sys.FindNextFileA(find.Get(), &item));
        find.Reset();
    }
    return sys.RemoveDirectoryA(tempFolderPath.c_str()) != FALSE;
}

}  // namespace kg
