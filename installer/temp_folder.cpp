// The temporary folder that the payload is extracted into and removed from.
#include "framework/handle.h"
#include "installer/driver_installer.h"
#include "installer/private_folder.h"
#include "ui/resource.h"

namespace kg {

bool DriverInstaller::ExtractPayload() {
    tempFolder.Reset();
    const DWORD error = MakeTempFolder();
    if (error != ERROR_SUCCESS) {
        ShowTextSystemError(FormatString(IDS_FOLDER_FAILED, tempFolderPath), error);
        return false;
    }
    const int result = ExtractAll(tempFolderPath);
    return result == PAYLOAD_OK || result == PAYLOAD_NO_MAGIC;
}

DWORD DriverInstaller::MakeTempFolder() {
    DWORD error = CreatePrivateFolder(tempFolderPath);
    // A folder that exists already may be anybody's, with anybody's files in
    // it, on a temporary directory that every user can write: it is removed
    // and made again, and a folder that reappears meanwhile is a failure. One
    // that another run of the program holds is left to it, files and all.
    if (error == ERROR_ALREADY_EXISTS) {
        const std::string existing = tempFolderPath.substr(0, tempFolderPath.size() - 1);
        error = CheckRemovable(existing);
        if (error == ERROR_SUCCESS) {
            error = RemoveTree(existing);
        }
        if (error == ERROR_SUCCESS) {
            error = CreatePrivateFolder(tempFolderPath);
        }
    }
    if (error == ERROR_SUCCESS) {
        tempFolder = HoldFolder(tempFolderPath);
        if (!tempFolder) {
            error = ::GetLastError();
        }
    }
    return error;
}

bool DriverInstaller::RemoveTempFolder() {
    // Only the folder this run made: without a temporary directory there is
    // none ("*" alone would name the files of the current directory), and a
    // folder that could not be replaced may lead anywhere (a link to the
    // system folder, say).
    if (!tempFolder) {
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
    tempFolder.Reset();
    return sys.RemoveDirectoryA(tempFolderPath.c_str()) != FALSE;
}

}  // namespace kg
