// Install, upgrade and uninstall. None undoes what it completed before a
// failure; each failure is told once.
#include "framework/winapp.h"
#include "installer/constants.h"
#include "installer/driver_installer.h"
#include "installer/dw_exception.h"
#include "installer/resource.h"
#include "installer/service_manager.h"
#include "installer/service_parameters.h"
#include "payload/driver_image.h"

namespace kg {
namespace {

// The processor whose drivers this build installs.
constexpr std::uint16_t THIS_MACHINE = sizeof(void*) == 8 ? MACHINE_AMD64 : MACHINE_I386;

// Whether the system would load `driver`; one that cannot be read would not.
bool LoadsHere(CFile& driver) {
    try {
        return CheckDriverImage(driver, 0, driver.GetLength(), THIS_MACHINE) == DriverFault::NONE;
    } catch (const CFileException&) {
        return false;
    }
}

}  // namespace

bool DriverInstaller::Install() {
    if (!CopyProductFiles(InUse::FAIL)) {
        return false;
    }
    const ServiceSpec serviceSpec(driverDestinationPath);
    try {
        serviceSpec.ValidateImagePath();
        {
            const ServiceHandle manager = OpenServiceManager();
            const ServiceHandle service(
                sys.CreateServiceA(manager.Get(), serviceSpec.serviceName.c_str(), serviceSpec.displayName.c_str(),
                                   serviceSpec.desiredAccess, serviceSpec.CreationType(), serviceSpec.startType,
                                   serviceSpec.errorControl, serviceSpec.imagePath.c_str(), nullptr, nullptr,
                                   serviceSpec.dependencies, serviceSpec.serviceStartName, serviceSpec.password));
            if (!service) {
                ThrowSystemFailure(::GetLastError());
            }
        }
        const ServiceHandle manager = OpenServiceManager();
        const ServiceHandle service = OpenDriverService(manager, serviceSpec.desiredAccess);
        if (!sys.StartServiceA(service.Get(), 0, nullptr)) {
            ThrowSystemFailure(::GetLastError());
        }
    } catch (const CDWException& failure) {
        ReportServiceFailure(IDS_INSTALL_FAILED, failure);
        return false;
    }
    return RegisterAndReport(IDS_INSTALLED);
}

bool DriverInstaller::Upgrade() {
    // A driver that is loaded cannot be overwritten, on Windows 10 and later
    // at least: it moves aside and goes at the restart that the upgrade asks
    // for anyway.
    if (!CopyProductFiles(InUse::MOVE_ASIDE)) {
        return false;
    }
    return RegisterAndReport(IDS_UPGRADED);
}

bool DriverInstaller::Uninstall() {
    try {
        const ServiceHandle manager = OpenServiceManager();
        const ServiceHandle service = OpenDriverService(manager, SERVICE_ALL_ACCESS);
        // A running driver is only marked for deletion; it goes at the next
        // system start.
        if (!sys.DeleteService(service.Get())) {
            ThrowSystemFailure(::GetLastError());
        }
    } catch (const CDWException& failure) {
        ReportServiceFailure(IDS_REMOVE_FAILED, failure);
        return false;
    }
    // A loaded driver's file cannot be deleted now: it goes at the restart.
    // A missing one need not be; neither is reported.
    RemoveFile(driverDestinationPath);
    RemoveFile(messageFileDestinationPath);
    UnregisterEventLogSource();
    ShowMessage(IDS_REMOVED, true);
    return true;
}

bool DriverInstaller::CopyProductFiles(InUse inUse) {
    // Nothing is written for a driver that the system would not load: a
    // damaged one, or one for another processor.
    CFile* const driver = tempFolder.Find(DRIVER_FILE_NAME);
    if (driver != nullptr && !LoadsHere(*driver)) {
        ShowMessage(IDS_DRIVER_UNFIT, false);
        return false;
    }
    return CopyProductFile(DRIVER_FILE_NAME, driverDestinationPath, inUse) &&
           CopyProductFile(MESSAGE_FILE_NAME, messageFileDestinationPath, inUse);
}

bool DriverInstaller::CopyProductFile(const std::string& name, const std::string& destination, InUse inUse) {
    DWORD error = ERROR_SUCCESS;
    if (CFile* const source = tempFolder.Find(name)) {
        error = PlaceFile(*source, destination, inUse);
    } else {
        // Only the files this run extracted: without them the copy fails as
        // from a folder without the file.
        error = tempFolder || sys.GetFileAttributesA(tempFolderPath.c_str()) != INVALID_FILE_ATTRIBUTES
                    ? ERROR_FILE_NOT_FOUND
                    : ERROR_PATH_NOT_FOUND;
    }
    if (error == ERROR_SUCCESS) {
        return true;
    }
    ShowTextSystemError(FormatString(IDS_COPY_FAILED, name), error);
    return false;
}

void DriverInstaller::ReportServiceFailure(UINT id, const CDWException& failure) {
    ShowMessageWithText(id, FailureDetail(failure));
}

bool DriverInstaller::RegisterAndReport(UINT successId) {
    if (!RegisterEventLogSource()) {
        const DWORD error = ::GetLastError();
        ShowTextSystemError(LoadResourceString(IDS_REGISTRY_FAILED), error);
        return false;
    }
    ShowMessage(successId, true);
    return true;
}

}  // namespace kg
