#include "installer/service_parameters.h"

#include "framework/handle.h"
#include "framework/text.h"
#include "installer/constants.h"
#include "installer/dw_exception.h"

namespace kg {
namespace {

constexpr char NOT_FULLY_QUALIFIED[] =
    ": The fully qualified path name to the file must be given, and the drive letter must be for a fixed "
    "disk (e.g., not a network drive)";
constexpr char NO_ROOT_DIRECTORY[] = "The root directory where the service is specified to be must exist";
constexpr char PATH_ERROR_FORMAT[] = "[Step4]: Path error: %s %d";
constexpr std::size_t PATH_ERROR_BUFFER_SIZE = 256;

std::string NotFullyQualified(const char* step) { return std::string(step) + NOT_FULLY_QUALIFIED; }

}  // namespace

ServiceSpec::ServiceSpec(const std::string& image)
    : serviceName(PRODUCT_NAME),
      displayName(PRODUCT_NAME),
      desiredAccess(SERVICE_ALL_ACCESS),
      interactive(FALSE),
      serviceType(SERVICE_KERNEL_DRIVER),
      startType(SERVICE_AUTO_START),
      errorControl(SERVICE_ERROR_NORMAL),
      imagePath(image),
      dependencies(nullptr),
      serviceStartName(nullptr),
      password(nullptr) {}

DWORD ServiceSpec::CreationType() const {
    return interactive ? serviceType | SERVICE_INTERACTIVE_PROCESS : serviceType;
}

void ServiceSpec::ValidateImagePath() const {
    if (imagePath.size() < 3 || imagePath[1] != ':' || imagePath[2] != '\\') {
        ThrowTextFailure(NotFullyQualified("[Step1]"));
    }
    char root[] = "?:\\";
    root[0] = imagePath[0];
    const UINT driveType = sys.GetDriveTypeA(root);
    if (driveType == DRIVE_NO_ROOT_DIR) {
        ThrowTextFailure(NO_ROOT_DIRECTORY);
    }
    if (driveType > DRIVE_RAMDISK) {
        ThrowTextFailure(NotFullyQualified("[Step3]"));
    }
    if (driveType != DRIVE_FIXED) {
        ThrowTextFailure(NotFullyQualified("[Step2]"));
    }
    const FileHandle file(sys.CreateFileA(imagePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        ThrowTextFailure(FormatBounded(PATH_ERROR_FORMAT, {imagePath, std::to_string(error)}, PATH_ERROR_BUFFER_SIZE));
    }
}

}  // namespace kg
