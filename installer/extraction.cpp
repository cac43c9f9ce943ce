// The payload extracted into the run's temporary folder, and removed again.
#include "installer/driver_installer.h"
#include "installer/resource.h"

namespace kg {

bool DriverInstaller::ExtractPayload() {
    const DWORD error = tempFolder.Make(tempFolderPath);
    if (error != ERROR_SUCCESS) {
        ShowTextSystemError(FormatString(IDS_FOLDER_FAILED, tempFolderPath), error);
        return false;
    }
    CFile program;
    std::string failure;
    if (!OpenModule(program, failure)) {
        Tell(failure.c_str());
        return false;
    }
    const int result = ExtractAll(program, tempFolder);
    return result == PAYLOAD_OK || result == PAYLOAD_NO_MAGIC;
}

bool DriverInstaller::RemoveTempFolder() { return tempFolder.Remove(); }

}  // namespace kg
