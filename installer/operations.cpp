// Install, upgrade and uninstall. None undoes what it completed before a
// failure; each failure is told once.
#include "framework/winapp.h"
#include "installer/constants.h"
#include "installer/driver_installer.h"
#include "installer/dw_exception.h"
#include "installer/service_manager.h"
#include "installer/service_parameters.h"
#include "ui/resource.h"

namespace kg {

bool DriverInstaller::Install() {
    if (!CopyProductFiles()) {
        return false;
    }
    const ServiceSpec serviceSpec(driverDestinationPath);
    try {
        serviceSpec.ValidateImagePath();
        {
            const ServiceHandle manager = OpenServiceManager();
            const ServiceHandle service(sys.CreateServiceA(
                manager.Get(), serviceSpec.serviceName.c_str(), serviceSpec.displayName.c_str(),
                serviceSpec.desiredAccess, serviceSpec.CreationType(), serviceSpec.startType,
                serviceSpec.errorControl, serviceSpec.imagePath.c_str(), nullptr, nullptr, serviceSpec.dependencies,
                serviceSpec.serviceStartName, serviceSpec.password));
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
    if (!CopyProductFiles()) {
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
    // A loaded driver's file cannot be deleted, a missing one need not be:
    // neither is reported.
    sys.DeleteFileA(driverDestinationPath.c_str());
    sys.DeleteFileA(messageFileDestinationPath.c_str());
    UnregisterEventLogSource();
    ShowMessage(IDS_REMOVED, true);
    return true;
}

bool DriverInstaller::CopyProductFiles() {
    return CopyProductFile(driverSourcePath, driverDestinationPath, DRIVER_FILE_NAME) &&
           CopyProductFile(messageFileSourcePath, messageFileDestinationPath, MESSAGE_FILE_NAME);
}

bool DriverInstaller::CopyProductFile(const std::string& source, const std::string& destination,
                                      const std::string& name) {
    DWORD error = ERROR_SUCCESS;
    if (!tempFolder) {
        // Only out of the folder that this run made: one of that name that
        // could not be replaced may hold anybody's file. The copy fails as
        // from a folder without the file.
        error = sys.GetFileAttributesA(tempFolderPath.c_str()) == INVALID_FILE_ATTRIBUTES ? ERROR_PATH_NOT_FOUND
                                                                                          : ERROR_FILE_NOT_FOUND;
    } else if (!sys.CopyFileA(source.c_str(), destination.c_str(), FALSE)) {
        error = ::GetLastError();
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
